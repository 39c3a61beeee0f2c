#pragma once
// What fernwell-cli prints: the parameter record field by field (text and JSON share the
// names, the record's own), the alarm status word decoded, and the number formats.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/Commands.h"  // FormatFixed
#include "protocol/ModuleData.h"
#include "rules/SensorTables.h"

using Json = nlohmann::json;

// One printed field: its name, its JSON value and how the text output shows it.
struct ReportField {
    std::string name;
    Json value;
    std::string text;
};
using ReportFields = std::vector<ReportField>;

// The record's fields in dump order, then what they decode to: sensorType ("insertion",
// "tee", "wss", "" for a type digit the dialogs do not know), row (-1: none), rowText,
// unitName (the rate unit as the dialog's unit list names it, "" when it names none) and, for
// the 612, pulseUnitName. Numbers from the module's floats are given in single precision.
ReportFields RecordFields(const ModuleData612& data);
ReportFields RecordFields(const ModuleData640& data);

Json ToJson(const ReportFields& fields);
// The module's text as a terminal may show it: control characters (an escape sequence, a
// bell, a stray CR) as \x1b and the like, a backslash doubled so nothing reads ambiguously.
std::string EscapeControls(const std::string& text);
// "name: text" lines, the text through EscapeControls.
std::string ToText(const ReportFields& fields);

// A number the module sent as a 32-bit float, as the double nearest its shortest decimal
// form: 1.69649994 (the float nearest 1.6965) becomes 1.6965. JSON and text then show what
// the module holds rather than the float's binary tail.
double ModuleNumber(double value);
// Shortest text that reads back as `value` ("120", "1.6965"), C locale.
std::string NumberText(double value);

// A high or low alarm status word ("h", "l" replies) as the alarm status window reads it:
// byte 1 non-zero: activated (the main window's lamp lit); byte 0 non-zero: a delay runs, the
// release delay when activated, else the set delay; byte 3: the running delay in ticks of 0.262144
// s, shown in whole seconds (rounded as "%0.0f" rounds). delaySeconds is 0 while no delay runs.
struct AlarmStatus {
    std::uint32_t word = 0;
    bool activated = false;
    bool waitingToActivate = false;
    bool waitingToRelease = false;
    int delaySeconds = 0;

    bool operator==(const AlarmStatus&) const = default;
};
AlarmStatus DecodeAlarmStatus(std::uint32_t word);
Json ToJson(const AlarmStatus& status);
// "activated, waiting to release 3 s (word 0x0B000101)".
std::string ToText(const AlarmStatus& status);

// The JSON text the program prints, with a newline at the end. Indented: four spaces a level,
// "key": value, an empty array or object still over two lines; compact: no spaces at all. Keys
// come sorted. A number that is a whole number of at most 2^53 is written as one ("3", not
// "3.0"); any other the shorter of its shortest decimal and exponent forms ("0.059", "1e-05",
// "1e+16"); a number that is not finite as null. Strings are UTF-8 with the control characters,
// the quote and the backslash escaped.
std::string JsonText(const Json& value, bool compact = false);
// A JSON string from text meant as UTF-8: a byte that starts no valid sequence becomes U+FFFD.
Json JsonString(const std::string& utf8);
// The module's text, one byte a character (ISO 8859-1), as UTF-8; and as a JSON string.
std::string Latin1ToUtf8(const std::string& latin1);
Json JsonLatin1(const std::string& latin1);
