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
#include "protocol/Fields.h"

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
    // A number command: the module holds its cut text as a float.
    void Number(const char* field, const std::string& command, double held) {
        const std::optional<float> expected = HeldNumber(command);
        if (!expected || !SameFloat(*expected, held)) {
            Add(field, ValueText(command), FormatFixed(held, 6));
        }
    }
    // A decimal code command whose value comes back masked to `mask`.
    void Decimal(const char* field, const std::string& command, int held, unsigned mask) {
        const std::optional<long> reading = DecimalReading(command);
        if (!reading ||
            (static_cast<unsigned long>(*reading) & mask) != (static_cast<unsigned>(held) & mask)) {
            Add(field, ValueText(command), std::to_string(held));
        }
    }
    // The 612's pulse unit code: hex digits sent, read by the module as a decimal number.
    void HexReadAsDecimal(const char* field, const std::string& command, int held) {
        const std::optional<long> reading = DecimalReading(command);
        if (!reading || (*reading & 0xFF) != held) {
            Add(field, ValueText(command), std::to_string(held));
        }
    }
    // The 640's code: hex digits sent, given back by the decimal re-read.
    void HexCode(const char* field, const std::string& command, int sent, int held) {
        if (sent != held) {
            Add(field, ValueText(command), HexCodeCommand(command[0], held).substr(2, 4));
        }
    }
    std::vector<ReadBackMismatch> Take() { return std::move(list_); }

private:
    void Add(const char* field, std::string sent, std::string held) {
        list_.push_back({field, std::move(sent), std::move(held)});
    }
    std::vector<ReadBackMismatch> list_;
};

// Each command of the upload of `sent` against the field it sets, by the field's read-back
// rule; the "s=" commands set no field.
template <class Record>
std::vector<ReadBackMismatch> Compare(const std::vector<std::string>& commands, const Record& sent,
                                      const Record& held) {
    Comparison c;
    for (const std::string& command : commands) {
        const RecordField<Record>* field = FieldByCommand<Record>(command[0]);
        if (field == nullptr) {
            continue;
        }
        switch (field->readBack) {
            case ReadBackRule::Float:
                c.Number(field->key, command, field->template Of<double>(held));
                break;
            case ReadBackRule::Decimal8:
                c.Decimal(field->key, command, field->template Of<int>(held), 0xFFu);
                break;
            case ReadBackRule::Decimal16:
                c.Decimal(field->key, command, field->template Of<int>(held), 0xFFFFu);
                break;
            case ReadBackRule::HexAsDecimal8:
                c.HexReadAsDecimal(field->key, command, field->template Of<int>(held));
                break;
            case ReadBackRule::HexCode:
                c.HexCode(field->key, command, field->template Of<int>(sent),
                          field->template Of<int>(held));
                break;
            case ReadBackRule::None:
                break;
        }
    }
    return c.Take();
}

}  // namespace

// In the order of the upload sequences.
std::vector<ReadBackMismatch> CompareReadBack(const ModuleData612& sent,
                                              const ModuleData612& held) {
    return Compare(ConfigCommands612(sent), sent, held);
}

std::vector<ReadBackMismatch> CompareReadBack(const ModuleData640& sent,
                                              const ModuleData640& held) {
    return Compare(ConfigCommands640(sent), sent, held);
}
