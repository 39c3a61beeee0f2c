#pragma once
// The main window against the simulated module, for the GUI suites.
//
// MainWindowRig gives the main window a machine of its own: a scratch settings home and ports
// directory (the machine's own serial devices and settings are left out), simulators started
// in --fast mode and linked there as comN, then CFernwellDlg built and shown on top. Start-up
// opens the stored port, so everything a test needs (simulators, stored "CommPort", odd
// devices) is laid out before Start().
//
// Message boxes are recorded for the rig's whole life. A test takes the ones it expects with
// TakeBoxes(); any box left untaken when the rig goes fails the test, so an unexpected
// "Error Opening" never slips by.
//
//   apptest::MainWindowRig rig;
//   rig.AddSim(1, {"--model", "640"});
//   CFernwellDlg& dlg = rig.Start();
//   dlg.OnCommand(ID_DEVICE_642);
//
// SimulatedModuleEnvironment puts the same set-up under a whole suite, for suites whose tests
// build a main window of their own.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/FernwellDlg.h"
#include "protocol/Device.h"
#include "serial/SerialPort.h"
#include "store/RegistryStore.h"
#include "tests/common/GuiTest.h"
#include "tests/common/PortsDir.h"
#include "tests/common/SimProcess.h"
#include "texts/Resource.h"
#include "ui/Bitmaps.h"

namespace apptest {

// The simulator answers at once: no 500 ms settling pause before each open and no 50 ms after
// each uploaded byte.
inline void UseFastLine() {
    CSerialPort::SetOpenDelayMs(0);
    DeviceBase::SetBytePauseMs(0);
}

// "CommPort" as the program stores it; -1 when it is missing.
inline int StoredCommPort() {
    CRegistryStore store;
    if (!store.SetKey("Software\\Fernwell\\", 0) || !store.ValueExists("CommPort")) {
        return -1;
    }
    return store.ReadInt("CommPort", -1);
}

inline void StoreCommPort(int port) {
    CRegistryStore store;
    ASSERT_EQ(store.SetKey("Software\\Fernwell\\", 1), 1);
    ASSERT_EQ(store.WriteInt("CommPort", port), 1);
}

class MainWindowRig {
public:
    MainWindowRig() { UseFastLine(); }
    ~MainWindowRig() {
        dlg_.reset();  // closes the port while the simulators still run
        for (const guitest::RecordedBox& box : boxes_.boxes) {
            ADD_FAILURE() << "unexpected message box \"" << box.caption.toStdString()
                          << "\": " << box.text.toStdString();
        }
    }
    MainWindowRig(const MainWindowRig&) = delete;
    MainWindowRig& operator=(const MainWindowRig&) = delete;

    // Starts a simulator linked as COM `port`, with `args` after --fast.
    fwtest::SimProcess& AddSim(int port = 1, std::vector<std::string> args = {}) {
        sims_.push_back(std::make_unique<fwtest::SimProcess>(fwtest::SimProcess::Options{
            .args = std::move(args), .port = port, .portsDir = ports.PortsDir()}));
        EXPECT_TRUE(sims_.back()->Ok()) << sims_.back()->Error();
        return *sims_.back();
    }
    // Stops the simulator on COM `port` (its link goes with it).
    void StopSim(int port) {
        std::erase_if(sims_, [port](const auto& sim) { return sim->Port() == port; });
    }

    // Builds and shows the main window; its start-up selects 612 and opens the stored port.
    // Unless `keepPollTimer`, the poll timer is stopped afterwards, so only the test polls.
    CFernwellDlg& Start(bool keepPollTimer = false) {
        dlg_ = std::make_unique<CFernwellDlg>();
        EXPECT_TRUE(dlg_->Create());
        EXPECT_TRUE(guitest::ShowActive(dlg_.get()));
        if (!keepPollTimer) {
            if (QTimer* poll = dlg_->Timer(ID_TIMER_POLL)) {
                poll->stop();
            }
        }
        Settle();
        return *dlg_;
    }
    // Lets the window's thread run until what the window asked of the link (an open, a poll)
    // is done and its results are shown.
    void Settle() {
        EXPECT_TRUE(
            guitest::WaitUntil([this] { return dlg_->link().Idle() && !dlg_->pollRunning(); }));
    }
    CFernwellDlg& dlg() { return *dlg_; }
    // Ends the main window (as closing the program does); Start() builds a new one.
    void Restart() { dlg_.reset(); }

    // The boxes shown since the last call, in order.
    std::vector<guitest::RecordedBox> TakeBoxes() {
        std::vector<guitest::RecordedBox> taken;
        taken.swap(boxes_.boxes);
        return taken;
    }

    // "Poll Now", and its reading shown.
    void PollNow() {
        dlg_->OnCommand(IDC_POLL_NOW);
        Settle();
    }
    // A menu command, and what it asked of the link done.
    void Command(int id) {
        dlg_->OnCommand(id);
        Settle();
    }
    // Sends one setting command ("u=0251\r") to the module as an upload does.
    void SendToModule(const std::string& command) {
        dlg_->link().Call([&command](CSerialPort& port, const int& online) {
            CDevice612(port, online).SendCommand(command);
        });
    }
    int Lamp(int id) const { return ui::BitmapOf(dlg_->GetDlgItemAs<QLabel>(id)); }

    fwtest::ScopedPortsDir ports;

private:
    std::vector<std::unique_ptr<fwtest::SimProcess>> sims_;
    guitest::MessageBoxRecorder boxes_;
    std::unique_ptr<CFernwellDlg> dlg_;
};

// For a whole suite: a scratch ports directory and settings home with a simulator (auto
// model) as COM1, so every main window a test builds comes up online and never reaches the
// machine's own serial devices.
class SimulatedModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        UseFastLine();
        ports_ = std::make_unique<fwtest::ScopedPortsDir>();
        sim_ = std::make_unique<fwtest::SimProcess>(
            fwtest::SimProcess::Options{.args = {}, .port = 1, .portsDir = ports_->PortsDir()});
        ASSERT_TRUE(sim_->Ok()) << sim_->Error();
    }
    void TearDown() override {
        sim_.reset();
        ports_.reset();
    }

private:
    std::unique_ptr<fwtest::ScopedPortsDir> ports_;
    std::unique_ptr<fwtest::SimProcess> sim_;
};

}  // namespace apptest
