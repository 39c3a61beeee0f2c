#include "records/RecordFields.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "protocol/Fields.h"
#include "rules/AlarmStatus.h"
#include "rules/SensorRules.h"

namespace {

ReportField Text(const char* name, const std::string& text) {
    return {name, JsonLatin1(text), text};
}

ReportField Number(const char* name, double value) {
    const double shown = ModuleNumber(value);
    return {name, shown, NumberText(shown)};
}

ReportField Integer(const char* name, long long value) {
    return {name, static_cast<double>(value), std::to_string(value)};
}

// A word or code: a number in JSON, hex digits in the text.
ReportField Hex(const char* name, std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return {name, static_cast<double>(value), text};
}

ReportField Char(const char* name, char c) {
    return Text(name, c == 0 ? std::string() : std::string(1, c));
}

// sensorType, row, rowText, unitName: the dialog's reading of SensorCode.
void AddSensorFields(Model family, int code, ReportFields& fields) {
    const std::optional<SensorChoice> choice = DecodeSensorCode(family, code);
    std::string type;
    int row = -1;
    std::string rowText;
    std::string unit;
    if (choice) {
        type = SensorTypeWord(choice->type);
        row = choice->row;
        if (row >= 0) {
            rowText = RowTable(choice->type)[static_cast<std::size_t>(row)].text;
        }
        unit = UnitListName(family, choice->type, choice->unit);
    }
    fields.push_back(Text("sensorType", type));
    fields.push_back(Integer("row", row));
    fields.push_back(Text("rowText", rowText));
    fields.push_back(Text("unitName", unit));
}

// The record's fields in dump order, named and shown as the field table says.
template <class Record>
ReportFields TableFields(const Record& d) {
    ReportFields fields;
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        switch (field.kind) {
            case FieldKind::Text:
                fields.push_back(Text(field.key, field.template Of<std::string>(d)));
                break;
            case FieldKind::Char:
                fields.push_back(Char(field.key, field.template Of<char>(d)));
                break;
            case FieldKind::Word:
                fields.push_back(Hex(field.key, field.template Of<std::uint32_t>(d), 8));
                break;
            case FieldKind::Number:
                fields.push_back(Number(field.key, field.template Of<double>(d)));
                break;
            case FieldKind::Code:
                fields.push_back(
                    Hex(field.key, static_cast<std::uint32_t>(field.template Of<int>(d)), 4));
                break;
            case FieldKind::Integer:
                fields.push_back(Integer(field.key, field.template Of<int>(d)));
                break;
        }
    }
    return fields;
}

}  // namespace

double ModuleNumber(double value) {
    const float single = static_cast<float>(value);
    if (!std::isfinite(single) || static_cast<double>(single) != value) {
        return value;  // not a float's value: keep it as it is
    }
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, single);
    double shortest = value;
    std::from_chars(text, written.ptr, shortest);
    return shortest;
}

std::string NumberText(double value) {
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

ReportFields RecordFields(const ModuleData612& d) {
    ReportFields f = TableFields(d);
    AddSensorFields(Model::k612, d.SensorCode, f);
    // The dialog's reading of the held pulse unit code under the decoded sensor type.
    std::string pulseUnit;
    if (const auto choice = DecodeSensorCode(Model::k612, d.SensorCode)) {
        const bool wind = choice->type == SensorType::Wind;
        const int position = PulseUnitPosition(d.PulseUnitCode, wind);
        if (position >= 0) {
            pulseUnit = PulseUnitList(choice->type)[static_cast<std::size_t>(position)];
        }
    }
    f.push_back(Text("pulseUnitName", pulseUnit));
    return f;
}

ReportFields RecordFields(const ModuleData640& d) {
    ReportFields f = TableFields(d);
    AddSensorFields(Model::k640, d.SensorCode, f);
    return f;
}

Json ToJson(const ReportFields& fields) {
    Json object = Json::object();
    for (const ReportField& field : fields) {
        object[field.name] = field.value;
    }
    return object;
}

std::string EscapeControls(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, c == '\\' ? "\\\\" : "\\x%02x", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string ToText(const ReportFields& fields) {
    std::string text;
    for (const ReportField& field : fields) {
        text +=
            field.name + ":" + (field.text.empty() ? "" : " ") + EscapeControls(field.text) + "\n";
    }
    return text;
}

AlarmStatus DecodeAlarmStatus(std::uint32_t word) {
    AlarmStatus s;
    s.word = word;
    const AlarmStatusBits bits = DecodeAlarmStatusWord(word);
    s.activated = bits.activated;
    s.waitingToActivate = bits.waitingToActivate;
    s.waitingToRelease = bits.waitingToRelease;
    if (bits.waitingToActivate || bits.waitingToRelease) {
        s.delaySeconds = std::stoi(DelaySecondsText(word));
    }
    return s;
}

Json ToJson(const AlarmStatus& s) {
    return Json{
        {"word", static_cast<double>(s.word)},      {"activated", s.activated},
        {"waitingToActivate", s.waitingToActivate}, {"waitingToRelease", s.waitingToRelease},
        {"delaySeconds", s.delaySeconds},
    };
}

std::string ToText(const AlarmStatus& s) {
    std::string text = s.activated ? "activated" : "not activated";
    if (s.waitingToActivate) {
        text += ", waiting to activate " + std::to_string(s.delaySeconds) + " s";
    }
    if (s.waitingToRelease) {
        text += ", waiting to release " + std::to_string(s.delaySeconds) + " s";
    }
    char word[32];
    std::snprintf(word, sizeof word, " (word 0x%08X)", s.word);
    return text + word;
}

// ---- JSON text ----------------------------------------------------------------------------------

namespace {

// Shortest digits and decimal exponent of a finite, non-zero |value|: value = 0.DIGITS * 10^point.
void ShortestDigits(double value, std::string& digits, int& point) {
    char text[64];
    const auto written =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    const std::string s(text, written.ptr);  // d[.ddd]e[+-]x
    const std::size_t e = s.find('e');
    for (std::size_t i = 0; i < e; ++i) {
        if (s[i] != '.') {
            digits += s[i];
        }
    }
    point = std::stoi(s.substr(e + 1)) + 1;
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    constexpr double kExactWhole = 9007199254740992.0;  // 2^53: every whole number up to it
    if (std::trunc(value) == value && std::fabs(value) <= kExactWhole) {
        return std::to_string(static_cast<long long>(value));
    }
    std::string digits;
    int point = 0;
    ShortestDigits(std::fabs(value), digits, point);
    const std::string sign = value < 0 ? "-" : "";
    const int n = static_cast<int>(digits.size());
    std::string decimal;
    if (point <= 0) {
        decimal = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (point >= n) {
        decimal = digits + std::string(static_cast<std::size_t>(point - n), '0');
    } else {
        decimal = digits.substr(0, static_cast<std::size_t>(point)) + "." +
                  digits.substr(static_cast<std::size_t>(point));
    }
    const int exponent = point - 1;
    char exponentText[16];
    std::snprintf(exponentText, sizeof exponentText, "e%c%02d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    const std::string scientific =
        digits.substr(0, 1) + (n > 1 ? "." + digits.substr(1) : "") + exponentText;
    return sign + (decimal.size() <= scientific.size() ? decimal : scientific);
}

std::string JsonQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\b':
                quoted += "\\b";
                break;
            case '\f':
                quoted += "\\f";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

void WriteJson(const Json& value, int indent, bool compact, std::string& out) {
    const std::string inner(compact ? 0 : static_cast<std::size_t>(4 * (indent + 1)), ' ');
    const std::string outer(compact ? 0 : static_cast<std::size_t>(4 * indent), ' ');
    switch (value.type()) {
        case Json::value_t::object:
        case Json::value_t::array: {
            const bool object = value.is_object();
            out += object ? '{' : '[';
            out += compact ? "" : "\n";
            bool first = true;
            for (auto it = value.begin(); it != value.end(); ++it) {
                if (!first) {
                    out += compact ? "," : ",\n";
                }
                first = false;
                out += inner;
                if (object) {
                    out += JsonQuoted(it.key()) + (compact ? ":" : ": ");
                }
                WriteJson(it.value(), indent + 1, compact, out);
            }
            if (!first && !compact) {
                out += "\n";
            }
            out += outer;
            out += object ? '}' : ']';
            break;
        }
        case Json::value_t::string:
            out += JsonQuoted(value.get_ref<const std::string&>());
            break;
        case Json::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            break;
        case Json::value_t::number_integer:
            out += std::to_string(value.get<std::int64_t>());
            break;
        case Json::value_t::number_unsigned:
            out += std::to_string(value.get<std::uint64_t>());
            break;
        case Json::value_t::number_float:
            out += JsonNumber(value.get<double>());
            break;
        default:
            out += "null";
    }
}

// The length of the valid UTF-8 sequence at `at`, 0 if none starts there.
std::size_t Utf8Sequence(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

}  // namespace

std::string JsonText(const Json& value, bool compact) {
    std::string text;
    WriteJson(value, 0, compact, text);
    return text + "\n";
}

Json JsonString(const std::string& utf8) {
    std::string valid;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = Utf8Sequence(utf8, at);
        if (length == 0) {
            valid += "\xEF\xBF\xBD";  // U+FFFD
            ++at;
        } else {
            valid.append(utf8, at, length);
            at += length;
        }
    }
    return valid;
}

std::string Latin1ToUtf8(const std::string& latin1) {
    std::string utf8;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

Json JsonLatin1(const std::string& latin1) {
    return Latin1ToUtf8(latin1);
}
