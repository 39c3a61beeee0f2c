#include "windows/AlarmStatus.h"

#include <charconv>
#include <ostream>

#include "res/Resource.h"
#include "res/Strings.h"

namespace {

unsigned Byte(std::uint32_t status, int n) {
    return (status >> (8 * n)) & 0xFFu;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
    char text[400];  // DBL_MAX has 309 integer digits
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

std::string DelaySecondsText(std::uint32_t status) {
    return FormatFixed(Byte(status, 3) * kAlarmTickSeconds, 0);
}

std::string FlowRateText(double flow) {
    return FormatFixed(flow, 2);
}

AlarmStatusView InterpretAlarmStatus(std::uint32_t status) {
    const bool activated = Byte(status, 1) != 0;
    const bool delaying = Byte(status, 0) != 0;
    AlarmStatusView v;
    v.activatedLamp = activated ? IDB_LAMP_RED : IDB_LAMP_GREY;
    v.waitActivateLamp = IDB_LAMP_GREY;
    v.waitReleaseLamp = IDB_LAMP_GREY;
    if (delaying) {
        // The module runs one delay at a time: the release delay once the alarm is activated,
        // the set delay before that.
        if (activated) {
            v.waitReleaseLamp = IDB_LAMP_ORANGE;
            v.waitReleaseTime = DelaySecondsText(status);
        } else {
            v.waitActivateLamp = IDB_LAMP_ORANGE;
            v.waitActivateTime = DelaySecondsText(status);
        }
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
