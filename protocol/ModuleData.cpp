#include "protocol/ModuleData.h"

#include <iomanip>
#include <limits>

void ApplyDefaults612(ModuleData612& data) {
    data.kFactor = 1.6965;
    data.offset = 0.059;
    data.SensorCode = 0x0020;  // wind speed, mph
    data.PulseUnitCode = 51;   // held form: pulse unit 5 - 4 = "mph" under wind speed
    data.pulseWidth = 100.0;
    data.pulseValue = 2.0;
}

void ApplyDefaults640(ModuleData640& data) {
    data.kFactor = 1.6965;
    data.offset = 0.059;
    data.SensorCode = 0x0120;  // insertion, gpm, pipe row 2
    data.nValue = 1.0;
    data.unitFactor = 1.0;
    data.highAlarmMode = 1;
    data.lowAlarmMode = 1;
    data.highSetPoint = 120.0;
    data.highReleasePoint = 110.0;
    data.lowSetPoint = 5.0;
    data.lowReleasePoint = 10.0;
    data.highSetDelay = 5;
    data.highReleaseDelay = 10;
    data.lowSetDelay = 5;
    data.lowReleaseDelay = 10;
}

ModuleData612 Defaults612() {
    ModuleData612 data;
    ApplyDefaults612(data);
    return data;
}

ModuleData640 Defaults640() {
    ModuleData640 data;
    ApplyDefaults640(data);
    return data;
}

// Each name fits the module's 10-character slot with its terminating zero.
const std::array<const char*, kUnitCount612> kUnitNames612 = {
    "mph", "km/h", "gpm", "gph", "l/sec", "l/min", "ft3/sec", "ft3/min", "m3/sec", "m3/min",
};

const std::array<const char*, kUnitCount640> kUnitNames640 = {
    "mph",     "km/h",    "gpm",    "gph",    "l/sec",  "l/min", "l/hr",
    "ft3/sec", "ft3/min", "ft3/hr", "m3/sec", "m3/min", "m3/hr",
};

const std::array<double, kUnitCount640> kUnitFactors640 = {
    1.0,         1.609344,  1.0,      60.0,         0.0630902,   3.785412,  227.1247,
    0.002228009, 0.1336806, 8.020833, 0.0000630902, 0.003785412, 0.2271247,
};

namespace {

// Keeps the caller's stream formatting as it was.
class StreamStateGuard {
public:
    explicit StreamStateGuard(std::ostream& os)
        : os_(os), flags_(os.flags()), precision_(os.precision()), fill_(os.fill()) {}
    ~StreamStateGuard() {
        os_.flags(flags_);
        os_.precision(precision_);
        os_.fill(fill_);
    }

private:
    std::ostream& os_;
    std::ios_base::fmtflags flags_;
    std::streamsize precision_;
    char fill_;
};

// Text fields come from the wire: show control and high bytes as \xNN.
void PrintText(std::ostream& os, const std::string& text) {
    os << '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            os << "\\x" << std::hex << std::setw(2) << std::setfill('0') << int{byte} << std::dec;
        } else {
            os << c;
        }
    }
    os << '"';
}

void PrintChar(std::ostream& os, char c) {
    os << "0x" << std::hex << std::setw(2) << std::setfill('0')
       << int{static_cast<unsigned char>(c)} << std::dec;
    if (c >= 0x20 && c < 0x7F) {
        os << " '" << c << "'";
    }
}

void PrintHex(std::ostream& os, unsigned value) {
    os << "0x" << std::hex << value << std::dec;
}

// Shortest text that reads back as the same double, so two records that differ in the last
// bit do not print alike.
void PrintDouble(std::ostream& os, double value) {
    os << std::setprecision(std::numeric_limits<double>::max_digits10) << value;
}

}  // namespace

void PrintTo(const ModuleData612& d, std::ostream* os) {
    std::ostream& o = *os;
    const StreamStateGuard guard(o);
    o << "ModuleData612{text1=";
    PrintText(o, d.text1);
    o << ", text2=";
    PrintText(o, d.text2);
    o << ", word3=";
    PrintHex(o, d.word3);
    o << ", variantChar=";
    PrintChar(o, d.variantChar);
    o << ", kFactor=";
    PrintDouble(o, d.kFactor);
    o << ", offset=";
    PrintDouble(o, d.offset);
    o << ", pulseValue=";
    PrintDouble(o, d.pulseValue);
    o << ", pulseWidth=";
    PrintDouble(o, d.pulseWidth);
    o << ", value9=";
    PrintDouble(o, d.value9);
    o << ", flowRate=";
    PrintDouble(o, d.flowRate);
    o << ", value11=";
    PrintDouble(o, d.value11);
    o << ", word12=";
    PrintHex(o, d.word12);
    o << ", value13=";
    PrintDouble(o, d.value13);
    o << ", SensorCode=";
    PrintHex(o, static_cast<unsigned>(d.SensorCode));
    o << ", PulseUnitCode=" << d.PulseUnitCode << "}";
}

void PrintTo(const ModuleData640& d, std::ostream* os) {
    std::ostream& o = *os;
    const StreamStateGuard guard(o);
    o << "ModuleData640{text1=";
    PrintText(o, d.text1);
    o << ", text2=";
    PrintText(o, d.text2);
    o << ", word3=";
    PrintHex(o, d.word3);
    o << ", variantChar=";
    PrintChar(o, d.variantChar);
    o << ", kFactor=";
    PrintDouble(o, d.kFactor);
    o << ", offset=";
    PrintDouble(o, d.offset);
    o << ", nValue=";
    PrintDouble(o, d.nValue);
    o << ", flowRate=";
    PrintDouble(o, d.flowRate);
    o << ", value9=";
    PrintDouble(o, d.value9);
    o << ", word10=";
    PrintHex(o, d.word10);
    o << ", SensorCode=";
    PrintHex(o, static_cast<unsigned>(d.SensorCode));
    o << ", unitFactor=";
    PrintDouble(o, d.unitFactor);
    o << ", highSetPoint=";
    PrintDouble(o, d.highSetPoint);
    o << ", highReleasePoint=";
    PrintDouble(o, d.highReleasePoint);
    o << ", lowSetPoint=";
    PrintDouble(o, d.lowSetPoint);
    o << ", lowReleasePoint=";
    PrintDouble(o, d.lowReleasePoint);
    o << ", highAlarmMode=" << d.highAlarmMode << ", lowAlarmMode=" << d.lowAlarmMode
      << ", highSetDelay=" << d.highSetDelay << ", highReleaseDelay=" << d.highReleaseDelay
      << ", lowSetDelay=" << d.lowSetDelay << ", lowReleaseDelay=" << d.lowReleaseDelay << "}";
}
