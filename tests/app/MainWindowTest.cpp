#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/AboutDlg.h"
#include "app/FernwellApp.h"
#include "app/FernwellDlg.h"
#include "tests/app/MainWindowRig.h"
#include "tests/common/GuiTest.h"
#include "tests/common/SystemMenuProbe.h"
#include "texts/Resource.h"
#include "ui/Bitmaps.h"

namespace {

const QColor kGreen(0, 155, 89);

// The main window as the program starts it, with a simulated module as COM1.
class MainWindowTest : public ::testing::Test {
protected:
    static CFernwellDlg& StartOnSimulator(apptest::MainWindowRig& rig) {
        rig.AddSim(1);
        return rig.Start(/*keepPollTimer=*/true);
    }
    QAction* HelpItem(const QString& text) {
        for (QAction* a : dlg.MenuBar()->actions().last()->menu()->actions()) {
            if (a->text() == text) {
                return a;
            }
        }
        return nullptr;
    }
    apptest::MainWindowRig rig;
    CFernwellDlg& dlg = StartOnSimulator(rig);
};

TEST_F(MainWindowTest, StatusBarStartsIdleAndOnline) {
    EXPECT_EQ(dlg.statusText(0), "Idle");
    EXPECT_EQ(dlg.statusText(1), "Online - COM1: @ 1200bps");
    ui::StatusBar& bar = dlg.statusBar();
    EXPECT_EQ(bar.property("controlId").toInt(), AFX_IDW_STATUS_BAR);
    // The pane widths with a short connection text.
    dlg.setStatusText(1, "Offline");
    bar.layout()->activate();
    // Pane 0's text area is the client width less 160 pixels; pane 1 has the rest.
    QLabel* pane0 = bar.pane(0);
    EXPECT_EQ(pane0->contentsRect().width() - 2 * pane0->margin(),
              dlg.GetClientRect().width() - 160);
    EXPECT_GT(bar.pane(1)->x(), pane0->x() + pane0->width() - 1);
    EXPECT_GE(bar.pane(1)->geometry().right(), bar.width() - 8) << "pane 1 stretches to the end";
    // The longest connection text is a few pixels wider than the 160 pixels left in this
    // font: pane 0 gives them up rather than the text being cut.
    for (const char* text : {"Online - COM1: @ 4800bps", "Online - COM255: @ 4800bps"}) {
        SCOPED_TRACE(text);
        dlg.setStatusText(1, text);
        bar.layout()->activate();
        QLabel* pane1 = bar.pane(1);
        EXPECT_GE(pane1->contentsRect().width(), pane1->fontMetrics().horizontalAdvance(text));
        EXPECT_LE(pane1->geometry().right(), bar.width() - 1);
        EXPECT_GE(pane0->width(), pane0->sizeHint().width()) << "pane 0 keeps its own text";
    }
    dlg.setStatusText(1, "Offline");
    bar.layout()->activate();
    EXPECT_EQ(pane0->contentsRect().width() - 2 * pane0->margin(),
              dlg.GetClientRect().width() - 160)
        << "pane 0 takes its width back";
    // Along the bottom, below the client area; the window grew by its height.
    EXPECT_EQ(bar.geometry().bottom(), dlg.height() - 1);
    EXPECT_EQ(bar.y(), dlg.GetClientRect().bottom() + 1);
    EXPECT_EQ(bar.width(), dlg.width());
}

TEST_F(MainWindowTest, MenuStartsWith612CheckedAndAlarmStatusGrayed) {
    struct Row {
        int command;
        const char* text;
        bool checked;
        bool enabled;
    };
    const Row rows[] = {
        {ID_EXIT, "Exit", false, true},
        {ID_DEVICE_612, "612", true, true},
        {ID_DEVICE_642, "642", false, true},
        {ID_SET_COMM_PORT, "Set Comm Port", false, true},
        {ID_PARAMETERS, "Parameters", false, true},
        {ID_ALARM_STATUS, "Alarm Status", false, false},
        {ID_FLOW_TREND, "Flow Trend", false, true},
        {ID_SAVE_SETTINGS, "Save Settings to File...", false, true},
        {ID_LOAD_SETTINGS, "Load Settings from File...", false, true},
        {ID_COMPARE_SETTINGS, "Compare Module with File...", false, true},
        {ID_COMMISSIONING_REPORT, "Commissioning Report...", false, true},
        {ID_WWW_SUPPORT, "WWW Tech Support", false, true},
        {ID_EMAIL_SUPPORT, "Email Tech Support", false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.command);
        QAction* item = dlg.MenuItem(r.command);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), r.text);
        EXPECT_EQ(dlg.IsMenuItemChecked(r.command), r.checked);
        // An item without its mark shows no empty box either.
        EXPECT_EQ(item->isCheckable(), r.checked);
        EXPECT_EQ(dlg.IsMenuItemEnabled(r.command), r.enabled);
    }
    EXPECT_EQ(dlg.MenuItem(ID_SHOW_TERMINAL), nullptr) << "32778 has no menu item";
    // The About item closes the system menu (Windows), else the "Help" menu after a separator.
    const QList<QAction*> help = dlg.MenuBar()->actions().last()->menu()->actions();
    ASSERT_GE(help.size(), 2);
    const std::wstring system = fwtest::LastSystemMenuItem(dlg.winId());
    if (!system.empty()) {
        EXPECT_EQ(QString::fromStdWString(system), "&About Fernwell...");
        EXPECT_EQ(help.last()->text(), "Email Tech Support");
        return;
    }
    EXPECT_EQ(help.last()->text(), "&About Fernwell...");
    EXPECT_TRUE(help[help.size() - 2]->isSeparator());
}

TEST_F(MainWindowTest, ControlsStartAsTheTemplateAndStartUpLeaveThem) {
    struct Row {
        int id;
        const char* text;
        bool visible;
    };
    const Row rows[] = {
        {IDC_FLOW_RATE, "---", true},
        {IDC_FLOW_UNITS, "gpm", true},
        {IDC_AUTO_UPDATE, "&Auto Update", true},
        {IDC_POLL_NOW, "Poll &Now", true},
        {IDC_PARAMETERS, "&Parameters", true},
        {IDC_HIGH_ALARM_LABEL, "High Alarm", false},
        {IDC_HIGH_ALARM_LAMP, "", false},
        {IDC_LOW_ALARM_LABEL, "Low Alarm", false},
        {IDC_LOW_ALARM_LAMP, "", false},
        {IDC_BANNER, "", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        ASSERT_NE(dlg.GetDlgItem(r.id), nullptr);
        EXPECT_EQ(dlg.GetDlgItemText(r.id), r.text);
        EXPECT_EQ(dlg.GetDlgItem(r.id)->isVisible(), r.visible);
    }
    EXPECT_TRUE(dlg.IsDlgButtonChecked(IDC_AUTO_UPDATE));
    EXPECT_EQ(ui::BitmapOf(dlg.GetDlgItemAs<QLabel>(IDC_BANNER)), IDB_BANNER);
    EXPECT_EQ(dlg.GetDlgItem(IDC_BANNER)->size(), QSize(246, 45));
    EXPECT_EQ(dlg.windowTitle(), "Fern Well");
    EXPECT_FALSE(dlg.windowIcon().isNull());
    EXPECT_EQ(dlg.windowIcon().availableSizes().size(), 3);
    guitest::ExpectKeyboardAndNames(&dlg);
}

// Start-up opens the port (model 612, 1200 baud) and then starts the poll timer.
TEST_F(MainWindowTest, PollTimerRunsEveryThreeSecondsWithThePortOpen) {
    QTimer* poll = dlg.findChild<QTimer*>("pollTimer");
    ASSERT_NE(poll, nullptr);
    EXPECT_EQ(poll, dlg.Timer(ID_TIMER_POLL));
    EXPECT_TRUE(poll->isActive());
    EXPECT_EQ(poll->interval(), 3000);
    EXPECT_FALSE(poll->isSingleShot());
    EXPECT_TRUE(guitest::WaitUntil([this] { return dlg.link().CurrentStatus().online; }));
    EXPECT_EQ(dlg.link().CurrentStatus(), (Link::Status{true, false, 1, 1200, {}}));
    EXPECT_EQ(dlg.portNumber, 1);
    EXPECT_EQ(dlg.online, 1);
    EXPECT_EQ(dlg.model, Model::k612);
    EXPECT_EQ(dlg.busy, 0);
}

TEST_F(MainWindowTest, GreenWindowWhiteTextAndAWhiteFlowDisplay) {
    EXPECT_EQ(dlg.backgroundColour(), kGreen);
    EXPECT_EQ(dlg.displayColour(), QColor(Qt::white));
    EXPECT_EQ(dlg.palette().color(QPalette::Window), kGreen);
    for (int id : {IDC_FLOW_UNITS, IDC_AUTO_UPDATE, IDC_HIGH_ALARM_LABEL}) {
        EXPECT_EQ(dlg.GetDlgItem(id)->palette().color(QPalette::WindowText), QColor(Qt::white))
            << id;
    }
    QWidget* flow = dlg.GetDlgItem(IDC_FLOW_RATE);
    EXPECT_EQ(flow->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_TRUE(flow->autoFillBackground());
    QGroupBox* frame = dlg.findChild<QGroupBox*>();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "Flow Rate");
    EXPECT_EQ(frame->palette().color(QPalette::Text), QColor(Qt::white));

    // On screen: green around the controls, white inside the display, system-coloured
    // status bar.
    const QImage shot = dlg.grab().toImage();
    const QRect client = dlg.GetClientRect();
    EXPECT_EQ(shot.pixelColor(client.left() + 2, client.top() + 2), kGreen);
    EXPECT_EQ(shot.pixelColor(client.right() - 2, client.bottom() - 2), kGreen);
    const QRect display = flow->geometry();
    EXPECT_EQ(shot.pixelColor(display.left() + 4, display.center().y()), QColor(Qt::white));
    const QWidget& bar = dlg.statusBar();
    EXPECT_NE(shot.pixelColor(bar.x() + 1, bar.geometry().center().y()), kGreen);
    // The same green inside the frame, whose etched edge stands out from it, with the caption
    // on its top line.
    const QRect box = frame->geometry();
    EXPECT_EQ(shot.pixelColor(box.left() + 4, box.bottom() - 4), kGreen);
    const int edge = box.top() + frame->fontMetrics().height() / 2 - 1;
    for (QPoint p : {QPoint(box.left(), box.center().y()), QPoint(box.right() - 2, edge)}) {
        const QColor c = shot.pixelColor(p);
        EXPECT_GT(std::abs(c.red() - kGreen.red()) + std::abs(c.blue() - kGreen.blue()), 100)
            << p.x() << "," << p.y();
    }
    EXPECT_LT(frame->y(), edge);
    EXPECT_EQ(shot.pixelColor(box.left() + 6, edge), kGreen) << "the caption interrupts the line";
}

// The menu without the mouse: F10 or Alt, then arrows, letters, Enter.
TEST_F(MainWindowTest, KeyboardReachesTheMenu) {
    struct Row {
        int line;
        std::vector<Qt::Key> keys;
    } rows[] = {
        {__LINE__,
         {Qt::Key_F10, Qt::Key_Right, Qt::Key_Right, Qt::Key_Return, Qt::Key_Down, Qt::Key_Return}},
        {__LINE__, {Qt::Key_Alt, Qt::Key_C, Qt::Key_P, Qt::Key_Return}},
        // Escape closes the menu, a second Escape leaves the bar; Left wraps to "Help".
        {__LINE__,
         {Qt::Key_F10, Qt::Key_Down, Qt::Key_Escape, Qt::Key_Escape, Qt::Key_F10, Qt::Key_Left,
          Qt::Key_Left, Qt::Key_Return, Qt::Key_Down, Qt::Key_Return}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ASSERT_TRUE(guitest::ShowActive(&dlg));
        dlg.GetDlgItem(IDC_AUTO_UPDATE)->setFocus();
        bool opened = false;
        guitest::MessageBoxRecorder offline;  // the dialog's read finds no module
        guitest::NextModal parameters([&](QWidget* modal) {
            opened = QString(modal->metaObject()->className()) == "CConfig612Dlg";
            static_cast<QDialog*>(modal)->done(IDCANCEL);
        });
        for (Qt::Key key : row.keys) {
            QTest::keyClick(dlg.windowHandle(), key);
            if (opened) {
                break;
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(opened, 2000);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }
    // F10 shows which title is active before any menu opens.
    ASSERT_TRUE(guitest::ShowActive(&dlg));
    dlg.GetDlgItem(IDC_AUTO_UPDATE)->setFocus();
    const QImage plain = dlg.MenuBar()->grab().toImage();
    QTest::keyClick(dlg.windowHandle(), Qt::Key_F10);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_NE(dlg.MenuBar()->grab().toImage(), plain);
    QTest::keyClick(dlg.windowHandle(), Qt::Key_Escape);
}

TEST_F(MainWindowTest, LayoutIsTidy) {
    guitest::ExpectTidyLayout(&dlg);
    // The frame holds the display, its unit, the check box and (for the 640) the alarms.
    const QRect frame = dlg.findChild<QGroupBox*>()->geometry();
    for (int id : {IDC_FLOW_RATE, IDC_FLOW_UNITS, IDC_AUTO_UPDATE, IDC_HIGH_ALARM_LABEL,
                   IDC_HIGH_ALARM_LAMP, IDC_LOW_ALARM_LABEL, IDC_LOW_ALARM_LAMP}) {
        EXPECT_TRUE(frame.contains(dlg.GetDlgItem(id)->geometry())) << id;
    }
    // The alarm controls do not collide with anything when the 640 shows them.
    for (int id :
         {IDC_HIGH_ALARM_LABEL, IDC_HIGH_ALARM_LAMP, IDC_LOW_ALARM_LABEL, IDC_LOW_ALARM_LAMP}) {
        dlg.ShowItem(id, true);
    }
    ui::SetBitmap(dlg.GetDlgItemAs<QLabel>(IDC_HIGH_ALARM_LAMP), IDB_LAMP_RED);
    ui::SetBitmap(dlg.GetDlgItemAs<QLabel>(IDC_LOW_ALARM_LAMP), IDB_LAMP_GREY);
    guitest::SaveScreenshot(&dlg, "alarm-controls-shown");
    guitest::ExpectTidyLayout(&dlg);
    // The banner sits centred above the frame.
    const QRect banner = dlg.GetDlgItem(IDC_BANNER)->geometry();
    EXPECT_LE(std::abs(banner.center().x() - dlg.width() / 2), 2);
    EXPECT_LT(banner.bottom(), frame.top());
}

TEST_F(MainWindowTest, AboutBoxFromItsMenu) {
    // Where the window has a system menu (Windows) the About item is there, not in "Help".
    const bool systemMenu = !fwtest::LastSystemMenuItem(dlg.winId()).empty();
    QAction* about = HelpItem("&About Fernwell...");
    ASSERT_EQ(about == nullptr, systemMenu);
    bool checked = false;
    guitest::NextModal next([&](QWidget* modal) {
        auto* box = qobject_cast<AboutDlg*>(modal);
        ASSERT_NE(box, nullptr);
        checked = true;
        EXPECT_EQ(box->windowTitle(), "About Fernwell");
        EXPECT_EQ(box->parentWidget(), &dlg);
        QStringList texts;
        const QLabel* icon = nullptr;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            texts << label->text();
            if (!label->pixmap().isNull()) {
                icon = label;
            }
        }
        EXPECT_TRUE(texts.contains("Fernwell Version 3.0"));
        EXPECT_TRUE(texts.contains("(C) Fernwell Instruments, Inc."));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->size(), QSize(32, 32));
        guitest::ExpectTidyLayout(box);
        guitest::ExpectKeyboardAndNames(box);
        auto* ok = box->GetDlgItemAs<QPushButton>(IDOK);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), "&OK");
        ok->click();
    });
    if (systemMenu) {
        dlg.OnSysCommand(IDM_ABOUTBOX);
    } else {
        about->trigger();
    }
    EXPECT_TRUE(checked);
    EXPECT_TRUE(dlg.isVisible());
}

// The system command's low four bits are the system's: 0x13 is still the About item.
TEST_F(MainWindowTest, AboutBoxFromTheSystemCommand) {
    guitest::NextModal next([](QWidget* modal) {
        ASSERT_NE(qobject_cast<AboutDlg*>(modal), nullptr);
        static_cast<CDialog*>(modal)->EndDialog(IDOK);
    });
    dlg.OnSysCommand(IDM_ABOUTBOX | 0x3);
}

// "Parameters" runs the configuration dialog of the selected model and "Alarm Status" (640
// only) the alarm status window, each with `busy` set: a poll timer tick meanwhile does
// nothing.
TEST_F(MainWindowTest, ModuleWindowsRunWhileTheMainWindowIsBusy) {
    struct Row {
        int device;
        int command;
        const char* window;
    };
    const Row rows[] = {
        {ID_DEVICE_612, ID_PARAMETERS, "CConfig612Dlg"},
        {ID_DEVICE_642, ID_PARAMETERS, "CConfig640Dlg"},
        {ID_DEVICE_642, ID_ALARM_STATUS, "CAlarm640Dlg"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.window);
        dlg.OnCommand(r.device);
        dlg.SetDlgItemText(IDC_FLOW_RATE, "---");
        bool ran = false;
        guitest::NextModal next([&](QWidget* modal) {
            ran = true;
            EXPECT_STREQ(modal->metaObject()->className(), r.window);
            EXPECT_EQ(dlg.busy, 1);
            dlg.setStatusText(0, "before the tick");
            dlg.OnTimer(ID_TIMER_POLL);
            // A poll, even one that fails at once, leaves its mark in pane 0.
            EXPECT_EQ(dlg.statusText(0), "before the tick") << "the tick polled";
            EXPECT_EQ(dlg.GetDlgItemText(IDC_FLOW_RATE), "---") << "the tick polled";
            static_cast<QDialog*>(modal)->done(IDCANCEL);
        });
        dlg.OnCommand(r.command);
        EXPECT_TRUE(ran);
        EXPECT_EQ(dlg.busy, 0);
    }
    // With the 612 "Alarm Status" opens nothing.
    dlg.OnCommand(ID_DEVICE_612);
    QPointer<QWidget> opened;
    QTimer::singleShot(500, [&] {
        if ((opened = QApplication::activeModalWidget())) {
            opened->close();
        }
    });
    dlg.OnCommand(ID_ALARM_STATUS);
    EXPECT_EQ(dlg.busy, 0);
    QTest::qWait(600);
    EXPECT_TRUE(opened.isNull());
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

TEST_F(MainWindowTest, SupportCommandsOpenTheMakersPages) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    struct Row {
        int command;
        const char* url;
    };
    const Row rows[] = {
        {ID_WWW_SUPPORT, "https://support.fernwell.example/"},
        {ID_EMAIL_SUPPORT, "mailto:support@fernwell.example"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.command);
        catcher.urls.clear();
        dlg.MenuItem(r.command)->trigger();
        ASSERT_EQ(catcher.urls.size(), 1u);
        EXPECT_EQ(catcher.urls[0], QUrl(r.url));
    }
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("mailto");

    // Where no program takes the address, a box shows it, selectable for copying.
    dlg.openUrl = [](const QUrl&) { return false; };
    for (const auto& [command, shown] :
         {std::pair{ID_WWW_SUPPORT, "https://support.fernwell.example/"},
          {ID_EMAIL_SUPPORT, "support@fernwell.example"}}) {
        guitest::MessageBoxRecorder boxes;
        dlg.MenuItem(command)->trigger();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_TRUE(boxes.boxes[0].text.endsWith(QString("\n\n") + shown))
            << boxes.boxes[0].text.toStdString();
        EXPECT_EQ(boxes.boxes[0].type, ui::kMbOk | ui::kMbIconInformation | ui::kMbSelectableText);
    }
}

// The application runs the main window modally; "Exit" ends the run and the program.
TEST(FernwellApp, ExitEndsTheRun) {
    apptest::MainWindowRig rig;
    rig.AddSim(1);
    CFernwellApp app;
    bool sawMain = false;
    guitest::NextModal next([&](QWidget* modal) {
        auto* main = qobject_cast<CFernwellDlg*>(modal);
        ASSERT_NE(main, nullptr);
        sawMain = true;
        EXPECT_EQ(app.mainWindow(), main);
        EXPECT_EQ(main->statusText(0), "Idle");
        // The port opens on the link's thread: online once its status has come back.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return main->statusText(1) == "Online - COM1: @ 1200bps"; }, 5000));
        main->MenuItem(ID_EXIT)->trigger();
    });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(sawMain);
    EXPECT_EQ(app.mainWindow(), nullptr);
}

}  // namespace

#include "MainWindowTest.moc"
