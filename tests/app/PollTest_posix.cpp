// The poll timer's tick against a pseudo-terminal of the test's own (POSIX only), so the test
// sees every byte sent.

#include <gtest/gtest.h>

#include "tests/app/MainWindowRig.h"
#include "tests/common/PtyPair.h"

namespace {

using apptest::MainWindowRig;

// The timer's tick polls only for timer 256 and only while nobody else is talking to the
// module. A pseudo-terminal plays the module here, so the test sees every byte sent.
TEST(Poll, TickSendsNothingWhileBusyOrForOtherTimers) {
    struct Row {
        int busy;
        int timerId;
        const char* sent;
    };
    const Row rows[] = {
        {1, ID_TIMER_POLL, ""},
        {0, ID_TIMER_ALARM_STATUS, ""},
        {0, ID_TIMER_POLL, "v\r"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "busy " << r.busy << " timer " << r.timerId);
        MainWindowRig rig;
        fwtest::PtyPair module;
        ASSERT_TRUE(module.Ok()) << module.Error();
        ASSERT_TRUE(rig.ports.Link(1, module.SlavePath()));
        CFernwellDlg& dlg = rig.Start();
        ASSERT_EQ(dlg.online, 1);
        dlg.busy = r.busy;
        dlg.OnTimer(r.timerId);
        rig.Settle();
        EXPECT_EQ(module.ReadMaster(16, 100), r.sent);
        // A poll nobody answers ends in "Comm Error"; no poll leaves "Idle".
        EXPECT_EQ(dlg.statusText(0), *r.sent ? "Comm Error" : "Idle");
    }
}

}  // namespace
