#include "rules/ConfigChecks.h"

#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>

#include "protocol/Commands.h"
#include "texts/Strings.h"

namespace {

constexpr const char* kInvalidEntry = res::kInvalidEntryCaption;

// A code as the upload writes it: at least four lower-case hex digits.
std::string CodeText(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "%.4x", static_cast<unsigned>(code));
    return text;
}

std::optional<RuleMessage> FirstUnsendable(
    std::initializer_list<std::pair<const char*, double>> fields) {
    for (const auto& [name, value] : fields) {
        if (FitsNumberCommand(value)) {
            continue;
        }
        char text[512];
        if (value <= LargestSendableValue() && value >= SmallestSendableValue()) {
            // Too small for six decimals: the cut leaves too few of its digits.
            std::snprintf(text, sizeof text,
                          "%s cannot be sent: the module would receive %s instead.\n"
                          "The module takes six decimals; a value that small loses "
                          "too many of its digits.\n"
                          "No settings have been sent.",
                          name, FormatFixed(SentNumber(value), 6).c_str());
        } else {
            std::snprintf(text, sizeof text,
                          "%s cannot be sent: the module would receive another number.\n"
                          "The largest value %s can carry is %.6f, the smallest %.6f.\n"
                          "No settings have been sent.",
                          name, name, LargestSendableValue(), SmallestSendableValue());
        }
        return RuleMessage{text, kInvalidEntry};
    }
    return std::nullopt;
}

}  // namespace

AlarmSwitchResult ApplyAlarmSwitch(const AlarmSwitches& boxes) {
    if (!boxes.enabled) {
        return {0, false};
    }
    return {boxes.latched ? 2 : 1, boxes.latched};
}

AlarmSwitches SwitchesForMode(int mode) {
    return {mode > 0, mode > 1};
}

std::optional<RuleMessage> CheckAlarmPairs(ModuleData640& data) {
    if (data.highSetPoint < data.highReleasePoint) {
        const ModuleData640 defaults = Defaults640();
        data.highSetPoint = defaults.highSetPoint;
        data.highReleasePoint = defaults.highReleasePoint;
        return RuleMessage{res::kHighAlarmOrder, kInvalidEntry};
    }
    if (data.lowReleasePoint < data.lowSetPoint) {
        const ModuleData640 defaults = Defaults640();
        data.lowSetPoint = defaults.lowSetPoint;
        data.lowReleasePoint = defaults.lowReleasePoint;
        return RuleMessage{res::kLowAlarmOrder, kInvalidEntry};
    }
    return std::nullopt;
}

std::optional<RuleMessage> CheckSendable(const ModuleData612& data) {
    return FirstUnsendable(
        {{"K", data.kFactor}, {"Offset", data.offset}, {"Pulse Value", data.pulseValue}});
}

std::optional<RuleMessage> CheckSendable(const ModuleData640& data) {
    if (auto problem = FirstUnsendable({{"K", data.kFactor},
                                        {"Offset", data.offset},
                                        {"High Set Point", data.highSetPoint},
                                        {"High Release Point", data.highReleasePoint},
                                        {"Low Set Point", data.lowSetPoint},
                                        {"Low Release Point", data.lowReleasePoint}})) {
        return problem;
    }
    // A delay is a four-digit command ("$=0005"): five digits or a sign do not fit it.
    const std::pair<const char*, int> delays[] = {{"High Set Delay", data.highSetDelay},
                                                  {"High Release Delay", data.highReleaseDelay},
                                                  {"Low Set Delay", data.lowSetDelay},
                                                  {"Low Release Delay", data.lowReleaseDelay}};
    for (const auto& [name, seconds] : delays) {
        if (seconds < 0 || seconds > kLargestDelay640) {
            return RuleMessage{std::string(name) + " cannot be sent: the module takes 0 to " +
                                   std::to_string(kLargestDelay640) +
                                   " seconds.\nNo settings have been sent.",
                               kInvalidEntry};
        }
    }
    if (const std::optional<long> held = SensorCode640ReadAs(data.SensorCode)) {
        return RuleMessage{"SensorCode " + CodeText(data.SensorCode) +
                               " cannot be sent: the 640 reads it as the decimal number " +
                               std::to_string(*held) + ".",
                           kInvalidEntry};
    }
    return std::nullopt;
}

std::optional<long> SensorCode640ReadAs(int code) {
    const std::string text = CodeText(code);
    if (text.find_first_not_of("0123456789") == std::string::npos) {
        return std::nullopt;
    }
    long held = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        held = held * 10 + (text[i] - '0');
    }
    return held;
}

std::optional<RuleMessage> CheckSensorChoice640(const SensorChoice& choice) {
    const int code = BuildSensorCode(Model::k640, choice);
    const std::optional<long> held = SensorCode640ReadAs(code);
    if (!held) {
        return std::nullopt;
    }
    // Digits: type, unit, row, 1. The unit digit is named first; else the row's.
    const bool unitDigit = ((code >> 8) & 0xF) > 9;
    std::string what;
    std::string other;
    if (unitDigit || choice.type == SensorType::Wind) {
        what = std::string("the unit ") + UnitListName(Model::k640, choice.type, choice.unit);
        other = "unit";
    } else {
        const std::span<const SensorRow> rows = RowTable(choice.type);
        const bool listed = choice.row >= 0 && static_cast<std::size_t>(choice.row) < rows.size();
        what = std::string("the pipe size ") + (listed ? rows[choice.row].text : "chosen");
        other = "pipe size";
    }
    return RuleMessage{"The 640 cannot hold " + what + ": its sensor code " + CodeText(code) +
                           " reaches the module as the number " + std::to_string(*held) +
                           ".\nChoose another " + other + ". No settings have been sent.",
                       kInvalidEntry};
}

std::optional<RuleMessage> CheckListsChosen(const SensorChoice& choice,
                                            std::optional<int> pulseUnit,
                                            std::optional<int> pulseWidth) {
    const char* list = nullptr;
    if (choice.type == SensorType::Insertion && choice.row < 0) {
        list = "a pipe size";
    } else if (choice.type == SensorType::Tee && choice.row < 0) {
        list = "a tee sensor";
    } else if (choice.unit < 0) {
        list = "a unit of measure";
    } else if (pulseUnit && *pulseUnit < 0) {
        list = "a pulse unit";
    } else if (pulseWidth && *pulseWidth < 0) {
        list = "a pulse width";
    }
    if (!list) {
        return std::nullopt;
    }
    return RuleMessage{std::string("Select ") + list + " before sending.", kInvalidEntry};
}

namespace {

RuleMessage Unlisted(const std::string& field, const std::string& value, const char* what) {
    return {field + " " + value + " names no " + what + " the dialog offers.\n" +
                "No settings have been sent.",
            kInvalidEntry};
}

// SensorCode names a type the dialogs show, and a row and unit of its lists.
std::optional<RuleMessage> CheckSensorCode(Model model, int code,
                                           std::optional<SensorChoice>& choice) {
    choice = DecodeSensorCode(model, code);
    if (!choice) {
        return Unlisted("SensorCode", "0x" + CodeText(code), "sensor type");
    }
    if (auto problem = CheckListsChosen(*choice)) {
        return Unlisted("SensorCode", "0x" + CodeText(code),
                        choice->unit < 0 ? "unit of measure" : "row");
    }
    return std::nullopt;
}

}  // namespace

std::optional<RuleMessage> CheckUploadable(const ModuleData612& data) {
    std::optional<SensorChoice> choice;
    if (auto problem = CheckSensorCode(Model::k612, data.SensorCode, choice)) {
        return problem;
    }
    if (PulseUnitPosition(data.PulseUnitCode, choice->type == SensorType::Wind) < 0) {
        return Unlisted("Pulse Units (code)", std::to_string(data.PulseUnitCode), "pulse unit");
    }
    const int width = PulseWidthPosition(data.pulseWidth);
    if (width < 0 || PulseWidthFromPosition(width) != data.pulseWidth) {
        return Unlisted("Pulse Width", FormatFixed(data.pulseWidth, 1), "pulse width");
    }
    return CheckSendable(data);
}

std::optional<RuleMessage> CheckUploadable(const ModuleData640& data) {
    std::optional<SensorChoice> choice;
    if (auto problem = CheckSensorCode(Model::k640, data.SensorCode, choice)) {
        return problem;
    }
    if (auto problem = CheckSensorChoice640(*choice)) {
        return problem;
    }
    const std::pair<const char*, int> modes[] = {{"High Alarm (mode)", data.highAlarmMode},
                                                 {"Low Alarm (mode)", data.lowAlarmMode}};
    for (const auto& [name, mode] : modes) {
        if (mode < 0 || mode > 2) {
            return Unlisted(name, std::to_string(mode), "alarm mode (0 off, 1 on, 2 latched)");
        }
    }
    ModuleData640 pairs = data;
    if (auto problem = CheckAlarmPairs(pairs)) {
        return problem;
    }
    return CheckSendable(data);
}
