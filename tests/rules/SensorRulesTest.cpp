#include "rules/SensorRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "protocol/ModuleData.h"

namespace {

constexpr SensorType kIns = SensorType::Insertion;
constexpr SensorType kTee = SensorType::Tee;
constexpr SensorType kWind = SensorType::Wind;
constexpr Model k612 = Model::k612;
constexpr Model k640 = Model::k640;

TEST(SensorTables, UnitListsShowTheFamilysUnitsInTableOrder) {
    struct Row {
        int line;
        Model family;
        SensorType type;
        std::vector<std::string> names;
    } rows[] = {
        {__LINE__, k612, kWind, {"mph", "km/h"}},
        {__LINE__, k640, kWind, {"mph", "km/h"}},
        {__LINE__,
         k612,
         kIns,
         {"gpm", "gph", "l/sec", "l/min", "ft3/sec", "ft3/min", "m3/sec", "m3/min"}},
        {__LINE__,
         k640,
         kTee,
         {"gpm", "gph", "l/sec", "l/min", "l/hr", "ft3/sec", "ft3/min", "ft3/hr", "m3/sec",
          "m3/min", "m3/hr"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(UnitListNames(row.family, row.type), row.names);
        EXPECT_STREQ(UnitListName(row.family, row.type, static_cast<int>(row.names.size())), "");
        EXPECT_STREQ(UnitListName(row.family, row.type, -1), "");
    }
}

// Every row as published, inch marks included: a K or offset typed wrong here is uploaded.
TEST(SensorTables, EveryRowAsPublished) {
    struct Row {
        int line;
        SensorType type;
        int row;
        SensorRow published;
    } rows[] = {
        {__LINE__, kIns, 0, {"Other (Unlisted)", 1.0, 0.0}},
        {__LINE__, kIns, 1, {"3\" Class 160\"", 4.902, 0.085}},
        {__LINE__, kIns, 2, {"3\" Class 200\"", 4.682, 0.076}},
        {__LINE__, kIns, 3, {"4\" Class 160\"", 9.013, 0.24}},
        {__LINE__, kIns, 4, {"4\" Class 200\"", 8.578, 0.239}},
        {__LINE__, kIns, 5, {"6\" Class 160\"", 21.968, 0.257}},
        {__LINE__, kIns, 6, {"6\" Class 200\"", 21.068, 0.256}},
        {__LINE__, kIns, 7, {"8\" Class 160\"", 39.869, 0.281}},
        {__LINE__, kIns, 8, {"8\" Class 200\"", 38.203, 0.279}},
        {__LINE__, kIns, 9, {"10\" Class 160\"", 63.272, 0.312}},
        {__LINE__, kIns, 10, {"10\" Class 200\"", 60.733, 0.309}},
        {__LINE__, kIns, 11, {"12\" Class 160\"", 93.152, 0.352}},
        {__LINE__, kIns, 12, {"12\" Class 200\"", 88.842, 0.346}},
        {__LINE__, kTee, 0, {"KV100-1\"", 0.41447, 0.44117}},
        {__LINE__, kTee, 1, {"KV150-1.5\"", 1.848, 0.227}},
        {__LINE__, kTee, 2, {"KV200-2\"", 2.725, 0.392}},
        {__LINE__, kTee, 3, {"KV300-3\"", 8.309, 0.227}},
        {__LINE__, kTee, 4, {"KV400-4\"", 13.74283, 0.23707}},
    };
    ASSERT_EQ(RowTable(kIns).size(), 13u);
    ASSERT_EQ(RowTable(kTee).size(), 5u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const SensorRow& held = RowTable(row.type)[row.row];
        EXPECT_STREQ(held.text, row.published.text);
        EXPECT_EQ(held.k, row.published.k);
        EXPECT_EQ(held.offset, row.published.offset);
    }
}

TEST(SensorCode, BuiltFromTheControls) {
    struct Row {
        int line;
        Model family;
        SensorChoice choice;
        int code;
    } rows[] = {
        {__LINE__, k612, {kTee, 2, 3}, 0x0214},   // tee row 2, "l/min"
        {__LINE__, k612, {kIns, 1, 4}, 0x0105},   // pipe row 1, "ft3/sec"
        {__LINE__, k612, {kIns, 12, 7}, 0x0C08},  // pipe row 12, "m3/min"
        {__LINE__, k612, {kWind, 5, 1}, 0x0029},  // "km/h"; the row list plays no part
        {__LINE__, k612, {kWind, 5, 0}, 0x0020},  // "mph"
        {__LINE__, k640, {kIns, 10, 6}, 0x07A1},  // pipe row 10, "ft3/min"
        {__LINE__, k640, {kIns, 5, 1}, 0x0251},   // pipe row 5, "gph"
        {__LINE__, k640, {kTee, 4, 10}, 0x1B41},  // tee row 4, "m3/hr"
        {__LINE__, k640, {kWind, 3, 1}, 0x2D01},  // "km/h"
        {__LINE__, k640, {kWind, 3, 0}, 0x2001},  // "mph"
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(BuildSensorCode(row.family, row.choice), row.code);
    }
}

TEST(SensorCode, DecodedIntoTheControls) {
    const std::optional<SensorChoice> unchanged;
    struct Row {
        int line;
        Model family;
        int code;
        std::optional<SensorChoice> shown;
    } rows[] = {
        {__LINE__, k612, 0x0214, SensorChoice{kTee, 2, 3}},
        {__LINE__, k612, 0xF105, SensorChoice{kIns, 1, 4}},   // d0 plays no part
        {__LINE__, k612, 0x0A01, SensorChoice{kIns, 10, 0}},  // pipe row read as hex
        {__LINE__, k612, 0x0D01, SensorChoice{kIns, -1, 0}},  // beyond the 13 pipes
        {__LINE__, k612, 0x0A11, SensorChoice{kTee, -1, 0}},  // tee row read as decimal
        {__LINE__, k612, 0x0511, SensorChoice{kTee, -1, 0}},  // beyond the 5 tee sensors
        {__LINE__, k612, 0x0000, SensorChoice{kIns, 0, -1}},  // unit digit 0
        {__LINE__, k612, 0x0008, SensorChoice{kIns, 0, 7}},   // "m3/min", last of 8
        {__LINE__, k612, 0x0009, SensorChoice{kIns, 0, -1}},  // 9 only means "km/h" under WSS
        {__LINE__, k612, 0x001A, SensorChoice{kTee, 0, -1}},  // unit read as decimal
        {__LINE__, k612, 0x0029, SensorChoice{kWind, -1, 1}},
        {__LINE__, k612, 0x0020, SensorChoice{kWind, -1, 0}},
        {__LINE__, k612, 0x002A, SensorChoice{kWind, -1, 1}},
        {__LINE__, k612, 0x0030, unchanged},  // d2 of 3: controls stay as they were
        {__LINE__, k612, 0x2F31, unchanged},
        {__LINE__, k640, 0x07A1, SensorChoice{kIns, 10, 6}},
        {__LINE__, k640, 0x0120, SensorChoice{kIns, 2, 0}},   // the 640's defaults
        {__LINE__, k640, 0x0B01, SensorChoice{kIns, 0, 10}},  // unit b: "m3/hr"
        {__LINE__, k640, 0x0C01, SensorChoice{kIns, 0, -1}},
        {__LINE__, k640, 0x0001, SensorChoice{kIns, 0, -1}},
        {__LINE__, k640, 0x01D1, SensorChoice{kIns, -1, 0}},
        {__LINE__, k640, 0x1B41, SensorChoice{kTee, 4, 10}},
        {__LINE__, k640, 0x1151, SensorChoice{kTee, -1, 0}},
        {__LINE__, k640, 0x2D01, SensorChoice{kWind, -1, 1}},
        {__LINE__, k640, 0x2001, SensorChoice{kWind, -1, 0}},
        {__LINE__, k640, 0x3001, unchanged},
        {__LINE__, k640, 0x0029, SensorChoice{kIns, 2, -1}},  // a 612 code read as a 640's
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(DecodeSensorCode(row.family, row.code), row.shown);
    }
}

// Whatever the user can select must come back as selected after a Send and a Refresh.
TEST(SensorCode, EverySelectableChoiceSurvivesBuildAndDecode) {
    for (Model family : {k612, k640}) {
        for (SensorType type : {kIns, kTee, kWind}) {
            const int rows = type == kWind ? 1 : static_cast<int>(RowTable(type).size());
            const int units = static_cast<int>(UnitListIndices(family, type).size());
            for (int r = 0; r < rows; ++r) {
                for (int u = 0; u < units; ++u) {
                    const SensorChoice choice{type, type == kWind ? -1 : r, u};
                    SCOPED_TRACE(::testing::PrintToString(choice) + " " +
                                 std::to_string(static_cast<int>(family)));
                    EXPECT_EQ(DecodeSensorCode(family, BuildSensorCode(family, choice)), choice);
                }
            }
        }
    }
}

TEST(SensorCode, RowChoiceSetsKOffsetAndReturnsTheUnitToGpm) {
    struct Row {
        int line;
        Model family;
        SensorType list;
        int row;
        int heldCode;
        SensorSettings expected;
    } rows[] = {
        // d0 zero, "m3/sec" selected, then pipe row 12.
        {__LINE__, k612, kIns, 12, 0x0107, {88.842, 0.346, 0x0C01}},
        {__LINE__, k612, kIns, 2, 0x3107, {4.682, 0.076, 0x3201}},  // d0 is kept
        {__LINE__, k612, kTee, 2, 0x0020, {2.725, 0.392, 0x0211}},
        {__LINE__, k612, kTee, 4, 0x0C05, {13.74283, 0.23707, 0x0411}},
        {__LINE__, k640, kIns, 12, 0x07A1, {88.842, 0.346, 0x01C1}},
        {__LINE__, k640, kTee, 3, 0x2000, {8.309, 0.227, 0x1130}},  // d3 is kept
        {__LINE__, k640, kIns, 0, 0x2D01, {1.0, 0.0, 0x0101}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const SensorSettings held{7.0, 0.5, row.heldCode};
        const SensorSettings next = ChooseRow(row.family, row.list, row.row, held);
        EXPECT_EQ(next, row.expected);
        const std::optional<SensorChoice> shown = DecodeSensorCode(row.family, next.sensorCode);
        EXPECT_EQ(shown, (SensorChoice{row.list, row.row, 0}));
    }
}

TEST(SensorCode, RowOutsideTheTableChangesNothing) {
    const SensorSettings held{7.0, 0.5, 0x0105};
    EXPECT_EQ(ChooseRow(k612, kIns, 13, held), held);
    EXPECT_EQ(ChooseRow(k612, kTee, 5, held), held);
    EXPECT_EQ(ChooseRow(k640, kIns, -1, held), held);
}

TEST(SensorCode, RadioClicks) {
    struct Row {
        int line;
        Model family;
        SensorType clicked;
        int heldCode;
        SensorSettings expected;
        bool calculateShown;
    } rows[] = {
        {__LINE__, k612, kIns, 0x0029, {1.0, 0.0, 0x0001}, true},
        {__LINE__, k612, kTee, 0x0105, {0.41447, 0.44117, 0x0011}, false},
        {__LINE__, k612, kWind, 0x0C05, {1.6965, 0.059, 0x0C20}, false},  // d0, d1 kept
        {__LINE__, k640, kIns, 0x2D01, {1.0, 0.0, 0x0101}, true},
        {__LINE__, k640, kTee, 0x07A1, {0.41447, 0.44117, 0x1101}, false},
        {__LINE__, k640, kWind, 0x07A1, {1.6965, 0.059, 0x2001}, false},
        {__LINE__, k640, kWind, 0x07A0, {1.6965, 0.059, 0x2000}, false},  // d3 kept
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const SensorSettings next =
            ClickSensorType(row.family, row.clicked, {3.0, 0.3, row.heldCode});
        EXPECT_EQ(next, row.expected);
        // What ShowSettings then shows: the clicked type, its first row, the first unit.
        const std::optional<SensorChoice> shown = DecodeSensorCode(row.family, next.sensorCode);
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(*shown, (SensorChoice{row.clicked, row.clicked == kWind ? -1 : 0, 0}));
        EXPECT_EQ(CalculateShown(shown->type), row.calculateShown);
        EXPECT_EQ(PipeListShown(shown->type), row.clicked == kIns);
        EXPECT_EQ(TeeListShown(shown->type), row.clicked == kTee);
        EXPECT_EQ(UsesSpeedUnits(shown->type), row.clicked == kWind);
    }
}

TEST(UnitLabels, PollAndAlarmLabels) {
    const std::optional<std::string> keep;
    struct Row {
        int line;
        Model family;
        int code;
        std::optional<std::string> poll;
        std::string alarm;  // 640 only
    } rows[] = {
        {__LINE__, k612, 0x0105, "ft3/sec", ""},
        {__LINE__, k612, 0x0029, "km/h", ""},
        {__LINE__, k612, 0x0020, "mph", ""},
        {__LINE__, k612, 0x0018, "m3/min", ""},
        {__LINE__, k612, 0x0019, keep, ""},
        {__LINE__, k612, 0x001B, keep, ""},
        {__LINE__, k612, 0x0031, keep, ""},
        {__LINE__, k640, 0x0251, "gph", "gph"},
        {__LINE__, k640, 0x0120, "gpm", "gpm"},
        {__LINE__, k640, 0x1B41, "m3/hr", "m3/hr"},
        {__LINE__, k640, 0x2D01, "km/h", "km/h"},
        {__LINE__, k640, 0x2001, "mph", "mph"},
        {__LINE__, k640, 0x0C01, "", ""},
        {__LINE__, k640, 0x0001, "km/h", ""},  // the poll reads entry 1, the list has nothing
        {__LINE__, k640, 0x3251, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(RateUnitLabel(row.family, row.code), row.poll);
        if (row.family == k640) {
            EXPECT_EQ(AlarmUnitLabel640(row.code), row.alarm);
        }
    }
}

TEST(UnitFactor640, FactorOfTheSelectedUnit) {
    EXPECT_DOUBLE_EQ(UnitFactor640(BuildSensorCode(k640, {kIns, 0, 10})), 0.2271247);  // m3/hr
    EXPECT_DOUBLE_EQ(UnitFactor640(BuildSensorCode(k640, {kTee, 3, 1})), 60.0);        // gph
    EXPECT_DOUBLE_EQ(UnitFactor640(BuildSensorCode(k640, {kIns, 2, 3})), 3.785412);    // l/min
    EXPECT_DOUBLE_EQ(UnitFactor640(BuildSensorCode(k640, {kWind, -1, 1})), 1.609344);
    EXPECT_DOUBLE_EQ(UnitFactor640(BuildSensorCode(k640, {kWind, -1, 0})), 1.0);
    EXPECT_DOUBLE_EQ(UnitFactor640(0x3001), 1.0);
    for (SensorType type : {kIns, kTee, kWind}) {
        const auto list = UnitListIndices(k640, type);
        for (int u = 0; u < static_cast<int>(list.size()); ++u) {
            SCOPED_TRACE(u);
            EXPECT_EQ(UnitFactor640(BuildSensorCode(k640, {type, 0, u})), kUnitFactors640[list[u]]);
        }
    }
}

TEST(PulseUnitCode, SentAndHeldForms) {
    struct Row {
        int line;
        int position;
        bool wind;
        int sent;
        int held;
        const char* name;
    } rows[] = {
        {__LINE__, 0, false, 0x01, 1, "Cubic Feet"}, {__LINE__, 1, false, 0x11, 11, "Cubic Meters"},
        {__LINE__, 2, false, 0x21, 21, "Gallons"},   {__LINE__, 3, false, 0x31, 31, "Liters"},
        {__LINE__, 0, true, 0x41, 41, "km/h"},       {__LINE__, 1, true, 0x51, 51, "mph"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(PulseUnitSentCode(row.position, row.wind), row.sent);
        EXPECT_EQ(PulseUnitHeldFromSent(row.sent), row.held);
        EXPECT_EQ(PulseUnitSentFromHeld(row.held), row.sent);
        const int shown = PulseUnitPosition(row.held, row.wind);
        ASSERT_GE(shown, 0);
        EXPECT_STREQ(PulseUnitList(row.wind ? kWind : kIns)[shown], row.name);
    }
}

// After Send the record must hold the read-back form again: decoding the sent form as it
// stands picks the wrong entry from "Gallons" on (0x21 prints as 0033).
TEST(PulseUnitCode, SentFormWouldDecodeWrong) {
    EXPECT_EQ(PulseUnitPosition(PulseUnitSentCode(2, false), false), 3);
    EXPECT_EQ(PulseUnitPosition(PulseUnitHeldFromSent(PulseUnitSentCode(2, false)), false), 2);
}

TEST(PulseUnitCode, CodesOutsideTheLists) {
    struct Row {
        int line;
        int held;
        bool wind;
        int position;
    } rows[] = {
        {__LINE__, 41, false, -1},  // a wind code under a flow type
        {__LINE__, 11, true, -1},   // and the other way
        {__LINE__, 61, true, -1},    {__LINE__, 0, false, 0},
        {__LINE__, 12345, false, 3},  // five digits: the third character is the hundreds
        {__LINE__, -21, false, 0},    // "-0021"
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(PulseUnitPosition(row.held, row.wind), row.position);
    }
    EXPECT_EQ(PulseUnitHeldFromSent(0xA1), -1);
    EXPECT_EQ(PulseUnitHeldFromSent(-1), -1);
    EXPECT_EQ(PulseUnitHeldFromSent(0x9999), 9999);
    EXPECT_EQ(PulseUnitSentFromHeld(10000), -1);
    EXPECT_EQ(PulseUnitSentFromHeld(-5), -1);
    EXPECT_EQ(PulseUnitSentFromHeld(9999), 0x9999);
}

TEST(PulseWidth, ListEntryOfAWidth) {
    struct Row {
        int line;
        double width;
        int position;
    } rows[] = {
        {__LINE__, 100.0, 1},   {__LINE__, 175.0, 2},     {__LINE__, 20.0, -1},
        {__LINE__, 50.0, 0},    {__LINE__, 49.99, -1},    {__LINE__, 5000.0, 99},
        {__LINE__, 5049.9, 99}, {__LINE__, 5050.0, -1},   {__LINE__, -100.0, -1},
        {__LINE__, NAN, -1},    {__LINE__, INFINITY, -1}, {__LINE__, 1e300, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(PulseWidthPosition(row.width), row.position);
    }
    const std::vector<std::string> texts = PulseWidthTexts();
    ASSERT_EQ(texts.size(), 100u);
    EXPECT_EQ(texts[0], "50");
    EXPECT_EQ(texts[4], "250");
    EXPECT_EQ(texts[99], "5000");
    EXPECT_EQ(PulseWidthFromPosition(4), 250.0);
    for (int i = 0; i < kPulseWidthCount; ++i) {
        EXPECT_EQ(PulseWidthPosition(PulseWidthFromPosition(i)), i);
    }
}

TEST(Defaults, ShowWhatTheDialogsOpenWith) {
    const ModuleData612 d612 = Defaults612();
    EXPECT_EQ(DecodeSensorCode(k612, d612.SensorCode), (SensorChoice{kWind, -1, 0}));
    EXPECT_EQ(PulseUnitPosition(d612.PulseUnitCode, true), 1);  // "mph"
    EXPECT_EQ(PulseWidthPosition(d612.pulseWidth), 1);          // "100"
    const ModuleData640 d640 = Defaults640();
    EXPECT_EQ(DecodeSensorCode(k640, d640.SensorCode), (SensorChoice{kIns, 2, 0}));
    EXPECT_EQ(AlarmUnitLabel640(d640.SensorCode), "gpm");
}

}  // namespace
