#include "link/TrendSamples.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>

namespace trend {
namespace {

std::string SystemErrorText(int error) {
    return error != 0 ? std::generic_category().message(error) : std::string("write failed");
}

}  // namespace

TrendSamples::TrendSamples(std::size_t capacity) : ring_(std::max<std::size_t>(capacity, 1)) {}

void TrendSamples::Add(const TrendSample& sample) {
    if (count_ < ring_.size()) {
        ring_[(start_ + count_) % ring_.size()] = sample;
        ++count_;
        return;
    }
    ring_[start_] = sample;
    start_ = (start_ + 1) % ring_.size();
}

void TrendSamples::Clear() {
    start_ = 0;
    count_ = 0;
}

const TrendSample& TrendSamples::operator[](std::size_t i) const {
    return ring_[(start_ + i) % ring_.size()];
}

std::size_t TrendSamples::FirstFrom(std::int64_t timeMs) const {
    std::size_t lo = 0;
    std::size_t hi = count_;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if ((*this)[mid].timeMs < timeMs) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

std::uint16_t TrendSamples::UnitIndex(const std::string& unit) {
    const auto found = std::find(units_.begin(), units_.end(), unit);
    if (found != units_.end()) {
        return static_cast<std::uint16_t>(found - units_.begin());
    }
    units_.push_back(unit);
    return static_cast<std::uint16_t>(units_.size() - 1);
}

const std::string& TrendSamples::Unit(std::uint16_t index) const {
    static const std::string none;
    return index < units_.size() ? units_[index] : none;
}

bool Connected(const TrendSample& a, const TrendSample& b, std::int64_t maxGapMs) {
    return !a.gap && !b.gap && a.unit == b.unit && b.timeMs - a.timeMs <= maxGapMs;
}

TrendView BuildView(const TrendSamples& samples, std::int64_t fromMs, std::int64_t toMs,
                    std::int64_t maxGapMs, std::optional<std::uint16_t> unit) {
    TrendView view;
    // The reading just before the span joins the first one inside it, so a line enters the
    // plot from its left edge instead of starting a little way in.
    std::size_t i = samples.FirstFrom(fromMs);
    if (i > 0 && !samples[i - 1].gap) {
        --i;
    }
    auto addBand = [](std::vector<TrendView::Band>& bands, std::int64_t from, std::int64_t to) {
        if (!bands.empty() && bands.back().toMs >= from) {
            bands.back().toMs = std::max(bands.back().toMs, to);
        } else {
            bands.push_back({from, to});
        }
    };
    for (; i < samples.size() && samples[i].timeMs <= toMs; ++i) {
        const TrendSample& s = samples[i];
        if (s.gap || (unit && s.unit != *unit)) {
            continue;
        }
        const bool joined = i > 0 && Connected(samples[i - 1], s, maxGapMs) && !view.runs.empty() &&
                            view.runs.back().last == i - 1;
        if (joined) {
            view.runs.back().last = i;
        } else {
            view.runs.push_back({i, i});
        }
        if (s.timeMs >= fromMs) {
            view.minFlow = view.hasReadings ? std::min(view.minFlow, s.flow) : s.flow;
            view.maxFlow = view.hasReadings ? std::max(view.maxFlow, s.flow) : s.flow;
            view.hasReadings = true;
        }
        const bool next = i + 1 < samples.size() && Connected(s, samples[i + 1], maxGapMs);
        const std::int64_t until =
            next ? samples[i + 1].timeMs : std::min(toMs, s.timeMs + kPollIntervalMs);
        if (s.highActivated == 1) {
            addBand(view.highBands, s.timeMs, until);
        }
        if (s.lowActivated == 1) {
            addBand(view.lowBands, s.timeMs, until);
        }
    }
    return view;
}

std::int8_t ActivatedFlag(std::uint32_t statusWord) {
    return (statusWord & 0xFF00u) != 0 ? 1 : 0;
}

FlowReading FlowReadingOf(const PollReading& poll) {
    FlowReading r;
    if (poll.completed < 1) {
        return r;
    }
    r.ok = true;
    r.flow = poll.flowRate;
    r.sensorCode = poll.sensorCode;
    if (poll.model == Model::k640) {
        r.points = poll.alarmPoints;
        if (poll.completed >= 2) {
            r.highActivated = ActivatedFlag(poll.highStatus);
        }
        if (poll.completed >= 3) {
            r.lowActivated = ActivatedFlag(poll.lowStatus);
        }
    }
    return r;
}

std::string CsvHeader(Model model) {
    return flowcsv::Header(model) + flowcsv::kLineEnd;
}

std::string CsvRow(const TrendSample& s, const std::string& unit, Model model,
                   UtcOffsetFunction offset) {
    if (s.gap) {
        return {};
    }
    const flowcsv::Reading reading{s.timeMs, s.flow, unit, s.highActivated, s.lowActivated};
    return flowcsv::Row(reading, model, nullptr, offset) + flowcsv::kLineEnd;
}

std::string CsvText(const TrendSamples& samples, std::size_t first, Model model,
                    UtcOffsetFunction offset) {
    std::string text = CsvHeader(model);
    for (std::size_t i = first; i < samples.size(); ++i) {
        text += CsvRow(samples[i], samples.Unit(samples[i].unit), model, offset);
    }
    return text;
}

// The file is written beside its place and put there whole (rename), so a full disk or a
// size limit leaves the file that was there before, never a cut one. What is not a regular
// file (a device, a FIFO) is written to directly.
bool WriteTextFile(const std::filesystem::path& path, const std::string& text, std::string* error) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    const bool direct =
        std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
    std::filesystem::path target = path;
    if (!direct) {
        target += ".part";
    }
    auto fail = [&](int err) {
        *error = SystemErrorText(err != 0 ? err : EIO);
        if (!direct) {
            std::filesystem::remove(target, ec);
        }
        return false;
    };
    errno = 0;
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out) {
        return fail(errno);
    }
    out << text;
    out.flush();
    if (!out) {
        return fail(errno);
    }
    out.close();
    if (out.fail()) {
        return fail(errno);
    }
    if (!direct) {
        std::filesystem::rename(target, path, ec);
        if (ec) {
            return fail(ec.value());
        }
    }
    return true;
}

namespace {

// The header line without its line end.
std::string HeaderLine(Model model) {
    return flowcsv::Header(model);
}

}  // namespace

bool CsvLog::Open(const std::filesystem::path& path, Model model, std::string* error) {
    Close();
    std::string found;
    const int result = file_.Open(path, HeaderLine(model), flowcsv::kLineEnd, &found);
    if (result == LogFile::kOtherHeader) {
        *error = "it begins with \"" + found + "\", not this window's header \"" +
                 HeaderLine(model) + "\"";
        return false;
    }
    // Said at once when the file takes no writes, not at the first reading.
    if (const int written = result != 0 ? result : file_.WriteHeader(); written != 0) {
        *error = SystemErrorText(written);
        file_.Close();
        return false;
    }
    path_ = path;
    model_ = model;
    return true;
}

bool CsvLog::Append(const std::string& row, std::string* error) {
    std::string line = row;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    if (const int result = file_.Append(line); result != 0) {
        *error = SystemErrorText(result);
        return false;
    }
    return true;
}

void CsvLog::Close() {
    file_.Close();
}

}  // namespace trend
