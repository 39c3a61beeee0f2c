#pragma once
// `send KEY=VALUE ...`: the settings a technician gives on the command line, applied to the
// record read from the module the way the configuration dialog applies its controls before
// Send, and checked as the dialog checks them.
//
// Parsing (before the port is touched) rejects unknown keys and values that are no value of
// their key at all (exit 1). Applying, once the module's record is known, rejects what the
// module's sensor type does not offer (exit 1) and what the dialog would refuse to send:
// an alarm pair in the wrong order or a number a command cannot carry (exit 4).

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "protocol/ModuleData.h"
#include "rules/SensorRules.h"

// KEY=VALUE pairs by key, values still as typed.
using SendSettings = std::map<std::string, std::string>;

// Splits and checks the arguments of `send` for `model`.
std::optional<CliFailure> ParseSendSettings(Model model, const std::vector<std::string>& args,
                                            SendSettings& settings);

// Applies the settings to `data` (as ReadAll filled it) and checks the result. On success
// `data` is the record to hand to SendConfig; for the 612 its PulseUnitCode is then in the
// form the upload sends (0x51 for "mph"), not the read-back form (51).
//
// The sensor keys follow the dialog's rules: sensor= clicks the type's radio when the type
// changes (K and offset of its first row, the wind constants for wss), row= chooses a row (K
// and offset of the row, unit back to gpm), unit= selects in the rate-unit list, and the
// SensorCode sent is rebuilt from that choice. kFactor= and offset= given win over the row.
// The 640's unitFactor always follows the unit, as its Send sets it.
std::optional<CliFailure> ApplySendSettings(const SendSettings& settings, ModuleData612& data);
std::optional<CliFailure> ApplySendSettings(const SendSettings& settings, ModuleData640& data);

// A number as typed on the command line: the whole text, C locale, finite; a leading "+" is
// allowed. Anything else gives nullopt.
std::optional<double> ParseCliNumber(const std::string& text);
