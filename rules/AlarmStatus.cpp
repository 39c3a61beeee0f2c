#include "rules/AlarmStatus.h"

#include <charconv>
#include <ostream>

std::string DelaySecondsText(std::uint32_t status) {
    return FormatFixed(DecodeAlarmStatusWord(status).delayTicks * kAlarmTickSeconds, 0);
}

std::string FlowRateText(double flow) {
    return FormatFixed(flow, 2);
}

AlarmStatusView InterpretAlarmStatus(std::uint32_t status) {
    const AlarmStatusBits bits = DecodeAlarmStatusWord(status);
    AlarmStatusView v;
    v.activated = bits.activated;
    v.waitingToActivate = bits.waitingToActivate;
    v.waitingToRelease = bits.waitingToRelease;
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
    v.enabled = m != 0;
    v.latched = m > 1;
    v.setPoint = FormatFixed(setPoint, 0);
    v.setDelay = std::to_string(setDelay);
    v.releasePoint = FormatFixed(releasePoint, 0);
    v.releaseDelay = std::to_string(releaseDelay);
    return v;
}

void PrintTo(const AlarmStatusView& v, std::ostream* os) {
    *os << "{activated " << v.activated << ", wait activate " << v.waitingToActivate << " \""
        << v.waitActivateTime << "\", wait release " << v.waitingToRelease << " \""
        << v.waitReleaseTime << "\"}";
}

void PrintTo(const AlarmReferenceView& v, std::ostream* os) {
    *os << "{enabled " << v.enabled << ", latched " << v.latched << ", set \"" << v.setPoint
        << "\" delay \"" << v.setDelay << "\", release \"" << v.releasePoint << "\" delay \""
        << v.releaseDelay << "\"}";
}
