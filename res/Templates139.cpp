// Template 139, the alarm status window. Found through FindDialogTemplate (Templates.cpp).

#include <array>

#include "res/Templates.h"
#include "texts/Resource.h"

namespace res {
namespace {

using K = ControlKind;

// A value box: centred static text, sunken, bordered, with a static edge.
constexpr std::uint32_t kValueBox = kCenter | kSunken | kBorder | kStaticEdge;

// The low alarm half repeats the high half 149 units to the right; two of its rows (value box
// 1058 and the label "Set Point Delay") sit one unit lower than their high twins.
constexpr std::array kAlarmStatus = {
    // Top row.
    ControlTemplate{IDC_STATIC, K::Text, "Flow Rate: ", 7, 6, 38, 8, kNone},
    ControlTemplate{IDC_STATUS_FLOW_RATE, K::Text, "---", 48, 6, 65, 12, kCenter | kClientEdge},
    ControlTemplate{IDC_STATUS_FLOW_UNITS, K::Text, "gal/min.", 120, 6, 26, 8, kNone},
    ControlTemplate{IDC_RETRIEVING_LAMP, K::Bitmap, "", 215, 6, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Retrieving Data", 234, 6, 51, 8, kNone},

    // High alarm.
    ControlTemplate{IDC_STATIC, K::GroupBox, "High Alarm Status", 7, 24, 140, 77, kNone},
    ControlTemplate{IDC_HIGH_ENABLED_LAMP, K::Bitmap, "", 14, 38, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Enabled", 32, 38, 26, 8, kNone},
    ControlTemplate{IDC_HIGH_ACTIVATED_LAMP, K::Bitmap, "", 14, 52, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Activated", 32, 52, 32, 8, kNone},
    ControlTemplate{IDC_HIGH_WAIT_ACTIVATE_LAMP, K::Bitmap, "", 14, 67, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Waiting To Activate", 32, 67, 64, 8, kNone},
    ControlTemplate{IDC_HIGH_WAIT_ACTIVATE_TIME, K::Text, "", 98, 63, 40, 12, kValueBox},
    ControlTemplate{IDC_HIGH_WAIT_RELEASE_LAMP, K::Bitmap, "", 14, 82, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Waiting To Release", 32, 82, 62, 8, kNone},
    ControlTemplate{IDC_HIGH_WAIT_RELEASE_TIME, K::Text, "", 98, 78, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::GroupBox, "High Alarm Reference", 7, 102, 140, 92, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Latch", 21, 121, 18, 8, kNone},
    ControlTemplate{IDC_HIGH_LATCH_VALUE, K::Text, "", 98, 117, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::Text, "Set Point", 21, 136, 30, 8, kNone},
    ControlTemplate{IDC_HIGH_SET_POINT_VALUE, K::Text, "", 98, 132, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::Text, "Set Point Delay", 21, 151, 50, 8, kNone},
    ControlTemplate{IDC_HIGH_SET_DELAY_VALUE, K::Text, "", 98, 147, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::Text, "Release Point", 21, 166, 44, 8, kNone},
    ControlTemplate{IDC_HIGH_RELEASE_POINT_VALUE, K::Text, "", 98, 162, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::Text, "Release Point Delay", 21, 181, 64, 8, kNone},
    ControlTemplate{IDC_HIGH_RELEASE_DELAY_VALUE, K::Text, "", 98, 177, 40, 12, kValueBox},

    // Low alarm.
    ControlTemplate{IDC_STATIC, K::GroupBox, "Low Alarm Status", 156, 24, 140, 77, kNone},
    ControlTemplate{IDC_LOW_ENABLED_LAMP, K::Bitmap, "", 163, 38, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Enabled", 181, 38, 26, 8, kNone},
    ControlTemplate{IDC_LOW_ACTIVATED_LAMP, K::Bitmap, "", 163, 52, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Activated", 181, 52, 32, 8, kNone},
    ControlTemplate{IDC_LOW_WAIT_ACTIVATE_LAMP, K::Bitmap, "", 163, 67, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Waiting To Activate", 181, 67, 64, 8, kNone},
    ControlTemplate{IDC_LOW_WAIT_ACTIVATE_TIME, K::Text, "", 247, 64, 40, 12, kValueBox},
    ControlTemplate{IDC_LOW_WAIT_RELEASE_LAMP, K::Bitmap, "", 163, 82, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Waiting To Release", 181, 82, 62, 8, kNone},
    ControlTemplate{IDC_LOW_WAIT_RELEASE_TIME, K::Text, "", 247, 78, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::GroupBox, "Low Alarm Reference", 156, 102, 140, 92, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Latch", 170, 121, 18, 8, kNone},
    ControlTemplate{IDC_LOW_LATCH_VALUE, K::Text, "", 247, 117, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::Text, "Set Point", 170, 136, 30, 8, kNone},
    ControlTemplate{IDC_LOW_SET_POINT_VALUE, K::Text, "", 247, 132, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::Text, "Set Point Delay", 170, 152, 50, 8, kNone},
    ControlTemplate{IDC_LOW_SET_DELAY_VALUE, K::Text, "", 247, 147, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::Text, "Release Point", 170, 166, 44, 8, kNone},
    ControlTemplate{IDC_LOW_RELEASE_POINT_VALUE, K::Text, "", 247, 162, 40, 12, kValueBox},
    ControlTemplate{IDC_STATIC, K::Text, "Release Point Delay", 170, 181, 64, 8, kNone},
    ControlTemplate{IDC_LOW_RELEASE_DELAY_VALUE, K::Text, "", 247, 177, 40, 12, kValueBox},

    // Bottom row.
    ControlTemplate{IDOK, K::DefPushButton, "E&xit", 126, 199, 50, 14, kGroup | kTabStop},
    ControlTemplate{IDC_COMM_ERROR_LAMP, K::Bitmap, "", 226, 200, 15, 13, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Comm Error", 244, 200, 38, 8, kNone},
};

constexpr DialogTemplate kAlarmStatusDialog{
    IDD_ALARM_STATUS, "Alarm Status", 303, 220, kPopup | kCaption | kSysMenu | kModalFrame, 0,
    kAlarmStatus};

}  // namespace

const DialogTemplate& AlarmStatusTemplate() {
    return kAlarmStatusDialog;
}

}  // namespace res
