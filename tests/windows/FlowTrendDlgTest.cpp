// The flow trend window drawing ten minutes of a 640 (made up, with its own clock): the line
// runs where readings came and leaves a gap where Auto Update was off. Its screenshot is the
// README's picture of the window.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "tests/common/GuiTest.h"
#include "ui/Colours.h"
#include "windows/FlowTrendDlg.h"

namespace {

constexpr std::int64_t kT0 = 1'796'720'556'000;

// Pixels of column `x` of the plot (the frame rows left out) that are white: the readings'
// line (labels are at the plot's edges, alarm lines yellow).
int WhiteInColumn(const QImage& image, int x) {
    int count = 0;
    for (int y = 30; y < image.height() - 30; ++y) {
        const QColor c = image.pixelColor(x, y);
        count += c.red() > 200 && c.green() > 200 && c.blue() > 200 ? 1 : 0;
    }
    return count;
}

TEST(FlowTrendWindow, DrawsReadingsAndLeavesGapsWhereNoneCame) {
    const ui::Palette palette;
    std::int64_t now = kT0;
    CFlowTrendDlg w;
    w.colours = &palette;
    w.clock = [&now] { return now; };
    w.unitLabel = [](int, int) { return std::optional<std::string>("gpm"); };
    ASSERT_TRUE(w.Create());
    w.SetModel(640);
    // A flow that swings through both alarms, polled every 3 s for 10 minutes; Auto Update is
    // off from 4 to 6.5 minutes and one poll fails at 8 minutes.
    bool high = false, low = false;
    for (int s = 0; s <= 600; s += 3) {
        now = kT0 + s * 1000LL;
        trend::FlowReading r;
        r.ok = s != 480;
        r.flow = 70 + 65 * std::sin(2 * M_PI * s / 200.0);
        high = r.flow >= 120 || (high && r.flow > 110);
        low = r.flow <= 5 || (low && r.flow < 10);
        r.highActivated = high;
        r.lowActivated = low;
        if (s == 0) {
            r.sensorCode = 0x0120;
            r.points = AlarmPoints{1, 1, 120, 110, 5, 10};
        }
        if (s < 240 || s > 390) {
            w.AddReading(r);
        }
    }
    EXPECT_EQ(w.CurrentView().runs.size(), 3u);
    EXPECT_FALSE(w.CurrentView().highBands.empty());
    EXPECT_FALSE(w.CurrentView().lowBands.empty());
    ASSERT_TRUE(guitest::ShowActive(&w));
    const QImage image = w.plot()->grab().toImage();
    const int width = image.width();
    EXPECT_GT(WhiteInColumn(image, width / 4), 0) << "readings at 2.5 minutes";
    for (int x = width / 2; x < width * 56 / 100; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(WhiteInColumn(image, x), 0) << "Auto Update was off";
    }
    guitest::SaveScreenshot(&w, QStringLiteral("ten-minutes"));
}

}  // namespace
