#pragma once
// Checks the configuration dialogs make before an upload, and the 640's alarm switch rule.
// No widgets: each returns what the dialog is to show or store.

#include <optional>
#include <string>

#include "protocol/ModuleData.h"
#include "rules/SensorRules.h"

// A message box the caller shows with an OK button only.
struct RuleMessage {
    std::string text;
    std::string caption;

    bool operator==(const RuleMessage&) const = default;
};

// 640 alarm switches: "Enable ... Alarm" and its "Latched" box. Clicking either sets the mode
// 2 (enabled and latched), 1 (enabled) or 0 (off); "Latched" cannot stay checked while its
// alarm is off, so it comes back cleared then.
struct AlarmSwitches {
    bool enabled = false;
    bool latched = false;

    bool operator==(const AlarmSwitches&) const = default;
};
struct AlarmSwitchResult {
    int mode = 0;
    bool latched = false;

    bool operator==(const AlarmSwitchResult&) const = default;
};
AlarmSwitchResult ApplyAlarmSwitch(const AlarmSwitches& boxes);
// ShowSettings: mode > 0 checks "Enable", mode > 1 also "Latched" (and the release point and
// release delay edits of a latched alarm are disabled).
AlarmSwitches SwitchesForMode(int mode);

// The 640's Send checks its two alarm pairs, enabled or not: the high set point must not be
// below its release point, the low release point not below its set point (equal passes).
// The first pair that fails is reset to its defaults (120/110 or 5/10) in `data` and its
// "Invalid Entry" message returned; nothing may be sent then. Everything else stays as read.
std::optional<RuleMessage> CheckAlarmPairs(ModuleData640& data);

// A number command carries its value in 8 characters after "x=", so a value with more sign
// and integer characters than that would reach the module as another number. These name the
// first typed field (in the dialog's order) that cannot be sent, with the range it can carry.
std::optional<RuleMessage> CheckSendable(const ModuleData612& data);
// The 640's check also refuses a delay of more than four digits (kLargestDelay640) and a SensorCode
// the module would read as another number (SensorCode640ReadAs).
std::optional<RuleMessage> CheckSendable(const ModuleData640& data);
constexpr int kLargestDelay640 = 9999;

// The 640's firmware reads every four-character command as a decimal number, but its "u="
// SensorCode goes out as four hex digits ("%0.4x"): a code whose digits hold a letter a-f
// reaches the module as another number ("u=2d01" is kept as 2, "u=0b21" as 0), which leaves
// both the sensor and the unit wrong. nullopt when the code goes out in decimal digits only;
// otherwise the number the module would keep (its leading decimal digits).
std::optional<long> SensorCode640ReadAs(int code);
// For the 640 dialog's Send: names the choice (the unit, or the pipe size) whose digit of
// SensorCode the module cannot hold; nothing may be sent then. CheckSendable(ModuleData640)
// refuses such a code too, naming the code.
std::optional<RuleMessage> CheckSensorChoice640(const SensorChoice& choice);

// Send builds SensorCode from list 1037 and the row list of the checked type, and the 612's
// PulseUnitCode from its pulse-unit list. A list left without a selection (ShowSettings given a
// code whose position the list does not hold) would build a code from position -1, which the
// module ignores or reads as another unit: names the first such list (row list, unit of
// measure, pulse unit, pulse width), and nothing may be sent then. `pulseUnit` and
// `pulseWidth` are those lists' selections, nullopt where the dialog has none (a blank pulse
// width list would send "w=0").
std::optional<RuleMessage> CheckListsChosen(const SensorChoice& choice,
                                            std::optional<int> pulseUnit = std::nullopt,
                                            std::optional<int> pulseWidth = std::nullopt);

// Everything a Send checks, on a whole record instead of on the dialog's controls, for
// settings that come from elsewhere (a settings file): the codes name entries of the dialog's
// lists (a sensor type, a row, a unit; the 612's pulse unit and width), the 640's alarm modes
// (0 to 2) and delays (0 to 9999) are in range and its alarm pairs in order, and every value
// fits its command. Each message names the field as the dialogs do.
std::optional<RuleMessage> CheckUploadable(const ModuleData612& data);
std::optional<RuleMessage> CheckUploadable(const ModuleData640& data);
