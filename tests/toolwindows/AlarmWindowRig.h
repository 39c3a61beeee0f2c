#pragma once
// The alarm status window on a main window of its own, against the simulator linked as COM 7:
// the fixture both alarm window suites build on.

#include <gtest/gtest.h>

#include <QLabel>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/FernwellDlg.h"
#include "rules/AlarmStatus.h"
#include "tests/common/GuiTest.h"
#include "tests/common/PortsDir.h"
#include "tests/common/ScopedBytePause.h"
#include "tests/common/SimProcess.h"
#include "texts/Resource.h"
#include "toolwindows/Alarm640Dlg.h"
#include "ui/Bitmaps.h"

namespace alarmtest {

constexpr int kOrange = IDB_LAMP_ORANGE, kRed = IDB_LAMP_RED, kBlue = IDB_LAMP_BLUE,
              kGreen = IDB_LAMP_GREEN, kGrey = IDB_LAMP_GREY;
constexpr int kCom = 7;

// The status lamps (their images) and delay boxes of one half, as the window shows them.
struct HalfShown {
    int activatedLamp = 0;
    int waitActivateLamp = 0;
    int waitReleaseLamp = 0;
    std::string waitActivateTime;
    std::string waitReleaseTime;

    bool operator==(const HalfShown&) const = default;
};
inline void PrintTo(const HalfShown& h, std::ostream* os) {
    *os << "{lamps " << h.activatedLamp << " " << h.waitActivateLamp << " " << h.waitReleaseLamp
        << ", \"" << h.waitActivateTime << "\" \"" << h.waitReleaseTime << "\"}";
}

// The window with the timer handler reachable: tests tick it themselves.
class AlarmWindow : public CAlarm640Dlg {
public:
    void Tick() {
        OnTimer(ID_TIMER_ALARM_STATUS);
        WaitAnswers();
    }
    // The status refresh, waiting for its answers.
    void Refresh() {
        RefreshAlarmStatus();
        WaitAnswers();
    }
    void WaitAnswers() {
        EXPECT_TRUE(guitest::WaitUntil([this] { return pendingReads() == 0; }));
    }
    int Lamp(int id) const { return ui::BitmapOf(GetDlgItemAs<QLabel>(id)); }
    std::string Text(int id) const { return GetDlgItemText(id).toStdString(); }
    // The status lamps and delay boxes of the high or low half.
    HalfShown Half(bool high) const {
        return high ? HalfShown{Lamp(1049), Lamp(1051), Lamp(1052), Text(1056), Text(1057)}
                    : HalfShown{Lamp(1053), Lamp(1054), Lamp(1055), Text(1058), Text(1059)};
    }
};

class AlarmWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ports.Ok());
        {
            guitest::MessageBoxRecorder startup;  // whatever the start-up says about ports
            ASSERT_TRUE(main.Create());
        }
        main.KillTimer(ID_TIMER_POLL);
        main.model = Model::k640;
        main.busy = 1;  // as the Alarm Status command has it
    }
    void TearDown() override { main.link().Close(); }
    void OpenPort() {
        std::string error;
        ASSERT_EQ(main.link().OpenNow(kCom, 4800, &error), 0) << error;
    }
    // Creates and shows `w` as the main window's Alarm Status command would (initialisation
    // included) and stops its timer, so only the test's ticks talk to the module.
    void Open(AlarmWindow& w) {
        w.link = &main.link();
        w.colours = &main.colours();
        ASSERT_TRUE(w.Create());
        w.KillTimer(ID_TIMER_ALARM_STATUS);
        w.WaitAnswers();
        w.show();
    }
    std::unique_ptr<fwtest::SimProcess> StartSim(std::vector<std::string> args) {
        args.insert(args.begin(), {"--model", "640", "--flow", "42.5"});
        auto sim = std::make_unique<fwtest::SimProcess>(
            fwtest::SimProcess::Options{.args = args, .port = kCom, .portsDir = ports.PortsDir()});
        EXPECT_TRUE(sim->Ok()) << sim->Error();
        return sim;
    }

    fwtest::ScopedPortsDir ports;
    CFernwellDlg main;
    fwtest::ScopedOpenDelay openDelay{0};
    fwtest::ScopedBytePause bytePause{1};
};

}  // namespace alarmtest
