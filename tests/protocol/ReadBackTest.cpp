// What the module must report after an upload: every command of both sequences, with what the
// wire (the 10-character cut, single-precision floats) and the module (four digits read as a
// decimal number) do to it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "protocol/Device.h"

namespace {

// The fields named by CompareReadBack, joined with spaces.
template <class Record>
std::string Mismatched(const Record& sent, const Record& held) {
    std::string names;
    for (const ReadBackMismatch& m : CompareReadBack(sent, held)) {
        names += (names.empty() ? "" : " ") + m.field;
    }
    return names;
}

// What a module holds after a clean upload: each number as the float of its cut text.
float F(double v) {
    return static_cast<float>(v);
}

TEST(ReadBackTest, Sequence612) {
    struct Row {
        int line;
        std::function<void(ModuleData612& sent, ModuleData612& held)> change;
        std::string mismatched;
    };
    const Row rows[] = {
        {__LINE__, [](auto&, auto&) {}, ""},
        {__LINE__, [](auto&, auto& h) { h.PulseUnitCode = 0x51; }, "PulseUnitCode"},
        {__LINE__, [](auto&, auto& h) { h.offset = F(0.06); }, "offset"},
        {__LINE__, [](auto&, auto& h) { h.kFactor = F(1.6966); }, "kFactor"},
        {__LINE__, [](auto&, auto& h) { h.pulseValue = 0; }, "pulseValue"},
        {__LINE__, [](auto&, auto& h) { h.pulseWidth = 50; }, "pulseWidth"},
        {__LINE__, [](auto&, auto& h) { h.SensorCode = 0x0021; }, "SensorCode"},
        // The cut: 123.4567891 goes out as "k=123.4567", and that is what comes back.
        {__LINE__, [](auto& s, auto& h) { s.kFactor = 123.4567891, h.kFactor = F(123.4567); }, ""},
        {__LINE__, [](auto& s, auto& h) { s.kFactor = 123.4567891, h.kFactor = F(123.4567891); },
         "kFactor"},
        // One unit in the last place of the module's float is its own rounding, not a fault.
        {__LINE__, [](auto&, auto& h) { h.offset = std::nextafter(F(0.059), 1.0f); }, ""},
        {__LINE__, [](auto&, auto& h) { h.offset = F(0.059) + 0.0000001; }, "offset"},
        {__LINE__, [](auto&, auto& h) { h.kFactor = 0, h.SensorCode = 0; }, "kFactor SensorCode"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ModuleData612 sent = Defaults612();
        sent.PulseUnitCode = 0x51;  // sent as "d=0051": the module holds 51
        ModuleData612 held = sent;
        held.PulseUnitCode = 51;
        held.kFactor = F(sent.kFactor);
        held.offset = F(sent.offset);
        row.change(sent, held);
        EXPECT_EQ(Mismatched(sent, held), row.mismatched);
    }
}

TEST(ReadBackTest, Sequence640) {
    struct Row {
        int line;
        std::function<void(ModuleData640& sent, ModuleData640& held)> change;
        std::string mismatched;
    };
    const Row rows[] = {
        {__LINE__, [](auto&, auto&) {}, ""},
        {__LINE__, [](auto&, auto& h) { h.offset = 0; }, "offset"},
        {__LINE__, [](auto&, auto& h) { h.kFactor = 0; }, "kFactor"},
        {__LINE__, [](auto&, auto& h) { h.SensorCode = 0x0120; }, "SensorCode"},
        // "u=0251" is held as 251 and read back as the code; "u=2d01" is not taken at all.
        {__LINE__, [](auto& s, auto& h) { s.SensorCode = h.SensorCode = 0x0251; }, ""},
        {__LINE__, [](auto& s, auto&) { s.SensorCode = 0x2d01; }, "SensorCode"},
        {__LINE__, [](auto&, auto& h) { h.nValue = 2; }, "nValue"},
        {__LINE__, [](auto&, auto& h) { h.unitFactor = 60; }, "unitFactor"},
        {__LINE__, [](auto&, auto& h) { h.highSetPoint = 12; }, "highSetPoint"},
        {__LINE__, [](auto&, auto& h) { h.highReleasePoint = 11; }, "highReleasePoint"},
        {__LINE__, [](auto&, auto& h) { h.lowSetPoint = 6; }, "lowSetPoint"},
        {__LINE__, [](auto&, auto& h) { h.lowReleasePoint = 1; }, "lowReleasePoint"},
        {__LINE__, [](auto&, auto& h) { h.highAlarmMode = 2; }, "highAlarmMode"},
        {__LINE__, [](auto&, auto& h) { h.lowAlarmMode = 0; }, "lowAlarmMode"},
        {__LINE__, [](auto&, auto& h) { h.highSetDelay = 50; }, "highSetDelay"},
        {__LINE__, [](auto&, auto& h) { h.highReleaseDelay = 1; }, "highReleaseDelay"},
        {__LINE__, [](auto&, auto& h) { h.lowSetDelay = 0; }, "lowSetDelay"},
        {__LINE__, [](auto&, auto& h) { h.lowReleaseDelay = 100; }, "lowReleaseDelay"},
        // "$=-0005" is held as -5, which the dump carries in 16 bits.
        {__LINE__, [](auto& s, auto& h) { s.highSetDelay = -5, h.highSetDelay = 0xFFFB; }, ""},
        // All 16 bits count: 300 held as 44 (0x12C cut to a byte) is another delay.
        {__LINE__, [](auto& s, auto& h) { s.highSetDelay = 300, h.highSetDelay = 44; },
         "highSetDelay"},
        // A number too large for the cut loses its last integer digit on the way.
        {__LINE__,
         [](auto& s, auto& h) { s.highSetPoint = 123456789, h.highSetPoint = F(12345678); }, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ModuleData640 sent = Defaults640();
        sent.SensorCode = 0x0121;
        ModuleData640 held = sent;
        held.kFactor = F(sent.kFactor);
        held.offset = F(sent.offset);
        row.change(sent, held);
        EXPECT_EQ(Mismatched(sent, held), row.mismatched);
    }
}

}  // namespace
