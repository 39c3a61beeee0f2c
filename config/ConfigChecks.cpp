#include "config/ConfigChecks.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

#include "protocol/Commands.h"

namespace {

constexpr const char* kInvalidEntry = "Invalid Entry";

std::optional<RuleMessage> FirstUnsendable(
    std::initializer_list<std::pair<const char*, double>> fields) {
    for (const auto& [name, value] : fields) {
        if (FitsNumberCommand(value)) {
            continue;
        }
        char text[256];
        std::snprintf(text, sizeof text,
                      "%s cannot be sent: the module would receive another number.\n"
                      "The largest value %s can carry is %.6f, the smallest %.6f.\n"
                      "No settings have been sent.",
                      name, name, LargestSendableValue(), SmallestSendableValue());
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
        data.highSetPoint = 120.0;
        data.highReleasePoint = 110.0;
        return RuleMessage{
            "For High Alarms, Activation Value Should Be Greater Than The Release Value.\n"
            "Invalid Values Have Been Set To Defaults, And No Settings Have Been Sent",
            kInvalidEntry};
    }
    if (data.lowReleasePoint < data.lowSetPoint) {
        data.lowSetPoint = 5.0;
        data.lowReleasePoint = 10.0;
        return RuleMessage{
            "For Low Alarms, Activation Value Should Be Less Than The Release Value.\n"
            "Invalid Values Have Been Set To Defaults, And No Settings Have Been Sent",
            kInvalidEntry};
    }
    return std::nullopt;
}

std::optional<RuleMessage> CheckSendable(const ModuleData612& data) {
    return FirstUnsendable(
        {{"K", data.kFactor}, {"Offset", data.offset}, {"Pulse Value", data.pulseValue}});
}

std::optional<RuleMessage> CheckSendable(const ModuleData640& data) {
    return FirstUnsendable({{"K", data.kFactor},
                            {"Offset", data.offset},
                            {"High Set Point", data.highSetPoint},
                            {"High Release Point", data.highReleasePoint},
                            {"Low Set Point", data.lowSetPoint},
                            {"Low Release Point", data.lowReleasePoint}});
}
