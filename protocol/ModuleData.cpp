#include "protocol/ModuleData.h"

#include <iomanip>
#include <limits>

#include "protocol/Fields.h"

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

// "Name{key=value, ...}" over the record's field table.
template <class Record>
void PrintRecord(std::ostream& o, const char* name, const Record& d) {
    const StreamStateGuard guard(o);
    o << name << '{';
    const char* separator = "";
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        o << separator << field.key << '=';
        separator = ", ";
        switch (field.kind) {
            case FieldKind::Text:
                PrintText(o, field.template Of<std::string>(d));
                break;
            case FieldKind::Char:
                PrintChar(o, field.template Of<char>(d));
                break;
            case FieldKind::Word:
                PrintHex(o, field.template Of<std::uint32_t>(d));
                break;
            case FieldKind::Number:
                PrintDouble(o, field.template Of<double>(d));
                break;
            case FieldKind::Code:
                PrintHex(o, static_cast<unsigned>(field.template Of<int>(d)));
                break;
            case FieldKind::Integer:
                o << field.template Of<int>(d);
                break;
        }
    }
    o << '}';
}

}  // namespace

void PrintTo(const ModuleData612& d, std::ostream* os) {
    PrintRecord(*os, "ModuleData612", d);
}

void PrintTo(const ModuleData640& d, std::ostream* os) {
    PrintRecord(*os, "ModuleData640", d);
}
