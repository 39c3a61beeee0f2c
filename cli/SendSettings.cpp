#include "cli/SendSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <span>

#include "protocol/Fields.h"
#include "rules/ConfigChecks.h"
#include "rules/SensorRules.h"

std::optional<double> ParseCliNumber(const std::string& text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return std::nullopt;  // "+-5": two signs
        }
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

namespace {

enum class KeyKind { Number, Sensor, Row, Unit, PulseUnit, PulseWidth, Delay, Alarm };

struct KeyInfo {
    std::string name;
    KeyKind kind;
};

// A place in the list of keys: a record field's key, named by the letter of the command that
// uploads the field (its key and how send takes it are the field table's), or a key of no
// single field.
struct KeySlot {
    char field;
    const char* name;
    KeyKind kind;
};
constexpr KeySlot FieldKey(char letter) {
    return {letter, nullptr, KeyKind::Number};
}
// sensor=, row= and unit= make SensorCode together (ApplySensorKeys).
constexpr KeySlot kSensor = {0, "sensor", KeyKind::Sensor};
constexpr KeySlot kRow = {0, "row", KeyKind::Row};
constexpr KeySlot kUnit = {0, "unit", KeyKind::Unit};

// In the order the dialog applies them and --help lists them.
constexpr KeySlot kKeys612[] = {
    FieldKey('k'), FieldKey('o'), kSensor, kRow, kUnit, FieldKey('x'), FieldKey('d'), FieldKey('w'),
};
constexpr KeySlot kKeys640[] = {
    FieldKey('k'), FieldKey('o'), kSensor,       kRow,          kUnit,
    FieldKey('e'), FieldKey('g'), FieldKey('j'), FieldKey('d'), FieldKey('$'),
    FieldKey('#'), FieldKey('%'), FieldKey('&'), FieldKey('p'), FieldKey('q'),
};

// The delay edits take whole seconds; "%0.4d" keeps four digits.
constexpr int kLargestDelay = kLargestDelay640;

KeyKind KindOf(SendForm form) {
    switch (form) {
        case SendForm::PulseWidth:
            return KeyKind::PulseWidth;
        case SendForm::PulseUnit:
            return KeyKind::PulseUnit;
        case SendForm::Delay:
            return KeyKind::Delay;
        case SendForm::AlarmMode:
            return KeyKind::Alarm;
        case SendForm::Number:
        case SendForm::None:
            break;
    }
    return KeyKind::Number;
}

template <class Record>
std::vector<KeyInfo> Keys(std::span<const KeySlot> slots) {
    std::vector<KeyInfo> keys;
    for (const KeySlot& slot : slots) {
        if (slot.name != nullptr) {
            keys.push_back({slot.name, slot.kind});
        } else {
            const RecordField<Record>& field = *FieldByCommand<Record>(slot.field);
            keys.push_back({std::string(field.SendKey()), KindOf(field.send)});
        }
    }
    return keys;
}

std::vector<KeyInfo> KeysOf(Model model) {
    if (model == Model::k640) {
        return Keys<ModuleData640>(kKeys640);
    }
    return Keys<ModuleData612>(kKeys612);
}

const char* ModelName(Model model) {
    return model == Model::k640 ? "640" : "612";
}

std::string Join(const std::vector<std::string>& words, const char* separator = ", ") {
    std::string text;
    for (const std::string& w : words) {
        text += (text.empty() ? "" : separator) + w;
    }
    return text;
}

bool SameWord(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Position of `name` in `list` (case ignored), or -1.
int FindName(const std::vector<std::string>& list, const std::string& name) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (SameWord(list[i], name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<std::string> Names(std::span<const char* const> list) {
    return {list.begin(), list.end()};
}

// Every rate-unit name of the family: the speed list, then the flow list.
std::vector<std::string> AllUnitNames(Model model) {
    std::vector<std::string> names = UnitListNames(model, SensorType::Wind);
    const std::vector<std::string> flow = UnitListNames(model, SensorType::Insertion);
    names.insert(names.end(), flow.begin(), flow.end());
    return names;
}

std::vector<std::string> AllPulseUnitNames() {
    std::vector<std::string> names = Names(PulseUnitList(SensorType::Insertion));
    const std::vector<std::string> wind = Names(PulseUnitList(SensorType::Wind));
    for (const std::string& n : wind) {
        if (FindName(names, n) < 0) {
            names.push_back(n);
        }
    }
    return names;
}

std::optional<int> ParseInteger(const std::string& text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return std::nullopt;  // "+-5": two signs
        }
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<SensorType> ParseSensor(const std::string& text) {
    for (SensorType type : {SensorType::Insertion, SensorType::Tee, SensorType::Wind}) {
        if (SameWord(text, SensorTypeWord(type))) {
            return type;
        }
    }
    return std::nullopt;
}

// highAlarm=off|on|latched as the two check boxes would be left, through the switch rule.
std::optional<int> ParseAlarm(const std::string& text) {
    struct Word {
        const char* word;
        AlarmSwitches boxes;
    };
    static constexpr Word kWords[] = {
        {"off", {false, false}}, {"on", {true, false}}, {"latched", {true, true}}};
    for (const Word& w : kWords) {
        if (SameWord(text, w.word)) {
            return ApplyAlarmSwitch(w.boxes).mode;
        }
    }
    return std::nullopt;
}

CliFailure BadValue(const std::string& key, const std::string& wants, const std::string& value) {
    return {kExitUsage, key + " wants " + wants + ", not \"" + value + "\""};
}

std::optional<CliFailure> CheckValue(Model model, const KeyInfo& key, const std::string& value) {
    switch (key.kind) {
        case KeyKind::Number:
            if (!ParseCliNumber(value)) {
                return BadValue(key.name, "a number", value);
            }
            break;
        case KeyKind::Row:
            if (const auto n = ParseInteger(value); !n || *n < 0) {
                return BadValue(key.name, "a row number (0 or more)", value);
            }
            break;
        case KeyKind::Delay:
            if (const auto n = ParseInteger(value); !n || *n < 0 || *n > kLargestDelay) {
                return BadValue(key.name, "whole seconds from 0 to 9999", value);
            }
            break;
        case KeyKind::Sensor:
            if (!ParseSensor(value)) {
                return BadValue(key.name, "insertion, tee or wss", value);
            }
            break;
        case KeyKind::Unit:
            if (FindName(AllUnitNames(model), value) < 0) {
                return BadValue(key.name, "one of " + Join(AllUnitNames(model)), value);
            }
            break;
        case KeyKind::PulseUnit:
            if (FindName(AllPulseUnitNames(), value) < 0) {
                return BadValue(key.name, "one of " + Join(AllPulseUnitNames()), value);
            }
            break;
        case KeyKind::PulseWidth: {
            const auto n = ParseInteger(value);
            if (!n || *n < 50 || *n > 50 * kPulseWidthCount || *n % 50 != 0) {
                return BadValue(key.name, "50 to 5000 ms in steps of 50", value);
            }
            break;
        }
        case KeyKind::Alarm:
            if (!ParseAlarm(value)) {
                return BadValue(key.name, "off, on or latched", value);
            }
            break;
    }
    return std::nullopt;
}

const std::string* Given(const SendSettings& settings, std::string_view key) {
    const auto it = settings.find(std::string(key));
    return it == settings.end() ? nullptr : &it->second;
}

std::string Hex4(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(code));
    return text;
}

// The sensor keys, in the order the dialog's controls would be used: the type radio, then the
// row list, then the rate-unit list; Send then builds SensorCode from what the controls show.
// `typeBefore` / `typeAfter`: the type the module's code named, and the one sent.
std::optional<CliFailure> ApplySensorKeys(Model model, const SendSettings& settings,
                                          double& kFactor, double& offset, int& sensorCode,
                                          std::optional<SensorType>& typeBefore,
                                          std::optional<SensorType>& typeAfter) {
    const std::optional<SensorChoice> before = DecodeSensorCode(model, sensorCode);
    typeBefore = before ? std::optional(before->type) : std::nullopt;
    typeAfter = typeBefore;
    const std::string* sensor = Given(settings, "sensor");
    const std::string* row = Given(settings, "row");
    const std::string* unit = Given(settings, "unit");
    if (!sensor && !row && !unit) {
        return std::nullopt;  // SensorCode, K and offset as the module holds them
    }
    const auto noType = [&] {
        return CliFailure{kExitUsage, "the module's SensorCode " + Hex4(sensorCode) +
                                          " names no sensor type: give sensor="};
    };

    SensorSettings held{kFactor, offset, sensorCode};
    if (sensor) {
        const SensorType type = *ParseSensor(*sensor);
        if (!typeBefore || *typeBefore != type) {
            held = ClickSensorType(model, type, held);
        }
    }
    if (row) {
        const std::optional<SensorChoice> now = DecodeSensorCode(model, held.sensorCode);
        if (!now) {
            return noType();
        }
        if (now->type == SensorType::Wind) {
            return CliFailure{kExitUsage, "row applies to insertion and tee sensors, not to wss"};
        }
        const int r = *ParseInteger(*row);
        const int rows = static_cast<int>(RowTable(now->type).size());
        if (r >= rows) {
            return CliFailure{kExitUsage, "row " + *row + " is not a row of the " +
                                              SensorTypeWord(now->type) + " table (0 to " +
                                              std::to_string(rows - 1) + ")"};
        }
        held = ChooseRow(model, now->type, r, held);
    }

    std::optional<SensorChoice> choice = DecodeSensorCode(model, held.sensorCode);
    if (!choice) {
        return noType();
    }
    if (unit) {
        const std::vector<std::string> list = UnitListNames(model, choice->type);
        const int position = FindName(list, *unit);
        if (position < 0) {
            return CliFailure{kExitUsage, "unit \"" + *unit + "\" is not a unit of a " +
                                              SensorTypeWord(choice->type) +
                                              " sensor: " + Join(list)};
        }
        choice->unit = position;
    }
    if (choice->type != SensorType::Wind && choice->row < 0) {
        return CliFailure{kExitUsage, "the module's SensorCode " + Hex4(held.sensorCode) +
                                          " names no row of the " + SensorTypeWord(choice->type) +
                                          " table: give row="};
    }
    kFactor = held.kFactor;
    offset = held.offset;
    sensorCode = BuildSensorCode(model, *choice);
    typeAfter = choice->type;
    return std::nullopt;
}

// The keys of the fields send sets from their value alone. The 612's pulse unit is not one:
// its code depends on the sensor type (ApplySendSettings).
template <class Record>
void ApplyFieldKeys(const SendSettings& settings, Record& data) {
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        const std::string* value =
            field.send == SendForm::None ? nullptr : Given(settings, field.SendKey());
        if (value == nullptr) {
            continue;
        }
        switch (field.send) {
            case SendForm::Number:
                field.template Of<double>(data) = *ParseCliNumber(*value);
                break;
            case SendForm::PulseWidth:
                field.template Of<double>(data) =
                    PulseWidthFromPosition(*ParseInteger(*value) / 50 - 1);
                break;
            case SendForm::Delay:
                field.template Of<int>(data) = *ParseInteger(*value);
                break;
            case SendForm::AlarmMode:
                field.template Of<int>(data) = *ParseAlarm(*value);
                break;
            case SendForm::PulseUnit:
            case SendForm::None:
                break;
        }
    }
}

std::optional<CliFailure> Rejected(const std::optional<RuleMessage>& message) {
    if (!message) {
        return std::nullopt;
    }
    return CliFailure{kExitRejected, message->text};  // printed as one line
}

}  // namespace

std::optional<CliFailure> ParseSendSettings(Model model, const std::vector<std::string>& args,
                                            SendSettings& settings) {
    settings.clear();
    const std::vector<KeyInfo> keys = KeysOf(model);
    for (const std::string& arg : args) {
        const std::size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) {
            return CliFailure{kExitUsage, "\"" + arg + "\" is not KEY=VALUE"};
        }
        const std::string key = arg.substr(0, eq);
        const std::string value = arg.substr(eq + 1);
        const auto known =
            std::find_if(keys.begin(), keys.end(), [&](const KeyInfo& k) { return key == k.name; });
        if (known == keys.end()) {
            std::vector<std::string> names;
            for (const KeyInfo& k : keys) {
                names.push_back(k.name);
            }
            return CliFailure{kExitUsage, "unknown key \"" + key + "\" for the " +
                                              ModelName(model) + ": " + Join(names)};
        }
        if (settings.count(key) != 0) {
            return CliFailure{kExitUsage, key + " is given twice"};
        }
        if (auto failure = CheckValue(model, *known, value)) {
            return failure;
        }
        settings[key] = value;
    }
    return std::nullopt;
}

std::optional<CliFailure> ApplySendSettings(const SendSettings& settings, ModuleData612& data) {
    std::optional<SensorType> before;
    std::optional<SensorType> after;
    if (auto failure = ApplySensorKeys(Model::k612, settings, data.kFactor, data.offset,
                                       data.SensorCode, before, after)) {
        return failure;
    }
    ApplyFieldKeys(settings, data);

    // The pulse-unit list follows the WSS radio.
    const bool wind = after == SensorType::Wind;
    if (const std::string* unit = Given(settings, "pulseUnit")) {
        const std::vector<std::string> list =
            Names(PulseUnitList(wind ? SensorType::Wind : SensorType::Insertion));
        const int position = FindName(list, *unit);
        if (position < 0) {
            return CliFailure{kExitUsage, "pulseUnit \"" + *unit + "\" is not a pulse unit of a " +
                                              (wind ? "wss" : "flow") + " sensor: " + Join(list)};
        }
        data.PulseUnitCode = PulseUnitSentCode(position, wind);
    } else {
        // Speed and volume pulse units share no code: a switch between a wind and a flow
        // sensor leaves the module's pulse unit meaningless.
        if ((before == SensorType::Wind) != wind) {
            const std::vector<std::string> list =
                Names(PulseUnitList(wind ? SensorType::Wind : SensorType::Insertion));
            return CliFailure{kExitUsage, std::string("the sensor changes to ") +
                                              (wind ? "wss" : "a flow sensor") +
                                              ", whose pulse units differ: give pulseUnit= (" +
                                              Join(list) + ")"};
        }
        // The module reports the code as the decimal number the sent hex digits spell.
        const int sent = PulseUnitSentFromHeld(data.PulseUnitCode);
        if (sent < 0) {
            return CliFailure{kExitRejected, "the module's PulseUnitCode " +
                                                 std::to_string(data.PulseUnitCode) +
                                                 " cannot be sent back: give pulseUnit="};
        }
        data.PulseUnitCode = sent;
    }
    return Rejected(CheckSendable(data));
}

std::optional<CliFailure> ApplySendSettings(const SendSettings& settings, ModuleData640& data) {
    std::optional<SensorType> before;
    std::optional<SensorType> after;
    if (auto failure = ApplySensorKeys(Model::k640, settings, data.kFactor, data.offset,
                                       data.SensorCode, before, after)) {
        return failure;
    }
    data.unitFactor = UnitFactor640(data.SensorCode);
    ApplyFieldKeys(settings, data);
    if (auto failure = Rejected(CheckAlarmPairs(data))) {
        return failure;
    }
    return Rejected(CheckSendable(data));
}
