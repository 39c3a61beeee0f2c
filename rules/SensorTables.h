#pragma once
// Constant tables shared by the two configuration dialogs and the command-line companion:
// sensor types, the pipe and tee sensor tables with their K and offset, the wind-speed
// constants, the rate-unit lists of list 1037 and the pulse-output lists of the 612.
// Plain data, no widgets: nothing changes them at run time.

#include <array>
#include <span>
#include <string>
#include <vector>

#include "protocol/Model.h"

// Sensor type, as the module stores it in the type digit of SensorCode.
enum class SensorType : int { Insertion = 0, Tee = 1, Wind = 2 };

// One row of the pipe list (1038) or the tee sensor list (1044). Every text but
// "Other (Unlisted)" ends in an inch mark, which is part of the text the lists show.
struct SensorRow {
    const char* text;
    double k;
    double offset;
};

// Insertion sensors: the row index is what SensorCode stores. Row 0 is an ordinary row; for
// unlisted pipes the user types K and offset or takes them from the calculator.
inline constexpr std::array<SensorRow, 13> kPipeTable{{
    {"Other (Unlisted)", 1.0, 0.0},
    {"3\" Class 160\"", 4.902, 0.085},
    {"3\" Class 200\"", 4.682, 0.076},
    {"4\" Class 160\"", 9.013, 0.24},
    {"4\" Class 200\"", 8.578, 0.239},
    {"6\" Class 160\"", 21.968, 0.257},
    {"6\" Class 200\"", 21.068, 0.256},
    {"8\" Class 160\"", 39.869, 0.281},
    {"8\" Class 200\"", 38.203, 0.279},
    {"10\" Class 160\"", 63.272, 0.312},
    {"10\" Class 200\"", 60.733, 0.309},
    {"12\" Class 160\"", 93.152, 0.352},
    {"12\" Class 200\"", 88.842, 0.346},
}};

// Tee-mounted sensors, by model. Rows 1 and 3 really do share the offset 0.227.
inline constexpr std::array<SensorRow, 5> kTeeTable{{
    {"KV100-1\"", 0.41447, 0.44117},
    {"KV150-1.5\"", 1.848, 0.227},
    {"KV200-2\"", 2.725, 0.392},
    {"KV300-3\"", 8.309, 0.227},
    {"KV400-4\"", 13.74283, 0.23707},
}};

// Wind-speed sensor; also the K and offset that Defaults loads in both dialogs.
inline constexpr double kWindK = 1.6965;
inline constexpr double kWindOffset = 0.059;

// The row table of a sensor type: pipes for Insertion, tee sensors for Tee, none for Wind.
std::span<const SensorRow> RowTable(SensorType type);

// Rate-unit list 1037: the unit-table indices (protocol/ModuleData.h) it shows, in list
// order. Speed list under Wind ("mph", "km/h"); otherwise the family's flow list, which is
// the unit table from index 2 on (8 units on the 612, 11 with the per-hour ones on the 640).
std::span<const int> UnitListIndices(Model family, SensorType type);
// Name at `position` of that list; "" for a position the list does not hold.
const char* UnitListName(Model family, SensorType type, int position);
std::vector<std::string> UnitListNames(Model family, SensorType type);
// Name at `index` of the family's unit table; "" outside it.
const char* UnitTableName(Model family, int index);

// 612 pulse-unit list 1014. Under Wind it starts with "km/h" while list 1037 starts with
// "mph": the module's pulse unit numbering differs from its rate unit numbering.
inline constexpr std::array<const char*, 4> kPulseUnitsFlow{"Cubic Feet", "Cubic Meters", "Gallons",
                                                            "Liters"};
inline constexpr std::array<const char*, 2> kPulseUnitsWind{"km/h", "mph"};
std::span<const char* const> PulseUnitList(SensorType type);

// 612 pulse-width list 1016: "50", "100", ... "5000"; entry i is 50 * (i + 1) ms.
inline constexpr int kPulseWidthCount = 100;
std::vector<std::string> PulseWidthTexts();
