// The flow trend window's log when the file cannot take what is written: a full device
// (/dev/full) and a file size limit (RLIMIT_FSIZE), both POSIX's.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <csignal>

#include "tests/app/FlowTrendRig.h"

namespace {

using apptest::FileAnswer;
using apptest::MainWindowRig;

TEST(FlowTrend, SaysWhenTheLogCannotBeWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    MainWindowRig rig;
    FlowTrendDlg& trend = apptest::ShowTrendOfAnAlarming640(rig);
    std::vector<guitest::RecordedBox> boxes;

    // A file that cannot be written: said at once, and nothing logs.
    {
        FileAnswer answer(QStringLiteral("/dev/full"));
        trend.OnCommand(IDC_TREND_LOG);
    }
    EXPECT_FALSE(trend.logging());
    EXPECT_EQ(trend.windowTitle(), "Flow Trend");
    boxes = rig.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not log to /dev/full: No space left on device.");
    EXPECT_EQ(boxes[0].caption, "Flow Trend");

    // A write that fails while it logs (here the file may not grow past 60 bytes, the header
    // and a little): logging stops, with the reason.
    const QString small = dir.filePath(QStringLiteral("small.csv"));
    {
        FileAnswer answer(small);
        trend.OnCommand(IDC_TREND_LOG);
    }
    ASSERT_TRUE(trend.logging());
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit tight = before;
    tight.rlim_cur = 60;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    rig.PollNow();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(trend.logging());
    EXPECT_EQ(trend.windowTitle(), "Flow Trend");
    boxes = rig.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Logging to " + small + " stopped: File too large.");
}

}  // namespace
