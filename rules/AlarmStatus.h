#pragma once
// What the alarm status window shows for one alarm of a 640, without widgets: which lamps are
// lit and the texts a status word and the alarm settings come to. CAlarm640Dlg chooses the
// lamps' images and puts them on screen.
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

// The status lamps of one alarm (lit or not) and its two delay boxes.
struct AlarmStatusView {
    bool activated = false;          // the "activated" lamp (red when lit)
    bool waitingToActivate = false;  // the set delay runs (orange when lit)
    bool waitingToRelease = false;   // the release delay runs (orange when lit)
    std::string waitActivateTime;    // seconds of the running set delay, else empty
    std::string waitReleaseTime;     // seconds of the running release delay, else empty

    bool operator==(const AlarmStatusView&) const = default;
};

AlarmStatusView InterpretAlarmStatus(std::uint32_t status);

// The settings of one alarm as the reference boxes show them.
struct AlarmReferenceView {
    bool enabled = false;      // the alarm is on (mode 1 or 2): its lamp green
    bool latched = false;      // mode 2: the latch box says "YES", else "NO"
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
