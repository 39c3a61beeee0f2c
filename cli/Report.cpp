#include "cli/Report.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "cli/SendSettings.h"
#include "rules/AlarmStatus.h"
#include "rules/SensorRules.h"

namespace {

ReportField Text(const char* name, const std::string& text) {
    return {name, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), text};
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
void AddSensorFields(Family family, int code, ReportFields& fields) {
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
    ReportFields f{
        Text("text1", d.text1),
        Text("text2", d.text2),
        Hex("word3", d.word3, 8),
        Char("variantChar", d.variantChar),
        Number("kFactor", d.kFactor),
        Number("offset", d.offset),
        Number("pulseValue", d.pulseValue),
        Number("pulseWidth", d.pulseWidth),
        Number("value9", d.value9),
        Number("flowRate", d.flowRate),
        Number("value11", d.value11),
        Hex("word12", d.word12, 8),
        Number("value13", d.value13),
        Hex("SensorCode", static_cast<std::uint32_t>(d.SensorCode), 4),
        Integer("PulseUnitCode", d.PulseUnitCode),
    };
    AddSensorFields(Family::k612, d.SensorCode, f);
    // The dialog's reading of the held pulse unit code under the decoded sensor type.
    std::string pulseUnit;
    if (const auto choice = DecodeSensorCode(Family::k612, d.SensorCode)) {
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
    ReportFields f{
        Text("text1", d.text1),
        Text("text2", d.text2),
        Hex("word3", d.word3, 8),
        Char("variantChar", d.variantChar),
        Number("kFactor", d.kFactor),
        Number("offset", d.offset),
        Number("nValue", d.nValue),
        Number("flowRate", d.flowRate),
        Number("value9", d.value9),
        Hex("word10", d.word10, 8),
        Hex("SensorCode", static_cast<std::uint32_t>(d.SensorCode), 4),
        Number("unitFactor", d.unitFactor),
        Number("highSetPoint", d.highSetPoint),
        Number("highReleasePoint", d.highReleasePoint),
        Number("lowSetPoint", d.lowSetPoint),
        Number("lowReleasePoint", d.lowReleasePoint),
        Integer("highAlarmMode", d.highAlarmMode),
        Integer("lowAlarmMode", d.lowAlarmMode),
        Integer("highSetDelay", d.highSetDelay),
        Integer("highReleaseDelay", d.highReleaseDelay),
        Integer("lowSetDelay", d.lowSetDelay),
        Integer("lowReleaseDelay", d.lowReleaseDelay),
    };
    AddSensorFields(Family::k640, d.SensorCode, f);
    return f;
}

QJsonObject ToJson(const ReportFields& fields) {
    QJsonObject object;
    for (const ReportField& field : fields) {
        object.insert(field.name, field.value);
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
        text += field.name.toStdString() + ":" + (field.text.empty() ? "" : " ") +
                EscapeControls(field.text) + "\n";
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

QJsonObject ToJson(const AlarmStatus& s) {
    return QJsonObject{
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
