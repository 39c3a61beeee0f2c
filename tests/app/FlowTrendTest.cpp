// The flow trend window fed by the main window's polls of the simulator: samples, unit, a
// failed poll as a gap, the 640's alarm lines and shading, "Save CSV..." and "Log to file..."
// (its write errors on POSIX: FlowTrendTest_posix.cpp).

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "tests/app/FlowTrendRig.h"
#include "tests/app/MainWindowRig.h"
#include "toolwindows/FlowTrendDlg.h"
#include "ui/FileDialog.h"

namespace {

using apptest::FileAnswer;
using apptest::Lines;
using apptest::MainWindowRig;
using apptest::ShowTrend;

// Pixels of the plot where red clearly leads green: only the shading of an activated high
// alarm and its swatch in the legend (the window is green, the readings white, the alarm lines
// yellow, the low alarm blue).
int RedPixels(QWidget* plot) {
    const QImage image = plot->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > c.green() + 20 ? 1 : 0;
        }
    }
    return count;
}

TEST(FlowTrend, PlotsThePollsOfEitherModel) {
    struct Row {
        const char* model;
        double flow;
        const char* unit;
        std::optional<AlarmPoints> points;  // the simulator's defaults
    };
    const Row rows[] = {
        {"612", 42.5, "mph", std::nullopt},
        {"640", 150, "gpm", AlarmPoints{1, 1, 120, 110, 5, 10}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.model);
        const bool is640 = std::string(r.model) == "640";
        MainWindowRig rig;
        rig.AddSim(1, {"--model", r.model, "--flow", std::to_string(r.flow), "--high-status", "100",
                       "--low-status", "0"});
        rig.Start();
        FlowTrendDlg& trend = ShowTrend(rig, is640);
        EXPECT_EQ(trend.windowTitle(), "Flow Trend");
        EXPECT_EQ(trend.spanMinutes(), 10);
        guitest::ExpectTidyLayout(&trend);
        rig.PollNow();
        rig.PollNow();
        // Seen 3 s later on the 1 minute span, the last reading's poll period is 5 % of the plot.
        trend.SetSpanMinutes(1);
        const std::int64_t later = QDateTime::currentMSecsSinceEpoch() + 3000;
        trend.clock = [later] { return later; };

        ASSERT_EQ(trend.samples().size(), 2u);
        EXPECT_EQ(trend.samples()[1].flow, r.flow);
        EXPECT_EQ(trend.samples()[1].highActivated, is640 ? 1 : trend::kUnknown);
        EXPECT_EQ(trend.samples()[1].lowActivated, is640 ? 0 : trend::kUnknown);
        EXPECT_EQ(trend.unit(), r.unit);
        EXPECT_EQ(trend.alarmPoints(), r.points);
        trend::TrendView view = trend.CurrentView();
        EXPECT_EQ(view.runs, (std::vector<trend::TrendView::Run>{{0, 1}}));
        EXPECT_EQ(view.highBands.size(), is640 ? 1u : 0u);
        EXPECT_TRUE(view.lowBands.empty());
        if (is640) {
            EXPECT_GT(RedPixels(trend.plot()), 1000) << "the activated high alarm is shaded";
        } else {
            EXPECT_EQ(RedPixels(trend.plot()), 0);
        }
        guitest::SaveScreenshot(&trend, QStringLiteral("polled"));

        // The module goes: the failed poll is a gap, and the line does not run on past it.
        rig.StopSim(1);
        rig.PollNow();
        EXPECT_EQ(rig.dlg().statusText(0), "Comm Error");
        ASSERT_EQ(trend.samples().size(), 3u);
        EXPECT_TRUE(trend.samples()[2].gap);
        view = trend.CurrentView();
        EXPECT_EQ(view.runs, (std::vector<trend::TrendView::Run>{{0, 1}}));

        // It goes with the main window.
        const QPointer<FlowTrendDlg> gone(&trend);
        rig.Restart();
        EXPECT_TRUE(gone.isNull());
    }
}

TEST(FlowTrend, SavesAndLogsCsvAndStopsLoggingWhenTheModelChanges) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    MainWindowRig rig;
    FlowTrendDlg& trend = apptest::ShowTrendOfAnAlarming640(rig);
    const QRegularExpression row(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d),150,gpm,1,0$)"));
    const QString header = QStringLiteral("time,flowRate,unit,highActivated,lowActivated");
    const QString log = dir.filePath(QStringLiteral("log.csv"));
    {
        FileAnswer answer(log);
        trend.OnCommand(IDC_TREND_LOG);
        EXPECT_EQ(answer.captions, QStringList{"Log to file (append)"});
    }
    EXPECT_TRUE(trend.logging());
    EXPECT_EQ(trend.windowTitle(), "Flow Trend - logging to log.csv");
    EXPECT_EQ(trend.GetDlgItemText(IDC_TREND_LOG), "Stop &Logging");
    guitest::SaveScreenshot(&trend, QStringLiteral("logging"));
    rig.PollNow();
    rig.PollNow();
    trend.OnCommand(IDC_TREND_LOG);  // stops
    EXPECT_EQ(trend.windowTitle(), "Flow Trend");
    rig.PollNow();
    EXPECT_EQ(Lines(log).size(), 3) << "header and the two readings while it logged";

    {
        FileAnswer answer(dir.filePath(QStringLiteral("saved.csv")));
        trend.OnCommand(IDC_TREND_SAVE_CSV);
        EXPECT_EQ(answer.captions, QStringList{"Save CSV"});
    }
    const QStringList saved = Lines(dir.filePath(QStringLiteral("saved.csv")));
    ASSERT_EQ(saved.size(), 4);
    EXPECT_EQ(saved[0], header);
    for (int i = 1; i < 4; ++i) {
        EXPECT_TRUE(row.match(saved[i]).hasMatch()) << saved[i].toStdString();
    }

    // Logging again to the same file: no second header.
    {
        FileAnswer answer(log);
        trend.OnCommand(IDC_TREND_LOG);
    }
    rig.PollNow();
    const QStringList logged = Lines(log);
    ASSERT_EQ(logged.size(), 4);
    EXPECT_EQ(logged[0], header);
    EXPECT_EQ(logged.filter(QStringLiteral("time,")).size(), 1);
    EXPECT_TRUE(row.match(logged[3]).hasMatch()) << logged[3].toStdString();

    // Another model has other columns: the log ends, and says so.
    rig.Command(ID_DEVICE_612);
    EXPECT_FALSE(trend.logging());
    EXPECT_EQ(trend.samples().size(), 0u);
    std::vector<guitest::RecordedBox> boxes = rig.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Logging to " + log + " stopped: the model changed.");
}

}  // namespace
