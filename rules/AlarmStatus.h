#pragma once
// What the alarm status window shows for one alarm of a 640, without widgets: the lamps and
// texts a status word and the alarm settings come to. CAlarm640Dlg puts them on screen.
//
// Status word of "h" and "l", read by bytes (byte 0 the least significant):
//   byte 0  nonzero while a set or release delay runs
//   byte 1  nonzero while the alarm is activated
//   byte 2  unused
//   byte 3  how long the running delay has run, in ticks of 0.262144 s
// "h=28000001" is a set delay 40 ticks (10 s) into its run, "h=05000101" a release delay
// 5 ticks (1 s) into its run.

#include <cstdint>
#include <iosfwd>
#include <string>

#include "protocol/Commands.h"  // FormatFixed
#include "protocol/Decode.h"    // the status word

// The status lamps of one alarm (bitmap identifiers) and its two delay boxes.
struct AlarmStatusView {
    int activatedLamp = 0;         // red while activated, else grey
    int waitActivateLamp = 0;      // orange while the set delay runs, else grey
    int waitReleaseLamp = 0;       // orange while the release delay runs, else grey
    std::string waitActivateTime;  // seconds of the running set delay, else empty
    std::string waitReleaseTime;   // seconds of the running release delay, else empty

    bool operator==(const AlarmStatusView&) const = default;
};

AlarmStatusView InterpretAlarmStatus(std::uint32_t status);

// The settings of one alarm as the reference boxes show them.
struct AlarmReferenceView {
    int enabledLamp = 0;       // green while the alarm is on (mode 1 or 2), else grey
    std::string latch;         // "YES" for mode 2 (latched), else "NO"
    std::string setPoint;      // "%0.0f"
    std::string setDelay;      // signed decimal
    std::string releasePoint;  // "%0.0f"
    std::string releaseDelay;  // signed decimal

    bool operator==(const AlarmReferenceView&) const = default;
};

// `mode` is the dump's alarm mode byte: 0 off, 1 on, 2 on and latched. It is compared as an
// unsigned number, so any value above 1 counts as latched.
AlarmReferenceView InterpretAlarmReference(int mode, double setPoint, int setDelay,
                                           double releasePoint, int releaseDelay);

// Byte 3 of a status word in whole seconds: ticks * 0.262144 with "%0.0f" (40 -> "10").
std::string DelaySecondsText(std::uint32_t status);

// The flow rate as both the settings read and the flow query show it: "%0.2f".
std::string FlowRateText(double flow);

// gtest printers, so a failing row shows the whole view.
void PrintTo(const AlarmStatusView& v, std::ostream* os);
void PrintTo(const AlarmReferenceView& v, std::ostream* os);
