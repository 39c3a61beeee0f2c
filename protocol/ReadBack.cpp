// What the module reports after an upload, compared with what was sent (CompareReadBack).

#include "protocol/ReadBack.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/Device.h"

namespace {

// The value characters of a command: "k=1.696500\r" -> "1.696500".
std::string ValueText(const std::string& command) {
    return command.size() > 3 ? command.substr(2, command.size() - 3) : std::string();
}

// The number a number command makes the module hold: the cut text, as a 32-bit float.
std::optional<float> HeldNumber(const std::string& command) {
    const std::string text = ValueText(command);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

// Four characters read as the module reads them, as a decimal number; nullopt when one of
// them is no decimal digit (the module then keeps what it held).
std::optional<long> DecimalReading(const std::string& command) {
    const std::string text = ValueText(command);
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Equal, or neighbours in single precision.
bool SameFloat(float a, double heldValue) {
    const float b = static_cast<float>(heldValue);
    return a == b || std::nextafter(a, b) == b;
}

class Comparison {
public:
    void Number(const char* field, char letter, double sent, double held) {
        const std::string command = NumberCommand(letter, sent);
        const std::optional<float> expected = HeldNumber(command);
        if (!expected || !SameFloat(*expected, held)) {
            Add(field, ValueText(command), FormatFixed(held, 6));
        }
    }
    // A decimal code command whose value comes back masked to `bits`.
    void Decimal(const char* field, char letter, int sent, int held, unsigned mask) {
        const std::string command = DecimalCodeCommand(letter, sent);
        const std::optional<long> reading = DecimalReading(command);
        if (!reading ||
            (static_cast<unsigned long>(*reading) & mask) != (static_cast<unsigned>(held) & mask)) {
            Add(field, ValueText(command), std::to_string(held));
        }
    }
    // The 612's pulse unit code: hex digits sent, read by the module as a decimal number.
    void HexReadAsDecimal(const char* field, char letter, int sent, int held) {
        const std::string command = HexCodeCommand(letter, sent);
        const std::optional<long> reading = DecimalReading(command);
        if (!reading || (*reading & 0xFF) != held) {
            Add(field, ValueText(command), std::to_string(held));
        }
    }
    // The 640's code: hex digits sent, given back by the decimal re-read.
    void HexCode(const char* field, char letter, int sent, int held) {
        const std::string command = HexCodeCommand(letter, sent);
        if (sent != held) {
            Add(field, ValueText(command), HexCodeCommand(letter, held).substr(2, 4));
        }
    }
    std::vector<ReadBackMismatch> Take() { return std::move(list_); }

private:
    void Add(const char* field, std::string sent, std::string held) {
        list_.push_back({field, std::move(sent), std::move(held)});
    }
    std::vector<ReadBackMismatch> list_;
};

}  // namespace

// In the order of the upload sequences.
std::vector<ReadBackMismatch> CompareReadBack(const ModuleData612& sent,
                                              const ModuleData612& held) {
    Comparison c;
    c.HexReadAsDecimal("PulseUnitCode", 'd', sent.PulseUnitCode, held.PulseUnitCode);
    c.Number("offset", 'o', sent.offset, held.offset);
    c.Number("kFactor", 'k', sent.kFactor, held.kFactor);
    c.Number("pulseValue", 'x', sent.pulseValue, held.pulseValue);
    c.Number("pulseWidth", 'w', sent.pulseWidth, held.pulseWidth);
    c.Decimal("SensorCode", 'u', sent.SensorCode, held.SensorCode, 0xFFFFu);
    return c.Take();
}

std::vector<ReadBackMismatch> CompareReadBack(const ModuleData640& sent,
                                              const ModuleData640& held) {
    Comparison c;
    c.Number("offset", 'o', sent.offset, held.offset);
    c.Number("kFactor", 'k', sent.kFactor, held.kFactor);
    c.HexCode("SensorCode", 'u', sent.SensorCode, held.SensorCode);
    c.Number("nValue", 'n', sent.nValue, held.nValue);
    c.Number("unitFactor", 'm', sent.unitFactor, held.unitFactor);
    c.Number("highSetPoint", 'e', sent.highSetPoint, held.highSetPoint);
    c.Number("highReleasePoint", 'g', sent.highReleasePoint, held.highReleasePoint);
    c.Number("lowSetPoint", 'j', sent.lowSetPoint, held.lowSetPoint);
    c.Number("lowReleasePoint", 'd', sent.lowReleasePoint, held.lowReleasePoint);
    c.Decimal("highAlarmMode", 'p', sent.highAlarmMode, held.highAlarmMode, 0xFFu);
    c.Decimal("lowAlarmMode", 'q', sent.lowAlarmMode, held.lowAlarmMode, 0xFFu);
    c.Decimal("highSetDelay", '$', sent.highSetDelay, held.highSetDelay, 0xFFFFu);
    c.Decimal("highReleaseDelay", '#', sent.highReleaseDelay, held.highReleaseDelay, 0xFFFFu);
    c.Decimal("lowSetDelay", '%', sent.lowSetDelay, held.lowSetDelay, 0xFFFFu);
    c.Decimal("lowReleaseDelay", '&', sent.lowReleaseDelay, held.lowReleaseDelay, 0xFFFFu);
    return c.Take();
}
