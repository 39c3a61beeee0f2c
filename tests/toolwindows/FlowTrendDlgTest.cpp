// The flow trend window drawing ten minutes of a 640 (made up, with its own clock): the line
// runs where readings came and leaves a gap where Auto Update was off. Its screenshot is the
// README's picture of the window.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "tests/common/GuiTest.h"
#include "texts/Resource.h"
#include "toolwindows/FlowTrendDlg.h"
#include "ui/Colours.h"

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
    FlowTrendDlg w;
    w.colours = &palette;
    w.clock = [&now] { return now; };
    w.unitLabel = [](Model, int) { return std::optional<std::string>("gpm"); };
    ASSERT_TRUE(w.Create());
    w.SetModel(Model::k640);
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

TEST(FlowTrendWindow, PlotGrowsWithTheWindowAndTheControlsKeepTheirCorners) {
    FlowTrendDlg w;
    ASSERT_TRUE(w.Create());
    ASSERT_TRUE(guitest::ShowActive(&w));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.minimumSize(), w.GetClientRect().size()) << "the template's size is the smallest";
    const QRect span = w.GetDlgItem(IDC_TREND_SPAN)->geometry();
    const QSize plot = w.plot()->size();
    auto fromCorner = [&w](int id) {
        return w.rect().bottomRight() - w.GetDlgItem(id)->geometry().bottomRight();
    };
    const QPoint close = fromCorner(IDOK);
    const int log = w.width() - w.GetDlgItem(IDC_TREND_LOG)->geometry().right();
    auto grown = [&] { return w.plot()->size() == plot + (w.size() - w.minimumSize()); };

    w.showMaximized();
    ASSERT_TRUE(guitest::WaitUntil([&] { return w.width() > w.minimumWidth() && grown(); }));
    EXPECT_EQ(fromCorner(IDOK), close);
    w.showNormal();
    w.resize(w.minimumSize() + QSize(300, 200));
    ASSERT_TRUE(guitest::WaitUntil([&] { return w.height() > w.minimumHeight() && grown(); }));
    EXPECT_EQ(w.plot()->size(), plot + QSize(300, 200));
    EXPECT_EQ(fromCorner(IDOK), close);
    EXPECT_EQ(w.width() - w.GetDlgItem(IDC_TREND_LOG)->geometry().right(), log);
    EXPECT_EQ(w.GetDlgItem(IDC_TREND_SPAN)->geometry(), span);
    guitest::ExpectTidyLayout(&w);
    guitest::ExpectKeyboardAndNames(&w);
}

// The names of alarm lines in a 200 pixel plot, 14 pixels tall, 2 apart: never on their own
// line, never on each other, inside the plot; and clear of the other lines where there is room.
TEST(FlowTrendWindow, LineLabelsKeepOffTheirLinesAndEachOther) {
    struct Row {
        std::vector<double> lines;
        bool clearOfOtherLines;
    };
    const Row rows[] = {
        {{100}, true},
        {{1}, true},                    // at the top: below it
        {{200}, true},                  // at the bottom: above it
        {{120, 110}, true},             // a set and release point close together
        {{150, 20, 148}, true},         // in no order
        {{190, 196}, false},            // close, at the bottom: both above
        {{100, 104, 108, 112}, false},  // crowded
        {{60, 60}, true},               // the same value
    };
    constexpr double kHeight = 14, kGap = 2;
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.lines));
        const std::vector<double> tops = trend::PlaceLineLabels(r.lines, kHeight, kGap, 0, 200);
        ASSERT_EQ(tops.size(), r.lines.size());
        for (std::size_t i = 0; i < tops.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_GE(tops[i], 0);
            EXPECT_LE(tops[i] + kHeight, 200);
            for (std::size_t j = 0; j < tops.size(); ++j) {
                const bool clear =
                    r.lines[j] <= tops[i] - kGap || r.lines[j] >= tops[i] + kHeight + kGap;
                if (j == i || r.clearOfOtherLines) {
                    EXPECT_TRUE(clear) << "on the line at " << r.lines[j];
                }
                if (j != i) {
                    EXPECT_TRUE(tops[j] >= tops[i] + kHeight + kGap ||
                                tops[i] >= tops[j] + kHeight + kGap)
                        << "on label " << j;
                }
            }
        }
    }
}

}  // namespace
