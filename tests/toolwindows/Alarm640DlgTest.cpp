// The alarm status window: what status words and settings come to (no widgets), then the
// window against fernwell-sim with forced status words. (Against a scripted module on a
// pseudo-terminal, where a test needs query counts, failures or two different flow readings:
// Alarm640DlgTest_posix.cpp.)
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include "app/FernwellDlg.h"
#include "protocol/Commands.h"
#include "protocol/Decode.h"
#include "protocol/Device.h"
#include "res/Templates.h"
#include "rules/AlarmStatus.h"
#include "tests/common/GuiTest.h"
#include "tests/common/ScopedWaits.h"
#include "tests/common/SimProcess.h"
#include "tests/toolwindows/AlarmWindowRig.h"
#include "texts/Resource.h"
#include "toolwindows/Alarm640Dlg.h"
#include "ui/Bitmaps.h"

namespace {

using namespace alarmtest;

// ---- The window --------------------------------------------------------------------------

TEST_F(AlarmWindowTest, TemplateAndFirstSettingsRead) {
    auto sim = StartSim({});
    OpenPort();
    AlarmWindow w;
    w.link = &main.link();
    w.colours = &main.colours();
    ASSERT_TRUE(w.Create());
    w.WaitAnswers();
    EXPECT_EQ(w.windowTitle(), "Alarm Status");
    EXPECT_EQ(w.size(), w.MapDialogRect(QRect(0, 0, 303, 220)).size());
    EXPECT_EQ(w.GetDlgItemText(IDOK), "E&xit");
    EXPECT_TRUE(w.GetDlgItemAs<QPushButton>(IDOK)->isDefault());
    EXPECT_EQ(w.Text(1048), "gpm");  // the module's unit; the template says "gal/min."
    QTimer* timer = w.Timer(ID_TIMER_ALARM_STATUS);
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_EQ(timer->objectName(), "alarmStatusTimer");
    w.KillTimer(ID_TIMER_ALARM_STATUS);

    // The module's defaults: both alarms on, not latched, 120/110 and 5/10, delays 5 and 10.
    EXPECT_EQ(w.referenceLoaded, 1);
    EXPECT_EQ(w.Text(1006), "42.50");
    EXPECT_EQ((std::vector<int>{w.Lamp(1070), w.Lamp(1071), w.Lamp(1072), w.Lamp(1073)}),
              (std::vector<int>{kGreen, kGreen, kGrey, kGrey}));
    EXPECT_EQ(w.Half(true), (HalfShown{kGrey, kGrey, kGrey, "", ""}));
    EXPECT_EQ(w.Half(false), (HalfShown{kGrey, kGrey, kGrey, "", ""}));
    std::vector<std::string> reference;
    for (int id = 1060; id <= 1069; ++id) {
        reference.push_back(w.Text(id));
    }
    EXPECT_EQ(reference, (std::vector<std::string>{"NO", "NO", "120", "5", "5", "5", "110", "10",
                                                   "10", "10"}));

    // In the template the low half repeats the high half 149 units to the right; value box
    // 1058 and the label "Set Point Delay" sit a unit lower.
    std::vector<const res::ControlTemplate*> high, low;
    for (const res::ControlTemplate& c : w.Template()->controls) {
        if (c.y > 20 && c.y < 195) {
            (c.x < 150 ? high : low).push_back(&c);
        }
    }
    ASSERT_EQ(high.size(), low.size());
    const std::map<int, int> lowOf = {{1070, 1071}, {1049, 1053}, {1051, 1054}, {1052, 1055},
                                      {1056, 1058}, {1057, 1059}, {1060, 1061}, {1062, 1063},
                                      {1064, 1065}, {1066, 1067}, {1068, 1069}};
    for (std::size_t i = 0; i < high.size(); ++i) {
        const res::ControlTemplate &h = *high[i], &l = *low[i];
        SCOPED_TRACE(l.text);
        EXPECT_EQ(l.id, h.id == IDC_STATIC ? IDC_STATIC : lowOf.at(h.id));
        const bool lower = l.id == 1058 || std::string(l.text) == "Set Point Delay";
        EXPECT_EQ(QRect(l.x, l.y, l.w, l.h), QRect(h.x + 149, h.y + lower, h.w, h.h));
        EXPECT_EQ(std::string(l.text), l.kind == res::ControlKind::GroupBox
                                           ? "Low" + std::string(h.text).substr(4)
                                           : std::string(h.text));
    }
    ASSERT_TRUE(guitest::ShowActive(&w));
    guitest::ExpectTidyLayout(&w);
    guitest::ExpectKeyboardAndNames(&w);
}

// Forced status words: each row's words on both halves after one refresh.
TEST_F(AlarmWindowTest, StatusWordsFromTheModule) {
    struct Row {
        const char* high;
        const char* low;
        HalfShown highView, lowView;
    };
    const Row rows[] = {
        {"28000001", "00000000", {kGrey, kOrange, kGrey, "10", ""}, {kGrey, kGrey, kGrey, "", ""}},
        {"05000101", "00000100", {kRed, kGrey, kOrange, "", "1"}, {kRed, kGrey, kGrey, "", ""}},
        {"00000100", "28000001", {kRed, kGrey, kGrey, "", ""}, {kGrey, kOrange, kGrey, "10", ""}},
        {"00000000", "0A000301", {kGrey, kGrey, kGrey, "", ""}, {kRed, kGrey, kOrange, "", "3"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.high) + " " + r.low);
        auto sim = StartSim({"--high-status", r.high, "--low-status", r.low});
        OpenPort();
        AlarmWindow w;
        Open(w);
        w.Refresh();
        EXPECT_EQ(w.Half(true), r.highView);
        EXPECT_EQ(w.Half(false), r.lowView);
        EXPECT_EQ(w.Lamp(1072), kGrey);
        EXPECT_EQ(w.Lamp(1073), kGrey);
        EXPECT_EQ(w.Text(1006), "42.50");
    }
}

TEST_F(AlarmWindowTest, AlarmModesAndSettingsFromTheModule) {
    auto sim = StartSim({});
    OpenPort();
    auto send = [this](const std::vector<std::string>& commands) {
        main.link().Call([&commands](CSerialPort& port, const int& online) {
            CDevice640 module(port, online);
            for (const std::string& c : commands) {
                module.SendCommand(c);
            }
        });
    };
    send({NumberCommand('e', 150.4), NumberCommand('g', 99.7), NumberCommand('j', 3.2),
          NumberCommand('d', 12.5), DecimalCodeCommand('$', 7), DecimalCodeCommand('#', 0),
          DecimalCodeCommand('%', 12), DecimalCodeCommand('&', 3), HexCodeCommand('u', 0x0421)});
    struct Row {
        int high, low;
        int highLamp, lowLamp;
        const char *highLatch, *lowLatch;
    };
    const Row rows[] = {
        {2, 0, kGreen, kGrey, "YES", "NO"},
        {1, 2, kGreen, kGreen, "NO", "YES"},
        {0, 1, kGrey, kGreen, "NO", "NO"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.high << "/" << r.low);
        send({DecimalCodeCommand('p', r.high), DecimalCodeCommand('q', r.low)});
        AlarmWindow w;
        Open(w);
        EXPECT_EQ(w.Lamp(1070), r.highLamp);
        EXPECT_EQ(w.Lamp(1071), r.lowLamp);
        EXPECT_EQ(w.Text(1048), "l/min");  // the unit the module reports
        EXPECT_EQ(w.Text(1060), r.highLatch);
        EXPECT_EQ(w.Text(1061), r.lowLatch);
        EXPECT_EQ(w.Text(1062) + " " + w.Text(1064) + " " + w.Text(1066) + " " + w.Text(1068),
                  "150 7 100 0");
        EXPECT_EQ(w.Text(1063) + " " + w.Text(1065) + " " + w.Text(1067) + " " + w.Text(1069),
                  "3 12 12 3");  // 12.5 rounds to even
    }
}

// The real modal run with its one-second timer, as the main window runs it.
TEST_F(AlarmWindowTest, ModalRunRefreshesEverySecondUntilExit) {
    auto sim = StartSim({"--high-status", "05000101", "--low-status", "28000001"});
    OpenPort();
    CAlarm640Dlg dlg;
    dlg.link = &main.link();
    dlg.colours = &main.colours();
    guitest::NextModal exit([&](QWidget*) {
        auto lamp = [&](int id) { return ui::BitmapOf(dlg.GetDlgItemAs<QLabel>(id)); };
        EXPECT_TRUE(QTest::qWaitFor([&] { return lamp(1054) == kOrange; }, 4000));
        EXPECT_EQ(lamp(1049), kRed);
        EXPECT_EQ(lamp(1052), kOrange);
        EXPECT_EQ(dlg.GetDlgItemText(1057), "1");
        EXPECT_EQ(dlg.GetDlgItemText(1058), "10");
        EXPECT_EQ(lamp(1073), kGrey);
        // White text on green everywhere but the flow box, black on white.
        const QImage shot = dlg.grab().toImage();
        EXPECT_EQ(shot.pixelColor(2, 2), QColor(0, 155, 89));
        const QRect flow = dlg.GetDlgItem(1006)->geometry();
        EXPECT_EQ(shot.pixelColor(flow.left() + 3, flow.bottom() - 3), QColor(Qt::white));
        const QRect box = dlg.GetDlgItem(1062)->geometry();
        // (The style shades the inside of a group box a little; the box shows what is around it.)
        EXPECT_EQ(shot.pixelColor(box.left() + 3, box.bottom() - 3),
                  shot.pixelColor(box.left() - 3, box.bottom() - 3));
        EXPECT_NE(shot.pixelColor(box.left() + 3, box.bottom() - 3), QColor(Qt::white));
        EXPECT_EQ(dlg.GetDlgItem(1062)->palette().color(QPalette::WindowText), QColor(Qt::white));
        EXPECT_EQ(dlg.GetDlgItem(1006)->palette().color(QPalette::WindowText), QColor(Qt::black));
        guitest::SaveScreenshot(&dlg, QStringLiteral("live"));
        // Each lamp shows the one shared copy of its image.
        for (int id : {1049, 1051, 1052, 1053, 1054, 1055, 1070, 1071, 1072, 1073}) {
            SCOPED_TRACE(id);
            EXPECT_EQ(dlg.GetDlgItemAs<QLabel>(id)->pixmap().cacheKey(),
                      ui::BitmapResource(lamp(id)).cacheKey());
        }
        dlg.GetDlgItemAs<QPushButton>(IDOK)->click();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(dlg.Timer(ID_TIMER_ALARM_STATUS)->isActive());
}

}  // namespace
