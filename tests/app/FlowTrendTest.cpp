// The flow trend window fed by the main window's polls of the simulator: samples, unit, a
// failed poll as a gap, the 640's alarm lines and shading, "Save CSV..." and "Log to file..."
// with its write error.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>

#include "tests/app/MainWindowRig.h"
#include "ui/FileDialog.h"
#include "windows/FlowTrendDlg.h"

namespace {

using apptest::MainWindowRig;

// Answers the file dialogs with `path` while it lives.
class FileAnswer {
public:
    explicit FileAnswer(QString answer) : path(std::move(answer)) {
        previous_ = ui::SetFileDialogHandler(
            [this](QWidget*, const QString& caption, const QString&, ui::SaveKind kind) {
                captions << caption + (kind == ui::SaveKind::kAppend ? " (append)" : "");
                return this->path;
            });
    }
    ~FileAnswer() { ui::SetFileDialogHandler(previous_); }
    QString path;
    QStringList captions;

private:
    ui::FileDialogHandler previous_;
};

CFlowTrendDlg& ShowTrend(MainWindowRig& rig, bool model640) {
    if (model640) {
        rig.Command(ID_DEVICE_642);
    }
    rig.Command(ID_FLOW_TREND);
    CFlowTrendDlg* trend = rig.dlg().flowTrend();
    EXPECT_TRUE(trend && trend->isVisible());
    return *trend;
}

QStringList Lines(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

// Pixels of the plot where red clearly leads green: only the shading of an activated alarm
// (the window is green, the readings white, the alarm lines yellow).
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
        CFlowTrendDlg& trend = ShowTrend(rig, is640);
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
            EXPECT_GT(RedPixels(trend.plot()), 100) << "the activated high alarm is shaded";
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
        const QPointer<CFlowTrendDlg> gone(&trend);
        rig.Restart();
        EXPECT_TRUE(gone.isNull());
    }
}

TEST(FlowTrend, SavesAndLogsCsvAndSaysWhenTheLogCannotBeWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    MainWindowRig rig;
    rig.AddSim(1, {"--model", "640", "--flow", "150", "--high-status", "100", "--low-status", "0"});
    rig.Start();
    CFlowTrendDlg& trend = ShowTrend(rig, true);
    const QRegularExpression row(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d,150,gpm,1,0$)"));
    const QString header = QStringLiteral("time,flow,unit,highActivated,lowActivated");
    const QString log = dir.filePath(QStringLiteral("log.csv"));
    {
        FileAnswer answer(log);
        trend.onCommand(IDC_TREND_LOG);
        EXPECT_EQ(answer.captions, QStringList{"Log to file (append)"});
    }
    EXPECT_TRUE(trend.logging());
    EXPECT_EQ(trend.windowTitle(), "Flow Trend - logging to log.csv");
    EXPECT_EQ(trend.GetDlgItemText(IDC_TREND_LOG), "Stop Logging");
    guitest::SaveScreenshot(&trend, QStringLiteral("logging"));
    rig.PollNow();
    rig.PollNow();
    trend.onCommand(IDC_TREND_LOG);  // stops
    EXPECT_EQ(trend.windowTitle(), "Flow Trend");
    rig.PollNow();
    EXPECT_EQ(Lines(log).size(), 3) << "header and the two readings while it logged";

    {
        FileAnswer answer(dir.filePath(QStringLiteral("saved.csv")));
        trend.onCommand(IDC_TREND_SAVE_CSV);
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
        trend.onCommand(IDC_TREND_LOG);
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

    // A file that cannot be written: said at once, and nothing logs.
    {
        FileAnswer answer(QStringLiteral("/dev/full"));
        trend.onCommand(IDC_TREND_LOG);
    }
    EXPECT_FALSE(trend.logging());
    EXPECT_EQ(trend.windowTitle(), "Flow Trend");
    boxes = rig.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not log to /dev/full: No space left on device.");
    EXPECT_EQ(boxes[0].caption, "Flow Trend");

    // A write that fails while it logs (here the file may not grow past 60 bytes, the header
    // and a little): logging stops, with the reason.
    rig.Command(ID_DEVICE_642);
    const QString small = dir.filePath(QStringLiteral("small.csv"));
    {
        FileAnswer answer(small);
        trend.onCommand(IDC_TREND_LOG);
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
