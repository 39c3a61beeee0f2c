#pragma once
// Everything the program knows about a module's settings and live reading, one plain record
// per family, in the order of the module's parameter dump ("v" reply), and the unit tables.
// How each field travels (dump line, upload command, read-back, names): protocol/Fields.h.

#include <array>
#include <cstdint>
#include <ostream>
#include <string>

// Basic pulse-output transmitter (model 612), dump lines 1 to 15.
struct ModuleData612 {
    std::string text1;         // 1: stored only
    std::string text2;         // 2: stored only
    std::uint32_t word3 = 0;   // 3: stored only
    char variantChar = 0;      // 4: stored only on this model
    double kFactor = 0;        // 5
    double offset = 0;         // 6
    double pulseValue = 0;     // 7: quantity per output pulse
    double pulseWidth = 0;     // 8: output pulse width in ms
    double value9 = 0;         // 9: stored only
    double flowRate = 0;       // 10: live reading in the unit named by SensorCode
    double value11 = 0;        // 11: stored only
    std::uint32_t word12 = 0;  // 12: stored only
    double value13 = 0;        // 13: stored only
    int SensorCode = 0;        // 14: digits row-high, row, type, unit
    int PulseUnitCode = 0;     // 15: read-back form, e.g. 51

    bool operator==(const ModuleData612&) const = default;
};

// Alarm transmitter (model 640), dump lines 1 to 22.
struct ModuleData640 {
    std::string text1;            // 1
    std::string text2;            // 2
    std::uint32_t word3 = 0;      // 3
    char variantChar = 0;         // 4: selects the "s=" commands of an upload
    double kFactor = 0;           // 5
    double offset = 0;            // 6
    double nValue = 0;            // 7
    double flowRate = 0;          // 8: live reading
    double value9 = 0;            // 9
    std::uint32_t word10 = 0;     // 10
    int SensorCode = 0;           // 11: digits type, unit, row, 1
    double unitFactor = 0;        // 12
    double highSetPoint = 0;      // 13
    double highReleasePoint = 0;  // 14
    double lowSetPoint = 0;       // 15
    double lowReleasePoint = 0;   // 16
    int highAlarmMode = 0;        // 17: 0 off, 1 on, 2 latched
    int lowAlarmMode = 0;         // 18
    int highSetDelay = 0;         // 19: seconds
    int highReleaseDelay = 0;     // 20
    int lowSetDelay = 0;          // 21
    int lowReleaseDelay = 0;      // 22

    bool operator==(const ModuleData640&) const = default;
};

// What the Defaults buttons of the configuration dialogs put into the records. Apply* set only
// the defaulted fields and keep the rest (text, variantChar, the live reading); Defaults* apply
// them to an empty record.
void ApplyDefaults612(ModuleData612& data);
void ApplyDefaults640(ModuleData640& data);
ModuleData612 Defaults612();
ModuleData640 Defaults640();

// Unit tables by index. Entries 0-1 are the speed units, 2 onward the flow units.
constexpr int kUnitCount612 = 10;
constexpr int kUnitCount640 = 13;
extern const std::array<const char*, kUnitCount612> kUnitNames612;
extern const std::array<const char*, kUnitCount640> kUnitNames640;
// Amount of the named unit in one mph (speed) or one gpm (flow).
extern const std::array<double, kUnitCount640> kUnitFactors640;

// Field-by-field printers, so a failing test shows both records.
void PrintTo(const ModuleData612& d, std::ostream* os);
void PrintTo(const ModuleData640& d, std::ostream* os);
