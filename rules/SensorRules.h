#pragma once
// Rules on the module's sensor word (SensorCode) and the 612's pulse unit code, without
// widgets: the configuration dialogs turn controls into these values and back, and the
// command-line companion uses the same functions.
//
// SensorCode is read as four hex digits d0 d1 d2 d3 (d0 most significant). The two families
// place them differently:
//   612: d0 row high digit (normally 0), d1 row, d2 type, d3 unit
//        0x0214: tee row 2, "l/min"
//   640: d0 type, d1 unit, d2 row, d3 1 when built by the dialog
//        0x07A1: Insertion, "ft3/min", pipe row 10
// Unit digit: list 1037 position + 1 under a flow type (612: 1-8, 640: 1-b); under Wind 0 is
// "mph" and any other digit "km/h" (612 writes 9, 640 writes d: 0x0029, 0x2D01).

#include <optional>
#include <ostream>
#include <string>

#include "rules/SensorTables.h"

// What the sensor controls of a dialog hold: the checked radio, the selection of the row list
// beside it (pipe list under Insertion, tee list under Tee; not used under Wind) and the
// selection of list 1037. -1 means "no selection", as a list reports it.
struct SensorChoice {
    SensorType type = SensorType::Insertion;
    int row = 0;
    int unit = 0;

    bool operator==(const SensorChoice&) const = default;
};
void PrintTo(const SensorChoice& choice, std::ostream* os);

// The radios are read in the order WSS, then TEE Mounted, else Insertion.
SensorType TypeFromRadios(bool windChecked, bool teeChecked);

// SensorCode from the controls (Send, and a selection change in list 1037).
//   612: Wind 0x20 / 0x29; Tee 0x11 + unit + 256 * row; Insertion 0x01 + unit + 256 * row
//   640: Wind 0x2001 / 0x2D01; Tee 0x1001 + (unit + 1) * 256 + row * 16; Insertion 0x0001 + ...
// The arithmetic is taken as it stands for -1 selections too (it is what the module gets).
int BuildSensorCode(Model family, const SensorChoice& choice);

// What ShowSettings puts into the controls for a held SensorCode. Type digit 0, 1 or 2 gives
// the radio to check, the row to select in that type's row list (-1 under Wind, where both
// row lists are hidden and keep their selection) and the position to select in list 1037,
// -1 where the list does not hold it (a unit digit of 0 under a flow type, a row beyond the
// table): the list is then left without a selection and nothing is reported.
// Any other type digit: std::nullopt, and the radios, lists and their visibility stay as
// they are.
// The 612 reads its unit digit and its tee row as decimal digits (a hex letter selects
// nothing) and its pipe row as a hex digit; the 640 reads all of them as hex digits.
std::optional<SensorChoice> DecodeSensorCode(Model family, int code);

// Which controls a sensor type shows once ShowSettings has run.
constexpr bool PipeListShown(SensorType type) {
    return type == SensorType::Insertion;
}
constexpr bool TeeListShown(SensorType type) {
    return type == SensorType::Tee;
}
constexpr bool CalculateShown(SensorType type) {
    return type == SensorType::Insertion;
}
constexpr bool UsesSpeedUnits(SensorType type) {
    return type == SensorType::Wind;
}

// The held values that the row and radio rules change.
struct SensorSettings {
    double kFactor = 0;
    double offset = 0;
    int sensorCode = 0;

    bool operator==(const SensorSettings&) const = default;
};
void PrintTo(const SensorSettings& settings, std::ostream* os);

// A row chosen in the pipe list (Insertion) or the tee list (Tee): K and offset of the row;
// the type becomes that list's and the unit digit 1, so the unit goes back to "gpm".
//   612: (row << 8) | (code & 0xF000) | 0x01 (pipe) or 0x11 (tee): d0 is kept
//   640: 0x0100 (pipe) or 0x1100 (tee) | (row << 4) | (code & 0x000F): d3 is kept
// The dialog runs ShowSettings afterwards, which discards whatever was typed and not sent.
// A row outside the table (or the Wind type) changes nothing.
SensorSettings ChooseRow(Model family, SensorType list, int row, const SensorSettings& held);

// A click on a sensor type radio. Insertion: pipe row 0 ("Other (Unlisted)", K 1, offset 0);
// Tee: tee row 0; Wind: the wind-speed constants and
//   612: (code & 0xFF00) | 0x20 (d0 and d1 kept, "mph")
//   640: (code & 0x000F) | 0x2000 ("mph", row 0, d3 kept).
// What the dialog then shows (row list, Calculate, unit list) follows from DecodeSensorCode.
SensorSettings ClickSensorType(Model family, SensorType type, const SensorSettings& held);

// Rate-unit name that the main window's poll shows beside the reading: table entry
// (unit digit + 1) under a flow type; under Wind entry 0 for digit 0, entry 1 otherwise.
// 612: std::nullopt (the label keeps its text) for a type digit other than 0-2 and for a unit
//      digit that names no entry of its 10-entry table ("9" under a flow type, "a"-"f").
// 640: "" for a type digit other than 0-2 and for a unit digit beyond the table (c-f).
// A flow type with unit digit 0 names entry 1, "km/h": the poll reads the table, not the list.
std::optional<std::string> RateUnitLabel(Model family, int code);

// The 640 dialog's four alarm unit labels in ShowSettings: under Wind "mph" for unit digit 0,
// else "km/h"; under a flow type the flow-list name at (unit digit - 1), "" where the list
// has none (digit 0, c-f); "" under any other type digit.
std::string AlarmUnitLabel640(int code);

// unitFactor of a 640 upload, from the code Send has just built: the unit-table factor of
// the selected unit ("gph" 60.0, "m3/hr" 0.2271247, "km/h" 1.609344). It reads the entry the
// module's display will name (as RateUnitLabel), so a flow list left without a selection
// (unit digit 0) gets the factor of entry 1; 1.0 where the code names no entry.
double UnitFactor640(int code);

// ---- 612 pulse unit code ------------------------------------------------------------------
// Send builds k = pulse-unit list position (+ 4 under Wind) into the sent form (k << 4) | 1,
// which the upload writes as the four hex digits "00k1". The module keeps the number those
// characters spell in decimal, so a read (and Defaults) gives the held form k * 10 + 1:
//   Cubic Feet 0x01/1, Cubic Meters 0x11/11, Gallons 0x21/21, Liters 0x31/31,
//   km/h 0x41/41, mph 0x51/51.
// The dialog keeps the held form in its record so ShowSettings decodes it right after a Send:
// put PulseUnitSentCode into the record handed to SendConfig, then PulseUnitHeldFromSent back.

int PulseUnitSentCode(int position, bool wind);
// The module's reading of the sent form: its "%0.4x" digits taken as a decimal number.
// -1 for a code outside 0..0xffff or with a hex letter among its digits, which the module
// cannot read back as the same number.
int PulseUnitHeldFromSent(int sent);
// The other way, for sending a held code as it was read (command-line companion): the
// decimal digits of `held` taken as hex digits (51 -> 0x51). -1 outside 0..9999.
int PulseUnitSentFromHeld(int held);
// ShowSettings: print the held code with "%0.4d", take its third character as a digit, less
// 4 under Wind (51 under Wind -> 1, "mph"). -1 when that is not a position of the list.
int PulseUnitPosition(int held, bool wind);

// ---- 612 pulse width ----------------------------------------------------------------------
// ShowSettings selects entry trunc(width) / 50 - 1 with integer division: 100.0 -> "100",
// 175.0 -> "150", 20.0 -> nothing (-1). -1 beyond the list too.
int PulseWidthPosition(double widthMs);
// Send: 50 * position + 50.
double PulseWidthFromPosition(int position);

// The words fernwell-cli's send takes and read reports: "insertion", "tee", "wss".
const char* SensorTypeWord(SensorType type);
