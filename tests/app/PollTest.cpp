// Polling and the live display: what a poll shows for each model, the unit label rules, the
// lamps, what stays when a query fails, the busy rule on timer ticks and "Auto Update".

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QTest>
#include <cstdio>

#include "tests/app/MainWindowRig.h"

namespace {

using apptest::MainWindowRig;

std::string Hex(std::uint32_t word) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", word);
    return text;
}

// Records the texts a label shows on screen, paint by paint.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
    ~PaintedTexts() override { label_->removeEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && (texts.isEmpty() || texts.last() != label_->text())) {
            texts << label_->text();
        }
        return false;
    }

private:
    QLabel* label_;
};

TEST(Poll, ShowsRateUnitAndLampsOfEitherModel) {
    struct Row {
        const char* model;
        const char* flow;
        const char* rate;
        const char* unit;  // the module's default SensorCode: 612 0x0020, 640 0x0120
    };
    const Row rows[] = {
        {"612", "42.5", "42.50", "mph"},
        {"612", "0.125", "0.13", "mph"},  // rounded as printf does (0.125 is exact)
        {"640", "7.25", "7.25", "gpm"},
        {"640", "1234.5", "1234.50", "gpm"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.model) + " " + r.flow);
        MainWindowRig rig;
        rig.AddSim(
            1, {"--model", r.model, "--flow", r.flow, "--high-status", "100", "--low-status", "0"});
        CFernwellDlg& dlg = rig.Start();
        if (std::string(r.model) == "640") {
            dlg.MenuItem(ID_DEVICE_642)->trigger();
            rig.Settle();
        }
        dlg.SetDlgItemText(IDC_FLOW_UNITS, "before");
        rig.PollNow();
        EXPECT_EQ(dlg.statusText(0), "Idle");
        EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), r.rate);
        EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_UNITS), r.unit);
        guitest::SaveScreenshot(&dlg, "polled");
        if (std::string(r.model) == "640") {
            EXPECT_EQ(rig.Lamp(IDC_HIGH_ALARM_LAMP), IDB_LAMP_RED);
            EXPECT_EQ(rig.Lamp(IDC_LOW_ALARM_LAMP), IDB_LAMP_GREY);
        } else {
            EXPECT_FALSE(dlg.GetDlgItem(IDC_HIGH_ALARM_LAMP)->isVisible());
        }
    }
}

// Bits 15 to 8 light a lamp; a running delay (bits 7 to 0) or the delay counter (31 to 24)
// alone does not.
TEST(Poll, LampsFollowBits15To8OfTheStatusWords) {
    struct Row {
        std::uint32_t high, low;
        int highLamp, lowLamp;
    };
    const Row rows[] = {
        {0x00000100, 0x000000FF, IDB_LAMP_RED, IDB_LAMP_GREY},
        {0x000000FF, 0x00000100, IDB_LAMP_GREY, IDB_LAMP_RED},
        {0xFF0000FF, 0x00008000, IDB_LAMP_GREY, IDB_LAMP_RED},
        {0x0000FF00, 0x00FF0000, IDB_LAMP_RED, IDB_LAMP_GREY},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(Hex(r.high) + " " + Hex(r.low));
        MainWindowRig rig;
        rig.AddSim(1, {"--model", "640", "--high-status", Hex(r.high), "--low-status", Hex(r.low)});
        CFernwellDlg& dlg = rig.Start();
        dlg.MenuItem(ID_DEVICE_642)->trigger();
        rig.Settle();
        rig.PollNow();
        EXPECT_EQ(dlg.statusText(0), "Idle");
        EXPECT_EQ(rig.Lamp(IDC_HIGH_ALARM_LAMP), r.highLamp);
        EXPECT_EQ(rig.Lamp(IDC_LOW_ALARM_LAMP), r.lowLamp);
        // A screen reader hears each lamp's meaning and state.
        const auto said = [&](int id) {
            return QAccessible::queryAccessibleInterface(dlg.GetDlgItem(id))
                ->text(QAccessible::Description)
                .toStdString();
        };
        const auto state = [](int lamp) { return lamp == IDB_LAMP_RED ? ": on" : ": off"; };
        EXPECT_EQ(said(IDC_HIGH_ALARM_LAMP),
                  std::string("High alarm activated") + state(r.highLamp));
        EXPECT_EQ(said(IDC_LOW_ALARM_LAMP), std::string("Low alarm activated") + state(r.lowLamp));
    }
}

// The label from the SensorCode the module reports. The 612 keeps its text where its table
// has no entry; the 640 empties the label. The codes are set on the simulated module the way
// an upload sets them: the 612 is sent decimal digits, the 640 hex digits.
TEST(Poll, UnitLabelFollowsTheSensorCode) {
    struct Row {
        int code;
        const char* label;  // nullptr: keeps its text
    };
    const Row rows612[] = {
        {0x0105, "ft3/sec"}, {0x0029, "km/h"}, {0x0011, "gpm"}, {0x0035, nullptr},  // type digit 3
        {0x0019, nullptr},  // unit 9 is beyond the 612's table
    };
    const Row rows640[] = {
        {0x0251, "gph"}, {0x2001, "mph"}, {0x1921, "m3/sec"}, {0x3001, ""},  // type digit 3
        {0x9121, ""},
    };
    struct Model {
        const char* name;
        int command;
        const Row* rows;
        size_t count;
        const char* format;
    };
    const Model models[] = {
        {"612", ID_DEVICE_612, rows612, std::size(rows612), "u=%04d\r"},
        {"640", ID_DEVICE_642, rows640, std::size(rows640), "u=%04x\r"},
    };
    for (const Model& m : models) {
        MainWindowRig rig;
        rig.AddSim(1, {"--model", m.name});
        CFernwellDlg& dlg = rig.Start();
        dlg.MenuItem(m.command)->trigger();
        rig.Settle();
        for (size_t i = 0; i < m.count; ++i) {
            const Row& r = m.rows[i];
            char command[16];
            std::snprintf(command, sizeof command, m.format, r.code);
            SCOPED_TRACE(std::string(m.name) + " " + Hex(static_cast<std::uint32_t>(r.code)));
            rig.SendToModule(command);
            dlg.SetDlgItemText(IDC_FLOW_UNITS, "before");
            rig.PollNow();
            EXPECT_EQ(dlg.statusText(0), "Idle");
            EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_UNITS), r.label ? r.label : "before");
        }
    }
}

// Offline, every poll ends at its first query: "Retrieving Data..." is on screen while it
// runs, then "Comm Error"; the display keeps "---" and its unit.
TEST(Poll, OfflinePollShowsRetrievingThenCommErrorAndKeepsTheDisplay) {
    for (int command : {ID_DEVICE_612, ID_DEVICE_642}) {
        SCOPED_TRACE(command);
        MainWindowRig rig;  // no port at all
        CFernwellDlg& dlg = rig.Start();
        dlg.MenuItem(command)->trigger();
        rig.Settle();
        rig.TakeBoxes();
        ASSERT_EQ(dlg.online, 0);
        QTest::qWait(20);  // settle the first paint
        PaintedTexts pane0(dlg.statusBar().pane(0));
        for (int tick = 0; tick < 2; ++tick) {
            dlg.OnTimer(ID_TIMER_POLL);
            rig.Settle();
            EXPECT_EQ(dlg.statusText(0), "Comm Error");
            QTest::qWait(20);
        }
        EXPECT_EQ(pane0.texts, QStringList({"Retrieving Data...", "Comm Error",
                                            "Retrieving Data...", "Comm Error"}));
        EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), "---");
        EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_UNITS), "gpm");
    }
}

// The module hangs up after `answered` queries of the 640's poll (dump, high, low). What the
// poll showed before the failure stays; the lamps of the failed and later queries keep their
// images, dimmed as the last reading, and the unit label (the last step) is not touched.
TEST(Poll, FailedStatusQueryKeepsWhatWasShown) {
    struct Row {
        const char* answered;
        int highLamp;
        bool highStale;  // at least (the port gone after the hang-up makes every value stale)
    };
    const Row rows[] = {{"1", IDB_LAMP_RED, true}, {"2", IDB_LAMP_GREY, false}};
    const auto stale = [](QWidget* lamp) {
        return lamp->accessibleDescription().endsWith(" (last reading)");
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.answered);
        MainWindowRig rig;
        rig.AddSim(1, {"--model", "640", "--flow", "33.25", "--high-status", "0", "--low-status",
                       "0", "--hangup-after", r.answered});
        CFernwellDlg& dlg = rig.Start();
        dlg.MenuItem(ID_DEVICE_642)->trigger();
        rig.Settle();
        // As an earlier poll left them.
        ui::SetBitmap(dlg.GetDlgItemAs<QLabel>(IDC_HIGH_ALARM_LAMP), IDB_LAMP_RED);
        ui::SetBitmap(dlg.GetDlgItemAs<QLabel>(IDC_LOW_ALARM_LAMP), IDB_LAMP_RED);
        dlg.SetDlgItemText(IDC_FLOW_RATE, "1.00");
        dlg.SetDlgItemText(IDC_FLOW_UNITS, "ft3/hr");

        rig.PollNow();
        EXPECT_EQ(dlg.statusText(0), "Comm Error");
        EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), "33.25") << "the rate of this poll";
        EXPECT_EQ(rig.Lamp(IDC_HIGH_ALARM_LAMP), r.highLamp);
        EXPECT_EQ(rig.Lamp(IDC_LOW_ALARM_LAMP), IDB_LAMP_RED);
        EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_UNITS), "ft3/hr");
        EXPECT_TRUE(stale(dlg.GetDlgItem(IDC_LOW_ALARM_LAMP)));
        if (r.highStale) {
            EXPECT_TRUE(stale(dlg.GetDlgItem(IDC_HIGH_ALARM_LAMP)));
        }
        EXPECT_NE(dlg.GetDlgItemAs<QLabel>(IDC_LOW_ALARM_LAMP)->pixmap().toImage(),
                  ui::BitmapResource(IDB_LAMP_RED).toImage())
            << "dimmed";
    }
}

// "Auto Update" starts and stops the poll timer; "Poll Now" polls either way. This is the
// one test that waits for the real 3 s period.
TEST(Poll, AutoUpdateDrivesThePollTimerAndPollNowAlwaysPolls) {
    MainWindowRig rig;
    rig.AddSim(1, {"--model", "612", "--flow", "12"});
    CFernwellDlg& dlg = rig.Start(/*keepPollTimer=*/true);
    auto* autoUpdate = dlg.GetDlgItemAs<QCheckBox>(IDC_AUTO_UPDATE);
    ASSERT_TRUE(autoUpdate->isChecked());
    QTimer* poll = dlg.Timer(ID_TIMER_POLL);
    ASSERT_NE(poll, nullptr);
    EXPECT_TRUE(poll->isActive());
    EXPECT_EQ(poll->interval(), 3000);

    // The first timed poll comes 3 s after start-up.
    EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), "---");
    QTest::qWait(2500);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), "---") << "no poll before the period is up";
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return dlg.GetDlgItemText(IDC_FLOW_RATE) == "12.00"; }, 1500));

    // Unchecked: no more ticks, even with the period shortened.
    poll->setInterval(50);
    QTest::mouseClick(autoUpdate, Qt::LeftButton);
    EXPECT_FALSE(autoUpdate->isChecked());
    EXPECT_TRUE(dlg.Timer(ID_TIMER_POLL) == nullptr || !dlg.Timer(ID_TIMER_POLL)->isActive());
    dlg.SetDlgItemText(IDC_FLOW_RATE, "---");
    QTest::qWait(300);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), "---");
    QTest::mouseClick(dlg.GetDlgItem(IDC_POLL_NOW), Qt::LeftButton);
    rig.Settle();
    EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), "12.00");
    EXPECT_EQ(dlg.statusText(0), "Idle");

    // Checked again: the timer runs at 3000 ms, its period starting now.
    QTest::mouseClick(autoUpdate, Qt::LeftButton);
    ASSERT_TRUE(autoUpdate->isChecked());
    poll = dlg.Timer(ID_TIMER_POLL);
    ASSERT_NE(poll, nullptr);
    EXPECT_TRUE(poll->isActive());
    EXPECT_EQ(poll->interval(), 3000);
    QElapsedTimer since;
    since.start();
    QTest::qWait(500);
    const int left = poll->remainingTime();
    // A coarse timer may be due up to 5 % of its period late; a loaded machine waits longer.
    EXPECT_GT(left, 2000);
    EXPECT_LE(left, 3000 - since.elapsed() + 200);
    // Checking once more (off and on) restarts the period.
    QTest::mouseClick(autoUpdate, Qt::LeftButton);
    QTest::mouseClick(autoUpdate, Qt::LeftButton);
    EXPECT_GT(dlg.Timer(ID_TIMER_POLL)->remainingTime(), left + 200);
}

}  // namespace

namespace {

// The poll runs on the link's thread: the window's own timers keep firing while a slow module
// dribbles its dump, and closing the window mid-exchange does not wait for the line.
TEST(Poll, WindowStaysLiveDuringAPollAndClosesMidExchange) {
    MainWindowRig rig;
    rig.AddSim(1, {"--model", "612", "--dribble-ms", "50"});
    CFernwellDlg& dlg = rig.Start();
    int ticks = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { ++ticks; });
    beat.start(10);
    dlg.OnCommand(IDC_POLL_NOW);
    QTest::qWait(500);
    EXPECT_TRUE(dlg.pollRunning());
    EXPECT_EQ(dlg.statusText(0), "Retrieving Data...");
    EXPECT_GT(ticks, 10) << "the window's thread waited on the line";
    QElapsedTimer closing;
    closing.start();
    rig.Restart();
    EXPECT_LT(closing.elapsed(), 1000);
}

// An unplugged module (the simulator hangs up and its link goes) is said in pane 1; once a
// module is back at the same COM number the link opens it by itself.
TEST(Poll, PortThatGoesAwayIsReopenedWhenItIsBack) {
    MainWindowRig rig;
    fwtest::SimProcess& first = rig.AddSim(1, {"--model", "612", "--hangup-after", "1"});
    CFernwellDlg& dlg = rig.Start();
    rig.PollNow();
    EXPECT_EQ(dlg.statusText(0), "Idle");
    ASSERT_TRUE(first.WaitExit(3000).has_value());
    rig.StopSim(1);

    rig.PollNow();
    EXPECT_EQ(dlg.statusText(0), "Comm Error");
    EXPECT_EQ(dlg.statusText(1), "Offline - COM1: (port gone)");
    EXPECT_EQ(dlg.online, 0);
    EXPECT_FALSE(dlg.GetDlgItem(IDC_FLOW_RATE)->isEnabled()) << "the last reading, greyed";

    rig.AddSim(1, {"--model", "612", "--flow", "21"});
    EXPECT_TRUE(
        guitest::WaitUntil([&] { return dlg.statusText(1) == "Online - COM1: @ 1200bps"; }, 5000));
    rig.PollNow();
    EXPECT_EQ(dlg.statusText(0), "Idle");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), "21.00");
    EXPECT_TRUE(dlg.GetDlgItem(IDC_FLOW_RATE)->isEnabled());
}

}  // namespace
