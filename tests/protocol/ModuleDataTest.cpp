// Records: the printer shows every field; Defaults keep what the module reported.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/ModuleData.h"

namespace {

template <typename Record>
std::string Printed(const Record& record) {
    std::ostringstream os;
    PrintTo(record, &os);
    return os.str();
}

// A change in any one field must change the printed text, or a failing comparison would show
// two identical records.
template <typename Record>
void ExpectEveryFieldPrinted(const std::vector<std::function<void(Record&)>>& changes) {
    const Record base{};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE(i);
        Record changed = base;
        changes[i](changed);
        ASSERT_NE(changed, base);
        EXPECT_NE(Printed(changed), Printed(base));
    }
}

TEST(ModuleDataTest, PrinterShowsEveryField612) {
    using R = ModuleData612;
    ExpectEveryFieldPrinted<R>({
        [](R& r) { r.text1 = "\r"; },
        [](R& r) { r.text2 = "x"; },
        [](R& r) { r.word3 = 1; },
        [](R& r) { r.variantChar = 'p'; },
        [](R& r) { r.kFactor = 1e-17; },
        [](R& r) { r.offset = 1; },
        [](R& r) { r.pulseValue = 1; },
        [](R& r) { r.pulseWidth = 1; },
        [](R& r) { r.value9 = 1; },
        [](R& r) { r.flowRate = 1; },
        [](R& r) { r.value11 = 1; },
        [](R& r) { r.word12 = 1; },
        [](R& r) { r.value13 = 1; },
        [](R& r) { r.SensorCode = 1; },
        [](R& r) { r.PulseUnitCode = 1; },
    });
    // Doubles print in full, so values equal to six digits still show apart.
    R a, b;
    a.kFactor = 1.6965;
    b.kFactor = 1.6965f;
    EXPECT_NE(Printed(a), Printed(b));
}

TEST(ModuleDataTest, PrinterShowsEveryField640) {
    using R = ModuleData640;
    ExpectEveryFieldPrinted<R>({
        [](R& r) { r.text1 = "x"; },       [](R& r) { r.text2 = std::string(1, '\0'); },
        [](R& r) { r.word3 = 1; },         [](R& r) { r.variantChar = '\x01'; },
        [](R& r) { r.kFactor = 1; },       [](R& r) { r.offset = 1; },
        [](R& r) { r.nValue = 1; },        [](R& r) { r.flowRate = 1; },
        [](R& r) { r.value9 = 1; },        [](R& r) { r.word10 = 1; },
        [](R& r) { r.SensorCode = 1; },    [](R& r) { r.unitFactor = 1; },
        [](R& r) { r.highSetPoint = 1; },  [](R& r) { r.highReleasePoint = 1; },
        [](R& r) { r.lowSetPoint = 1; },   [](R& r) { r.lowReleasePoint = 1; },
        [](R& r) { r.highAlarmMode = 1; }, [](R& r) { r.lowAlarmMode = 1; },
        [](R& r) { r.highSetDelay = 1; },  [](R& r) { r.highReleaseDelay = 1; },
        [](R& r) { r.lowSetDelay = 1; },   [](R& r) { r.lowReleaseDelay = 1; },
    });
}

TEST(ModuleDataTest, ApplyDefaultsKeepsWhatTheModuleReported) {
    ModuleData640 data;
    data.text1 = "TEST 640";
    data.variantChar = 'p';  // chooses the "s=" commands of the next upload
    data.flowRate = 42.0;
    data.word10 = 7;
    ApplyDefaults640(data);
    ModuleData640 expected = Defaults640();
    expected.text1 = "TEST 640";
    expected.variantChar = 'p';
    expected.flowRate = 42.0;
    expected.word10 = 7;
    EXPECT_EQ(data, expected);
}

}  // namespace
