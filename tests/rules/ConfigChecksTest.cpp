#include "rules/ConfigChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

const char* const kHighMessage =
    "For High Alarms, Activation Value Should Be Greater Than The Release Value.\n"
    "Invalid Values Have Been Set To Defaults, And No Settings Have Been Sent";
const char* const kLowMessage =
    "For Low Alarms, Activation Value Should Be Less Than The Release Value.\n"
    "Invalid Values Have Been Set To Defaults, And No Settings Have Been Sent";

TEST(AlarmPairs, OnlyTheFailingPairIsReset) {
    struct Row {
        int line;
        double highSet, highRelease, lowSet, lowRelease;
        const char* message;  // nullptr: accepted
        double wantHighSet, wantHighRelease, wantLowSet, wantLowRelease;
    } rows[] = {
        {__LINE__, 100, 100, 5, 10, nullptr, 100, 100, 5, 10},    // equal passes
        {__LINE__, 120, 110, 10, 10, nullptr, 120, 110, 10, 10},  // low equal too
        {__LINE__, 99.7, 90, 5, 10, nullptr, 99.7, 90, 5, 10},
        {__LINE__, 90, 100, 20, 30, kHighMessage, 120, 110, 20, 30},
        {__LINE__, 120, 110, 20, 10, kLowMessage, 120, 110, 5, 10},
        // Both wrong: the high pair is reported and reset, the low one waits for next Send.
        {__LINE__, 90, 100, 20, 10, kHighMessage, 120, 110, 20, 10},
        {__LINE__, -5, -4.5, 0, 0, kHighMessage, 120, 110, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ModuleData640 data = Defaults640();
        data.highSetDelay = 42;
        data.highSetPoint = row.highSet;
        data.highReleasePoint = row.highRelease;
        data.lowSetPoint = row.lowSet;
        data.lowReleasePoint = row.lowRelease;
        const std::optional<RuleMessage> message = CheckAlarmPairs(data);
        if (row.message) {
            ASSERT_TRUE(message.has_value());
            EXPECT_EQ(message->text, row.message);
            EXPECT_EQ(message->caption, "Invalid Entry");
        } else {
            EXPECT_FALSE(message.has_value());
        }
        EXPECT_EQ(data.highSetPoint, row.wantHighSet);
        EXPECT_EQ(data.highReleasePoint, row.wantHighRelease);
        EXPECT_EQ(data.lowSetPoint, row.wantLowSet);
        EXPECT_EQ(data.lowReleasePoint, row.wantLowRelease);
        EXPECT_EQ(data.highSetDelay, 42);
    }
}

TEST(AlarmSwitches, LatchedNeverStaysOnADisabledAlarm) {
    struct Row {
        int line;
        AlarmSwitches boxes;
        AlarmSwitchResult result;
    } rows[] = {
        {__LINE__, {false, false}, {0, false}},
        {__LINE__, {false, true}, {0, false}},
        {__LINE__, {true, false}, {1, false}},
        {__LINE__, {true, true}, {2, true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const AlarmSwitchResult result = ApplyAlarmSwitch(row.boxes);
        EXPECT_EQ(result, row.result);
        // And ShowSettings shows the boxes the mode stands for.
        EXPECT_EQ(SwitchesForMode(result.mode), (AlarmSwitches{row.boxes.enabled, result.latched}));
    }
    EXPECT_EQ(SwitchesForMode(5), (AlarmSwitches{true, true}));
    EXPECT_EQ(SwitchesForMode(-1), (AlarmSwitches{false, false}));
}

TEST(Sendable, NamesTheFirstFieldThatWouldArriveCorrupted) {
    struct Row {
        int line;
        double k, offset, pulse;
        const char* field;  // nullptr: sendable
    } rows[] = {
        {__LINE__, 1.6965, 0.059, 2.0, nullptr},         // the defaults
        {__LINE__, 99999999.0, -9999999.0, 0, nullptr},  // the widest that still fit
        {__LINE__, 100000000.0, 0, 0, "K"},              // would go out as k=10000000
        {__LINE__, 1, -10000000.0, 0, "Offset"},
        {__LINE__, 1, 0, 1e8, "Pulse Value"},
        {__LINE__, 1, 0, NAN, "Pulse Value"},
        {__LINE__, 1e9, 1e9, 1e9, "K"},  // the first field in the dialog's order
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ModuleData612 data = Defaults612();
        data.kFactor = row.k;
        data.offset = row.offset;
        data.pulseValue = row.pulse;
        const std::optional<RuleMessage> message = CheckSendable(data);
        if (!row.field) {
            EXPECT_FALSE(message.has_value()) << message->text;
            continue;
        }
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->text.rfind(std::string(row.field) + " cannot be sent", 0), 0u)
            << message->text;
        EXPECT_NE(message->text.find("99999999.999999"), std::string::npos);
        EXPECT_EQ(message->caption, "Invalid Entry");
    }
    EXPECT_FALSE(CheckSendable(Defaults640()).has_value());
    // Each typed field of the 640 alone, one past the widest that fits.
    struct Row640 {
        int line;
        double ModuleData640::*field;
        double value;
        const char* name;
    } rows640[] = {
        {__LINE__, &ModuleData640::kFactor, 1e8, "K"},
        {__LINE__, &ModuleData640::offset, -1e7, "Offset"},
        {__LINE__, &ModuleData640::highSetPoint, 1e8, "High Set Point"},
        {__LINE__, &ModuleData640::highReleasePoint, 1e8, "High Release Point"},
        {__LINE__, &ModuleData640::lowSetPoint, -1e7, "Low Set Point"},
        {__LINE__, &ModuleData640::lowReleasePoint, 123456789.0, "Low Release Point"},
    };
    for (const Row640& row : rows640) {
        SCOPED_TRACE(row.line);
        ModuleData640 data = Defaults640();
        data.*row.field = row.value;
        const std::optional<RuleMessage> message = CheckSendable(data);
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->text.rfind(std::string(row.name) + " cannot be sent", 0), 0u)
            << message->text;
    }
    // A delay goes out in four digits: 9999 fits, 10000 does not.
    ModuleData640 delays = Defaults640();
    delays.lowReleaseDelay = 9999;
    EXPECT_FALSE(CheckSendable(delays).has_value());
    delays.lowReleaseDelay = 10000;
    ASSERT_TRUE(CheckSendable(delays).has_value());
    EXPECT_EQ(CheckSendable(delays)->text.rfind("Low Release Delay cannot be sent", 0), 0u);
}

}  // namespace

namespace {

// Every 640 sensor, row and unit, walked from the tables: the choice is refused exactly when
// the module, reading "u=" as a decimal number, would not keep the code that was sent.
TEST(Sendable, EveryChoiceWhose640CodeTheModuleMisreadsIsRefused) {
    int refused = 0;
    for (const SensorType type : {SensorType::Insertion, SensorType::Tee, SensorType::Wind}) {
        const int rows = type == SensorType::Wind ? 1 : static_cast<int>(RowTable(type).size());
        const int units = static_cast<int>(UnitListIndices(Model::k640, type).size());
        for (int row = 0; row < rows; ++row) {
            for (int unit = 0; unit < units; ++unit) {
                const SensorChoice choice{type, type == SensorType::Wind ? -1 : row, unit};
                const int code = BuildSensorCode(Model::k640, choice);
                char sent[8];
                std::snprintf(sent, sizeof sent, "%04x", static_cast<unsigned>(code));
                char* end = nullptr;
                const long kept = std::strtol(sent, &end, 10);  // the firmware's reading
                const bool misread = *end != '\0';
                SCOPED_TRACE(sent);
                const std::optional<RuleMessage> message = CheckSensorChoice640(choice);
                EXPECT_EQ(message.has_value(), misread);
                ModuleData640 data = Defaults640();
                data.SensorCode = code;
                const std::optional<RuleMessage> checked = CheckSendable(data);
                EXPECT_EQ(checked.has_value(), misread);
                if (misread) {
                    ++refused;
                    EXPECT_EQ(checked->text, "SensorCode " + std::string(sent) +
                                                 " cannot be sent: the 640 reads it as the "
                                                 "decimal number " +
                                                 std::to_string(kept) + ".");
                    EXPECT_EQ(message->caption, "Invalid Entry");
                }
            }
        }
    }
    EXPECT_GT(refused, 0);
}

}  // namespace
