// Choosing the port and the model: start-up, the Device menu, "Set Comm Port" and what the
// user is told when the stored port is missing, cannot be opened or cannot be saved. The main
// window runs against fernwell-sim on links in a scratch ports directory.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "serial/PortMap.h"
#include "tests/app/MainWindowRig.h"
#include "tests/common/PtyPair.h"
#include "toolwindows/CommDialog.h"
#include "ui/MessageBox.h"

namespace {

using apptest::MainWindowRig;

const unsigned kExclamationOk = ui::kMbOk | ui::kMbIconExclamation;

// The alarm controls the Device menu shows for the 640 and hides for the 612.
constexpr int kAlarmControls[] = {IDC_HIGH_ALARM_LABEL, IDC_HIGH_ALARM_LAMP, IDC_LOW_ALARM_LABEL,
                                  IDC_LOW_ALARM_LAMP};

void ExpectModel(CFernwellDlg& dlg, int model) {
    const bool is640 = model == 640;
    EXPECT_EQ(ModelNumber(dlg.model), model);
    EXPECT_EQ(dlg.IsMenuItemChecked(ID_DEVICE_612), !is640);
    EXPECT_EQ(dlg.IsMenuItemChecked(ID_DEVICE_642), is640);
    EXPECT_EQ(dlg.IsMenuItemEnabled(ID_ALARM_STATUS), is640);
    for (int id : kAlarmControls) {
        EXPECT_EQ(dlg.GetDlgItem(id)->isVisible(), is640) << id;
    }
}

// Runs "Set Comm Port" and acts on the comm settings dialog with `act`.
void SetCommPort(CFernwellDlg& dlg, const std::function<void(CCommDialog*)>& act) {
    guitest::NextModal next([&](QWidget* modal) {
        auto* comm = qobject_cast<CCommDialog*>(modal);
        ASSERT_NE(comm, nullptr);
        act(comm);
    });
    dlg.MenuItem(ID_SET_COMM_PORT)->trigger();
    EXPECT_TRUE(guitest::WaitUntil([&] { return dlg.link().Idle() && !dlg.pollRunning(); }));
}

void ChooseAndOk(CCommDialog* comm, const QString& entry) {
    auto* list = comm->GetDlgItemAs<QComboBox>(IDC_COMM_PORT_LIST);
    const int index = list->findText(entry);
    ASSERT_GE(index, 0) << entry.toStdString();
    list->setCurrentIndex(index);
    comm->GetDlgItemAs<QPushButton>(IDOK)->click();
}

TEST(PortSelection, StartUpOpensTheStoredPortOrCom1At1200) {
    struct Row {
        int stored;  // -1: nothing stored
        int expectedPort;
    };
    const Row rows[] = {{-1, 1}, {3, 3}, {1, 1}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.stored);
        MainWindowRig rig;
        rig.AddSim(1);
        rig.AddSim(3);
        if (r.stored >= 0) {
            apptest::StoreCommPort(r.stored);
        }
        CFernwellDlg& dlg = rig.Start();
        EXPECT_EQ(dlg.statusText(1), QString("Online - COM%1: @ 1200bps").arg(r.expectedPort));
        EXPECT_EQ(dlg.portNumber, r.expectedPort);
        EXPECT_EQ(dlg.online, 1);
        ExpectModel(dlg, 612);
        // Only "Set Comm Port" writes the setting.
        EXPECT_EQ(apptest::StoredCommPort(), r.stored);
        rig.PollNow();
        EXPECT_EQ(dlg.statusText(0), "Idle") << "the port answers as a 612 at 1200 baud";
    }
}

// "642" reopens the port at 4800 (the auto simulator answers as a 640 only then, so a good
// poll proves the rate), shows the alarm controls with grey lamps; "612" goes back.
TEST(PortSelection, DeviceMenuSwitchesRateMenuAndAlarmControls) {
    MainWindowRig rig;
    rig.AddSim(1);
    CFernwellDlg& dlg = rig.Start();
    struct Row {
        int command;
        int model;
        const char* online;
    };
    const Row rows[] = {
        {ID_DEVICE_642, 640, "Online - COM1: @ 4800bps"},
        {ID_DEVICE_612, 612, "Online - COM1: @ 1200bps"},
        {ID_DEVICE_642, 640, "Online - COM1: @ 4800bps"},
        {ID_DEVICE_642, 640, "Online - COM1: @ 4800bps"},  // the same model again
        {ID_DEVICE_612, 612, "Online - COM1: @ 1200bps"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.online);
        // A lamp lit by an earlier poll goes grey on "642".
        ui::SetBitmap(dlg.GetDlgItemAs<QLabel>(IDC_HIGH_ALARM_LAMP), IDB_LAMP_RED);
        dlg.MenuItem(r.command)->trigger();
        rig.Settle();
        EXPECT_EQ(dlg.statusText(1), r.online);
        ExpectModel(dlg, r.model);
        if (r.model == 640) {
            EXPECT_EQ(rig.Lamp(IDC_HIGH_ALARM_LAMP), IDB_LAMP_GREY);
            EXPECT_EQ(rig.Lamp(IDC_LOW_ALARM_LAMP), IDB_LAMP_GREY);
            guitest::SaveScreenshot(&dlg, "model-640");
        }
        rig.PollNow();
        EXPECT_EQ(dlg.statusText(0), "Idle");
    }
}

TEST(PortSelection, MissingStoredPortFallsBackToTheFirstListedPort) {
    struct Row {
        int stored;
        std::vector<int> ports;
        int first;
    };
    const Row rows[] = {{3, {1, 4}, 1}, {1, {2, 5}, 2}, {200, {7}, 7}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.stored);
        MainWindowRig rig;
        for (int port : r.ports) {
            rig.AddSim(port);
        }
        apptest::StoreCommPort(r.stored);
        CFernwellDlg& dlg = rig.Start();
        auto boxes = rig.TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text,
                  QString("COM%1: does not exist, setting to COM%2:").arg(r.stored).arg(r.first));
        EXPECT_EQ(boxes[0].caption, "Fernwell") << "the framework's caption";
        EXPECT_EQ(boxes[0].type, ui::kMbOk | ui::kMbIconExclamation);
        EXPECT_EQ(dlg.statusText(1), QString("Online - COM%1: @ 1200bps").arg(r.first));
        EXPECT_EQ(dlg.portNumber, r.first);
        EXPECT_EQ(apptest::StoredCommPort(), r.stored) << "the setting is left as it is";

        // Said again at every open while the stored port is missing.
        dlg.MenuItem(ID_DEVICE_642)->trigger();
        rig.Settle();
        boxes = rig.TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(dlg.statusText(1), QString("Online - COM%1: @ 4800bps").arg(r.first));
    }
}

// No port at all: one box that says where the program looked, then offline.
TEST(PortSelection, NoPortAtAllIsReportedOnceAndLeavesTheWindowOffline) {
    MainWindowRig rig;
    CFernwellDlg& dlg = rig.Start();
    const auto boxes = rig.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    const QString text = boxes[0].text;
    EXPECT_TRUE(text.startsWith("No serial port was found.")) << text.toStdString();
    for (const QString& where :
         {QString::fromStdString(rig.ports.PortsDir()), QString("/dev/ttyS*"),
          QString("/dev/ttyUSB*"), QString("/dev/ttyACM*")}) {
        EXPECT_TRUE(text.contains(where)) << where.toStdString();
    }
    EXPECT_EQ(boxes[0].caption, "CommError");
    EXPECT_EQ(boxes[0].type, kExclamationOk);
    EXPECT_EQ(dlg.statusText(1), "Offline");
    EXPECT_EQ(dlg.online, 0);
    EXPECT_FALSE(dlg.link().CurrentStatus().online);
    ExpectModel(dlg, 612);
}

// A port that is listed but does not open: the box carries the system's reason.
TEST(PortSelection, OpenFailureShowsTheSystemsReasonAndStaysOffline) {
    struct Row {
        const char* what;
        int error;
        const char* holder;  // a process holding the port, or nullptr
    };
    const Row rows[] = {
        {"held by this program", EBUSY, nullptr},
        {"held by another process", EBUSY, "sleep"},
        {"not a serial device", ENOTTY, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        MainWindowRig rig;
        CSerialPort holder;
        std::optional<fwtest::HoldingProcess> process;
        if (r.holder) {
            rig.AddSim(1);
            process.emplace(std::vector<std::string>{r.holder, "30"}, portmap::DevicePath(1));
            ASSERT_GT(process->pid(), 0);
        } else if (r.error == EBUSY) {
            rig.AddSim(1);
            ASSERT_EQ(holder.Open(1, 1200, 'N', 8, 1), 0) << holder.LastErrorText();
        } else {
            const std::string file = rig.ports.Root() + "/plain-file";
            std::ofstream(file) << "not a tty\n";
            ASSERT_TRUE(rig.ports.Link(1, file));
        }
        const std::string device = portmap::DevicePath(1);
        CFernwellDlg& dlg = rig.Start();
        const auto boxes = rig.TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u) << "listed, so no \"does not exist\" box before it";
        const std::string reason =
            r.holder ? "The port is in use by sleep (pid " + std::to_string(process->pid()) + ")."
                     : portmap::OpenErrorText(r.error, device);
        EXPECT_EQ(boxes[0].text.toStdString(), "Error Opening COM1:\n" + reason);
        EXPECT_NE(reason.find(r.error == EBUSY ? "The port is in use by" : std::strerror(r.error)),
                  std::string::npos)
            << reason;
        EXPECT_EQ(boxes[0].caption, "CommError");
        EXPECT_EQ(boxes[0].type, kExclamationOk);
        EXPECT_EQ(dlg.statusText(1), "Offline");
        EXPECT_EQ(dlg.online, 0);
        EXPECT_EQ(dlg.portNumber, 1);

        // Offline: a poll sends nothing and ends in "Comm Error".
        rig.PollNow();
        EXPECT_EQ(dlg.statusText(0), "Comm Error");
    }
}

// OK writes "CommPort" (also when unchanged) and reopens the port; Cancel changes nothing.
// The simulator on COM1 is replaced behind the window's back, so only a reopened port reaches
// the new one.
TEST(PortSelection, SetCommPortStoresTheChoiceAndReopensOnOkOnly) {
    struct Row {
        const char* choice;  // entry to choose, nullptr: Cancel
        int port;            // the port in use afterwards
        int stored;          // "CommPort" afterwards
        bool reopened;
    };
    const Row rows[] = {
        {"Comm 1 - pseudo-terminal", 1, 1, true},
        {"Comm 3 - pseudo-terminal", 3, 3, true},
        {nullptr, 1, -1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.choice ? r.choice : "Cancel");
        MainWindowRig rig;
        rig.AddSim(1);
        rig.AddSim(3);
        CFernwellDlg& dlg = rig.Start();
        rig.StopSim(1);
        rig.AddSim(1);

        SetCommPort(dlg, [&](CCommDialog* comm) {
            EXPECT_EQ(comm->portNumber, 1) << "the port in use";
            EXPECT_EQ(comm->GetDlgItemAs<QComboBox>(IDC_COMM_PORT_LIST)->currentText(),
                      "Comm 1 - pseudo-terminal");
            if (r.choice) {
                ChooseAndOk(comm, r.choice);
            } else {
                comm->GetDlgItemAs<QComboBox>(IDC_COMM_PORT_LIST)->setCurrentIndex(1);
                comm->GetDlgItemAs<QPushButton>(IDCANCEL)->click();
            }
        });
        EXPECT_EQ(dlg.portNumber, r.port);
        EXPECT_EQ(apptest::StoredCommPort(), r.stored);
        EXPECT_EQ(dlg.statusText(1), QString("Online - COM%1: @ 1200bps").arg(r.port));
        rig.PollNow();
        EXPECT_EQ(dlg.statusText(0), r.reopened ? "Idle" : "Comm Error")
            << "the old COM1 simulator is gone: only a reopened port answers";

        // The choice survives a restart.
        rig.Restart();
        CFernwellDlg& again = rig.Start();
        EXPECT_EQ(again.statusText(1), QString("Online - COM%1: @ 1200bps").arg(r.port));
    }
}

// Mended: the setting cannot be written (the settings file is a directory). The user is told,
// then the port is reopened from the stored setting as before, which is still COM1's default.
TEST(PortSelection, UnsavedChoiceIsReportedAndTheStoredPortIsUsed) {
    MainWindowRig rig;
    rig.AddSim(1);
    rig.AddSim(3);
    CFernwellDlg& dlg = rig.Start();
    const QString settings =
        QString::fromStdString(rig.ports.ConfigHome()) + "/fernwell/HKEY_CURRENT_USER.ini";
    ASSERT_TRUE(QFile::remove(settings)) << "start-up made the key";
    ASSERT_TRUE(QDir().mkpath(settings));

    SetCommPort(dlg, [](CCommDialog* comm) { ChooseAndOk(comm, "Comm 3 - pseudo-terminal"); });
    const auto boxes = rig.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("The port setting could not be saved"))
        << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains("COM3:"));
    EXPECT_EQ(boxes[0].type, kExclamationOk);
    EXPECT_EQ(dlg.portNumber, 1);
    EXPECT_EQ(dlg.statusText(1), "Online - COM1: @ 1200bps");
    EXPECT_EQ(dlg.online, 1);
}

}  // namespace
