#include "link/TrendSamples.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>

#include "protocol/Commands.h"

namespace trend {
namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian; H. Hinnant's
// algorithms), so local time is written without the C library's time zone state.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    std::int64_t y;
    int m;
    int d;
};

Civil CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {era * 400 + yoe + (m <= 2 ? 1 : 0), m, d};
}

std::int64_t SecondsOf(const std::tm& tm) {
    return DaysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) * 86400 + tm.tm_hour * 3600 +
           tm.tm_min * 60 + tm.tm_sec;
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string FlagText(std::int8_t flag) {
    return flag == kUnknown ? std::string() : std::string(flag ? "1" : "0");
}

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
    if (poll.model == 640) {
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

int LocalUtcOffsetSeconds(std::int64_t timeMs) {
    const std::time_t t = static_cast<std::time_t>(FloorDiv(timeMs, 1000));
    // std::localtime and std::gmtime share one buffer: copy each before the next call.
    const std::tm* local = std::localtime(&t);
    if (local == nullptr) {
        return 0;
    }
    const std::tm localCopy = *local;
    const std::tm* utc = std::gmtime(&t);
    if (utc == nullptr) {
        return 0;
    }
    return static_cast<int>(SecondsOf(localCopy) - SecondsOf(*utc));
}

std::string IsoLocalTime(std::int64_t timeMs, int utcOffsetSeconds) {
    const std::int64_t local = FloorDiv(timeMs, 1000) + utcOffsetSeconds;
    const std::int64_t days = FloorDiv(local, 86400);
    const std::int64_t secs = local - days * 86400;
    const Civil date = CivilFromDays(days);
    const int offset = utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                  static_cast<long long>(date.y), date.m, date.d, static_cast<int>(secs / 3600),
                  static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60),
                  utcOffsetSeconds < 0 ? '-' : '+', offset / 3600, offset / 60 % 60);
    return text;
}

std::string CsvHeader(int model) {
    return model == 640 ? "time,flow,unit,highActivated,lowActivated\r\n" : "time,flow,unit\r\n";
}

std::string CsvRow(const TrendSample& s, const std::string& unit, int model,
                   UtcOffsetFunction offset) {
    if (s.gap) {
        return {};
    }
    std::string row =
        IsoLocalTime(s.timeMs, offset(s.timeMs)) + "," + FloatText(s.flow) + "," + CsvField(unit);
    if (model == 640) {
        row += "," + FlagText(s.highActivated) + "," + FlagText(s.lowActivated);
    }
    return row + "\r\n";
}

std::string CsvText(const TrendSamples& samples, std::size_t first, int model,
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
std::string HeaderLine(int model) {
    std::string header = CsvHeader(model);
    header.resize(header.size() - 2);  // CR LF
    return header;
}

}  // namespace

bool CsvLog::Open(const std::filesystem::path& path, int model, std::string* error) {
    Close();
    std::string found;
    const int result = file_.Open(path, HeaderLine(model), "\r\n", &found);
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
