#include "sim/ModuleSim.h"

#include "protocol/Decode.h"
#include "protocol/Fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

double Seconds(ModuleSim::Duration d) {
    return std::chrono::duration<double>(d).count();
}

// The module reads every four-digit code as a decimal number: an optional sign, then digits up
// to the first other character. "0251" -> 251, "-005" -> -5, "2d01" -> 2. No digit at all: the
// command is ignored.
std::optional<int> ReadDecimal(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    long long v = 0;
    std::size_t digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
        if (v < 100000000) {  // more digits than a register holds: keep the leading ones
            v = v * 10 + (s[i] - '0');
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return static_cast<int>(negative ? -v : v);
}

// Number settings as the module's float reader takes them: a decimal number (what "%0.6f" and
// the cut to ten characters leave), trailing characters ignored. Never the locale's comma.
std::optional<double> ReadNumber(std::string_view s) {
    double v = 0;
    const char* first = s.data();
    if (!s.empty() && s[0] == '+') {
        ++first;
    }
    auto [end, ec] = std::from_chars(first, s.data() + s.size(), v);
    if (ec != std::errc() || end == first || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

// Ticks of 0.262144 s a delay of `seconds` needs (rounded up; negative counts as none).
long long TicksFor(int seconds) {
    if (seconds <= 0) {
        return 0;
    }
    constexpr long long kTickUs = 262144;
    return (static_cast<long long>(seconds) * 1000000 + kTickUs - 1) / kTickUs;
}

// The 640's demo flow: a 120 s cycle that rises from 2 to 130 in 50 s, holds, falls back in
// 50 s and holds again, with a little ripple; it starts 100 s into the cycle, on the way down.
// It stays beyond the default limits (high 120/110, low 5/10) for longer than their 5 s and
// 10 s delays, so each lamp lights and clears once a cycle: from the start, the low alarm sets
// at ~14 s and releases at ~34 s, the high alarm sets at ~71 s and releases at ~98 s.
double Flow640(double t) {
    const double p = std::fmod(t + 100.0, 120.0);
    double base;
    if (p < 50) {
        base = 2 + 128 * p / 50;
    } else if (p < 60) {
        base = 130;
    } else if (p < 110) {
        base = 130 - 128 * (p - 60) / 50;
    } else {
        base = 2;
    }
    return base + 0.3 * std::sin(2 * std::numbers::pi * t / 7);
}

// The 612's: a slow swell between 10 and 50 (a wind speed under the default sensor code).
double Flow612(double t) {
    return 30 + 20 * std::sin(2 * std::numbers::pi * t / 90) +
           0.3 * std::sin(2 * std::numbers::pi * t / 7);
}

// The module keeps a code as the decimal number its four hex digits spell: 0x0120 -> 120.
int HeldCode(int code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04x", static_cast<unsigned>(code) & 0xFFFFu);
    return ReadDecimal(buf).value_or(0);
}

// The "s=" record: how many arrived in the high half, the last value in the low half.
std::uint32_t CountS(std::uint32_t word, int value) {
    const std::uint32_t count = std::min<std::uint32_t>((word >> 16) + 1, 0xFFFF);
    return (count << 16) | (static_cast<std::uint32_t>(value) & 0xFFFFu);
}

}  // namespace

ModuleSim::ModuleSim(const SimOptions& options, Time start)
    : opt_(options),
      start_(start),
      ticked_(start),
      active_(options.model.value_or(Model::k640)),
      lastActivity_(start),
      rng_(options.seed) {
    d612_ = Defaults612();
    d612_.text1 = "FERNWELL 612";
    d612_.text2 = "REV 3.10";
    d612_.word3 = 0x03100612;
    d612_.variantChar = opt_.variantChar;
    d612_.SensorCode = Defaults612().SensorCode;  // sent decimal, held as the plain number

    d640_ = Defaults640();
    d640_.text1 = "FERNWELL 640";
    d640_.text2 = "REV 2.20";
    d640_.word3 = 0x02200640;
    d640_.variantChar = opt_.variantChar;
    d640_.SensorCode = HeldCode(Defaults640().SensorCode);
    if (opt_.controlText) {
        // A clear-screen, a colour change and a bell: what a terminal would act on.
        d612_.text1 += "\x1b[2J\x1b[31m\a";
        d640_.text1 += "\x1b[2J\x1b[31m\a";
    }
    ScheduleNoise();
}

void ModuleSim::SetBaud(int baud) {
    baud_ = baud;
    if (!opt_.model) {
        active_ = baud == 1200 ? Model::k612 : Model::k640;
    }
}

ModuleSim::Duration ModuleSim::CharTime() const {
    if (!opt_.paced || baud_ <= 0) {
        return Duration::zero();
    }
    // 10 bits a character: start, 8 data, stop.
    return std::chrono::duration_cast<Duration>(std::chrono::nanoseconds(10'000'000'000LL / baud_));
}

ModuleSim::Time ModuleSim::LineFreeAt(Time now) const {
    if (out_.empty()) {
        return now;
    }
    return std::max(now, out_.back().at + CharTime());
}

void ModuleSim::Queue(std::string_view bytes, Time now, Duration gap, bool noise) {
    Time t = LineFreeAt(now) + gap;
    const Duration step = std::max<Duration>(CharTime(), std::chrono::milliseconds(opt_.dribbleMs));
    for (char c : bytes) {
        if (out_.size() >= kMaxQueued) {
            break;  // flooded faster than the line can echo: the surplus is lost, as in a UART
        }
        out_.push_back({c, t, noise});
        t += step;
    }
    lastActivity_ = std::max(lastActivity_, t);
}

void ModuleSim::DropNoise() {
    std::erase_if(out_, [](const OutByte& b) { return b.noise; });
    noiseAt_.reset();
}

void ModuleSim::ScheduleNoise() {
    noiseAt_.reset();
    if (!opt_.noise || opt_.silent || hangupArmed_) {
        return;
    }
    std::uniform_int_distribution<int> extra(0, 700);
    noiseAt_ = lastActivity_ + kQuiet + std::chrono::milliseconds(extra(rng_));
}

void ModuleSim::Advance(Time now) {
    // After a long idle spell only the last hour matters: the drift repeats every 120 s and a
    // latched alarm latches again within it. This bounds the catch-up work.
    constexpr Duration kCatchUp = std::chrono::hours(1);
    if (now - ticked_ > kCatchUp) {
        ticked_ += (now - ticked_ - kCatchUp) / kTick * kTick;
    }
    while (ticked_ <= now) {
        RunTick(ticked_);
        ticked_ += kTick;
    }
    if (noiseAt_ && now >= *noiseAt_) {
        std::uniform_int_distribution<int> length(1, 8);
        std::uniform_int_distribution<int> byte(0, 255);
        std::string burst(static_cast<std::size_t>(length(rng_)), '\0');
        for (char& c : burst) {
            c = static_cast<char>(byte(rng_));
        }
        Queue(burst, now, Duration::zero(), true);
        ScheduleNoise();
    }
    if (hangupAt_ && now >= *hangupAt_) {
        hungUp_ = true;
        out_.clear();
        noiseAt_.reset();
        hangupAt_.reset();
    }
}

void ModuleSim::RunTick(Time tickTime) {
    const double flow = Flow(Model::k640, tickTime);
    const ModuleData640& d = d640_;
    StepAlarm(high_, flow >= d.highSetPoint, flow <= d.highReleasePoint, d.highAlarmMode,
              d.highSetDelay, d.highReleaseDelay);
    StepAlarm(low_, flow <= d.lowSetPoint, flow >= d.lowReleasePoint, d.lowAlarmMode, d.lowSetDelay,
              d.lowReleaseDelay);
}

// One tick of an alarm. While its condition holds, a delay counts ticks; when it has run for the
// set (or release) delay the alarm activates (or releases). A condition that lapses during the
// delay cancels it. A latched alarm (mode 2) never releases by itself: writing its mode again
// clears it.
void ModuleSim::StepAlarm(Alarm& a, bool setCond, bool releaseCond, int mode, int setDelay,
                          int releaseDelay) {
    if (mode == 0) {
        a = {};
        return;
    }
    const bool latched = static_cast<unsigned>(mode) > 1;
    const bool cond = a.active ? releaseCond : setCond;
    if ((a.active && latched) || !cond) {
        a.delaying = false;
        a.counter = 0;
        return;
    }
    if (a.delaying) {
        a.counter = std::min(a.counter + 1, 1 << 30);
    } else {
        a.delaying = true;
        a.counter = 0;
    }
    if (a.counter >= TicksFor(a.active ? releaseDelay : setDelay)) {
        a.active = !a.active;
        a.delaying = false;
        a.counter = 0;
    }
}

std::uint32_t ModuleSim::StatusWord(const Alarm& a) const {
    const std::uint32_t counter = static_cast<std::uint32_t>(std::min(a.counter, 255));
    return (counter << 24) | (a.active ? 0x0100u : 0u) | (a.delaying ? 0x0001u : 0u);
}

double ModuleSim::Flow(Model model, Time now) const {
    if (opt_.fixedFlow) {
        return *opt_.fixedFlow;
    }
    const double t = Seconds(now - start_);
    return model == Model::k612 ? Flow612(t) : Flow640(t);
}

double ModuleSim::FlowAt(Time now) const {
    return Flow(active_, now);
}

std::uint32_t ModuleSim::HighStatus(Time now) {
    Advance(now);
    return opt_.highStatus.value_or(StatusWord(high_));
}

std::uint32_t ModuleSim::LowStatus(Time now) {
    Advance(now);
    return opt_.lowStatus.value_or(StatusWord(low_));
}

void ModuleSim::SetLine(int baud, bool eightN1) {
    SetBaud(baud);
    hears_ = HearsLine(opt_.model, baud, eightN1);
}

bool ModuleSim::HearsLine(std::optional<Model> model, int baud, bool eightN1) {
    if (!eightN1) {
        return false;
    }
    if (!model) {
        return baud == 1200 || baud == 4800;
    }
    return baud == BaudRateOf(*model);
}

void ModuleSim::Feed(std::string_view bytes, Time now) {
    Advance(now);
    if (bytes.empty() || hungUp_ || opt_.silent || !hears_) {
        return;
    }
    if (hangupArmed_) {
        // The last answered exchange is behind us: whatever comes now meets a dead line.
        hangupAt_ = now;
        Advance(now);
        return;
    }
    DropNoise();
    lastActivity_ = std::max(lastActivity_, now);
    for (char c : bytes) {
        ++received_;
        if (opt_.hangupAfterBytes > 0 && received_ >= opt_.hangupAfterBytes) {
            hangupArmed_ = true;  // this byte and all after it meet a dead line
            hangupAt_ = now;
            Advance(now);
            break;
        }
        if (received_ == opt_.dropByte) {
            continue;  // lost on the line: no echo, not part of the command
        }
        if (out_.size() < kMaxEchoBacklog) {
            Queue(std::string_view(&c, 1), now);
        }
        if (c == '\r') {
            if (!overflow_) {
                Execute(line_, now);
            }
            line_.clear();
            overflow_ = false;
        } else if (c == '\n') {
            // A terminal's CR LF: the LF belongs to no command.
        } else if (line_.size() >= kMaxLine) {
            overflow_ = true;
        } else if (!overflow_) {
            line_ += c;
        }
        if (hangupArmed_) {
            break;
        }
    }
    ScheduleNoise();
}

std::string ModuleSim::TakeOutput(Time now) {
    Advance(now);
    std::string due;
    while (!out_.empty() && out_.front().at <= now) {
        due += out_.front().c;
        out_.pop_front();
    }
    return due;
}

std::optional<ModuleSim::Time> ModuleSim::NextEvent() const {
    std::optional<Time> next;
    auto consider = [&next](std::optional<Time> t) {
        if (t && (!next || *t < *next)) {
            next = t;
        }
    };
    if (!out_.empty()) {
        consider(out_.front().at);
    }
    consider(noiseAt_);
    consider(hangupAt_);
    return next;
}

void ModuleSim::Execute(const std::string& line, Time now) {
    const bool is640 = active_ == Model::k640;
    const char* fate = "ignored";
    if (line == "v") {
        std::string dump = BuildDump(now, opt_.dropSeparatorAfter);
        if (opt_.truncateDump >= 0 && static_cast<std::size_t>(opt_.truncateDump) < dump.size()) {
            dump.resize(static_cast<std::size_t>(opt_.truncateDump));
        }
        Answer(std::move(dump), now);
        fate = "answered";
    } else if (is640 && line == "f") {
        Answer(FlowReply(now), now);
        fate = "answered";
    } else if (is640 && line == "h") {
        Answer("h=" + EncodeHexWord(HighStatus(now)) + "\r\n", now);
        fate = "answered";
    } else if (is640 && line == "l") {
        Answer("l=" + EncodeHexWord(LowStatus(now)) + "\r\n", now);
        fate = "answered";
    } else if (line.size() >= 2 && line[1] == '=') {
        const std::string_view value = std::string_view(line).substr(2);
        if (is640 ? Store640(line[0], value) : Store612(line[0], value)) {
            fate = "stored";
        }
    }
    if (observer_) {
        observer_(line, fate);
    }
}

void ModuleSim::Answer(std::string text, Time now) {
    if (opt_.pauseMs > 0 && text.size() >= 2) {
        const std::size_t half = text.size() / 2;
        Queue(std::string_view(text).substr(0, half), now);
        Queue(std::string_view(text).substr(half), now, std::chrono::milliseconds(opt_.pauseMs));
    } else {
        Queue(text, now);
    }
    ++exchanges_;
    if (opt_.hangupAfter > 0 && exchanges_ >= opt_.hangupAfter) {
        hangupArmed_ = true;
        hangupAt_ = LineFreeAt(now) + kQuiet;
    }
}

namespace {

// Stores the setting of command letter `c` as the module takes it when `c` sets a field of
// the record: whether the value read (nullopt: no field's letter). Number settings are read
// as floats, codes as decimal numbers; a value that does not read leaves the field as it was.
template <class Data>
std::optional<bool> StoreField(Data& d, char c, std::string_view value) {
    const RecordField<Data>* field = FieldByCommand<Data>(c);
    if (field == nullptr) {
        return std::nullopt;
    }
    if (field->upload == UploadForm::Number) {
        const auto v = ReadNumber(value);
        if (v) {
            field->template Of<double>(d) = *v;
        }
        return v.has_value();
    }
    const auto code = ReadDecimal(value);
    if (code) {
        field->template Of<int>(d) = *code;
    }
    return code.has_value();
}

// The "s=" commands set no field: they are counted into the record's word (CountS).
bool StoreS(std::uint32_t& word, std::string_view value) {
    const auto code = ReadDecimal(value);
    if (code) {
        word = CountS(word, *code);
    }
    return code.has_value();
}

// A dump line of the field: a value line is its tag and 8 hex digits.
template <class Data>
std::string DumpLine(const RecordField<Data>& field, const Data& d) {
    const std::string tag = {field.letter, '='};
    switch (field.dump) {
        case DumpForm::Title:
            return "* " + field.template Of<std::string>(d);
        case DumpForm::Text:
            return field.template Of<std::string>(d);
        case DumpForm::Char:
            return std::string(1, field.template Of<char>(d));
        case DumpForm::Word:
            return tag + EncodeHexWord(field.template Of<std::uint32_t>(d));
        case DumpForm::Float:
            return tag + EncodeModuleFloat(field.template Of<double>(d));
        case DumpForm::Low16:
        case DumpForm::Low16Reread:  // the module sends the number it holds
            return tag + Encode16Bit(field.template Of<int>(d));
        case DumpForm::TopByte:
            return tag + EncodeTopByte(field.template Of<int>(d));
    }
    return {};
}

template <class Data>
std::vector<std::string> DumpLines(const Data& d) {
    std::vector<std::string> lines = {""};
    for (const RecordField<Data>& field : FieldTable<Data>()) {
        lines.push_back(DumpLine(field, d));
    }
    return lines;
}

}  // namespace

bool ModuleSim::Store612(char c, std::string_view value) {
    if (const auto stored = StoreField(d612_, c, value)) {
        return *stored;
    }
    return c == 's' && StoreS(d612_.word12, value);
}

bool ModuleSim::Store640(char c, std::string_view value) {
    if (const auto stored = StoreField(d640_, c, value)) {
        // Rewriting an alarm's mode clears the alarm, a latched one too.
        if (*stored && c == 'p') {
            high_ = {};
        } else if (*stored && c == 'q') {
            low_ = {};
        }
        return *stored;
    }
    return c == 's' && StoreS(d640_.word10, value);
}

std::string ModuleSim::FlowReply(Time now) {
    Advance(now);
    return "f=" + EncodeModuleFloat(FlowAt(now)) + "\r\n";
}

std::string ModuleSim::Dump(Time now) {
    return BuildDump(now, -1);
}

// The dump: an empty line 0 (the echo of "v" CR shows there), then one line per field, each
// ended by CR LF. A value line is a two-character tag (the setting's command letter where it has
// one) and eight hex digits.
std::string ModuleSim::BuildDump(Time now, int dropSeparatorAfter) {
    Advance(now);
    std::vector<std::string> lines;
    if (active_ == Model::k612) {
        d612_.flowRate = FlowAt(now);
        lines = DumpLines(d612_);
    } else {
        d640_.flowRate = FlowAt(now);
        lines = DumpLines(d640_);
    }
    std::string dump = opt_.extraLine ? "\r\n" : "";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        dump += lines[i];
        if (static_cast<int>(i) != dropSeparatorAfter) {
            dump += "\r\n";
        }
    }
    return dump;
}
