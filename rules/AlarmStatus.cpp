#include "rules/AlarmStatus.h"

#include <charconv>
#include <ostream>

#include "res/Resource.h"
#include "res/Strings.h"

std::string DelaySecondsText(std::uint32_t status) {
    return FormatFixed(DecodeAlarmStatusWord(status).delayTicks * kAlarmTickSeconds, 0);
}

std::string FlowRateText(double flow) {
    return FormatFixed(flow, 2);
}

AlarmStatusView InterpretAlarmStatus(std::uint32_t status) {
    const AlarmStatusBits bits = DecodeAlarmStatusWord(status);
    AlarmStatusView v;
    v.activatedLamp = bits.activated ? IDB_LAMP_RED : IDB_LAMP_GREY;
    v.waitActivateLamp = bits.waitingToActivate ? IDB_LAMP_ORANGE : IDB_LAMP_GREY;
    v.waitReleaseLamp = bits.waitingToRelease ? IDB_LAMP_ORANGE : IDB_LAMP_GREY;
    if (bits.waitingToActivate) {
        v.waitActivateTime = DelaySecondsText(status);
    }
    if (bits.waitingToRelease) {
        v.waitReleaseTime = DelaySecondsText(status);
    }
    return v;
}

AlarmReferenceView InterpretAlarmReference(int mode, double setPoint, int setDelay,
                                           double releasePoint, int releaseDelay) {
    const auto m = static_cast<unsigned>(mode);
    AlarmReferenceView v;
    v.enabledLamp = m != 0 ? IDB_LAMP_GREEN : IDB_LAMP_GREY;
    v.latch = m > 1 ? res::kLatchYes : res::kLatchNo;
    v.setPoint = FormatFixed(setPoint, 0);
    v.setDelay = std::to_string(setDelay);
    v.releasePoint = FormatFixed(releasePoint, 0);
    v.releaseDelay = std::to_string(releaseDelay);
    return v;
}

void PrintTo(const AlarmStatusView& v, std::ostream* os) {
    *os << "{activated " << v.activatedLamp << ", wait activate " << v.waitActivateLamp << " \""
        << v.waitActivateTime << "\", wait release " << v.waitReleaseLamp << " \""
        << v.waitReleaseTime << "\"}";
}

void PrintTo(const AlarmReferenceView& v, std::ostream* os) {
    *os << "{enabled " << v.enabledLamp << ", latch \"" << v.latch << "\", set \"" << v.setPoint
        << "\" delay \"" << v.setDelay << "\", release \"" << v.releasePoint << "\" delay \""
        << v.releaseDelay << "\"}";
}
