// The alarm status window's rules without widgets: which lamps a status word lights, the
// delay boxes' seconds, and the reference boxes of the alarm settings.

#include <gtest/gtest.h>

#include "rules/AlarmStatus.h"

namespace {

TEST(AlarmStatusWord, LampsAndDelayBoxes) {
    constexpr bool on = true, off = false;
    struct Row {
        const char* line;
        std::uint32_t status;
        AlarmStatusView expected;  // activated, set delay runs, release delay runs, seconds
    };
    const Row rows[] = {
        {"quiet", 0x00000000, {off, off, off, "", ""}},
        {"set delay, 40 ticks = 10.49 s", 0x28000001, {off, on, off, "10", ""}},
        {"release delay, 5 ticks = 1.31 s", 0x05000101, {on, off, on, "", "1"}},
        {"activated only", 0x00000100, {on, off, off, "", ""}},
        {"a counter without a running delay shows nothing", 0x28000100, {on, off, off, "", ""}},
        {"byte 2 means nothing", 0x00FF0000, {off, off, off, "", ""}},
        {"any nonzero byte counts, counter 0", 0x0000FF80, {on, off, on, "", "0"}},
        {"2 ticks = 0.52 s rounds up", 0x02000001, {off, on, off, "1", ""}},
        {"longest delay, 255 ticks = 66.85 s", 0xFF00FF01, {on, off, on, "", "67"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        EXPECT_EQ(InterpretAlarmStatus(r.status), r.expected);
    }
}

TEST(AlarmReference, ModesPointsAndDelays) {
    struct Row {
        int mode;
        double setPoint;
        int setDelay;
        double releasePoint;
        AlarmReferenceView expected;  // enabled, latched, the four boxes
    };
    const Row rows[] = {
        {0, 120, 5, 110, {false, false, "120", "5", "110", "10"}},
        {1, 99.7, 0, 0.4, {true, false, "100", "0", "0", "10"}},
        {2, -5.5, -3, 2.5, {true, true, "-6", "-3", "2", "10"}},  // C library: half to even
        {3, 1e7, 9999, 12.5, {true, true, "10000000", "9999", "12", "10"}},
        {-1, 0, 0, 0, {true, true, "0", "0", "0", "10"}},  // compared unsigned
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        EXPECT_EQ(InterpretAlarmReference(r.mode, r.setPoint, r.setDelay, r.releasePoint, 10),
                  r.expected);
    }
    EXPECT_EQ(FlowRateText(42.5), "42.50");
    EXPECT_EQ(FlowRateText(12.345), "12.35") << "12.345 is held as 12.3450000000000006";
    EXPECT_EQ(FlowRateText(-0.004), "-0.00");
}

}  // namespace
