// Template 133 (640 configuration dialog). Found through FindDialogTemplate (Templates.cpp).

#include <array>

#include "res/Templates.h"
#include "texts/Resource.h"

namespace res {
namespace {

using K = ControlKind;

// The border of an edit in a dialog template becomes the sunken 3-D edge on screen.
constexpr std::uint32_t kEditBorder = kBorder | kClientEdge;
constexpr std::uint32_t kNumberEdit = kEditBorder | kAutoHScroll | kTabStop;
// The module counts its delays in whole seconds: the delay edits take digits only.
constexpr std::uint32_t kDelayEdit = kNumberEdit | kNumber;
constexpr std::uint32_t kList = kVScroll | kTabStop;

// 133: the two sensor groups of template 131 down the left, the two alarm groups down the
// right, the buttons along the bottom of the left column with the progress of an upload
// shown just above them. Each alarm group holds its switches on the first row, then the set
// point and its delay, then the release point and its delay, each value under its label. The
// low group repeats the high group 90 units lower. The unit labels read "ft3/sec" until
// ShowSettings names the unit chosen.
constexpr std::array kConfig640 = {
    ControlTemplate{IDC_STATIC, K::GroupBox, "Irrigation Sensor Type", 7, 7, 202, 62, kNone},
    ControlTemplate{IDC_SENSOR_WSS, K::RadioButton, "WSS - Wind Speed Sensor", 15, 20, 120, 10,
                    kGroup | kTabStop},
    ControlTemplate{IDC_SENSOR_TEE, K::RadioButton, "TEE Mounted", 15, 36, 62, 10, kNone},
    ControlTemplate{IDC_SENSOR_INSERTION, K::RadioButton, "Insertion", 15, 52, 62, 10, kNone},
    ControlTemplate{IDC_TEE_LIST, K::DropList, "", 84, 34, 116, 80, kList},
    ControlTemplate{IDC_PIPE_LIST, K::DropList, "", 84, 50, 116, 120, kList},

    ControlTemplate{IDC_STATIC, K::GroupBox, "Sensor Configuration", 7, 75, 202, 64, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "K =", 15, 90, 64, 8, kRight},
    ControlTemplate{IDC_K_FACTOR, K::Edit, "", 84, 88, 60, 12, kNumberEdit},
    ControlTemplate{IDC_CALCULATE, K::PushButton, "&Calculate", 150, 87, 50, 14, kTabStop},
    ControlTemplate{IDC_STATIC, K::Text, "Offset =", 15, 106, 64, 8, kRight},
    ControlTemplate{IDC_OFFSET, K::Edit, "", 84, 104, 60, 12, kNumberEdit},
    ControlTemplate{IDC_STATIC, K::Text, "Unit of Measure =", 15, 122, 64, 8, kRight},
    ControlTemplate{IDC_UNIT_OF_MEASURE, K::DropList, "", 84, 120, 60, 120, kList},

    ControlTemplate{IDC_STATIC, K::GroupBox, "High Alarm", 215, 7, 176, 84, kNone},
    ControlTemplate{IDC_HIGH_ENABLE, K::CheckBox, "Enable High Alarm", 223, 20, 84, 10, kTabStop},
    ControlTemplate{IDC_HIGH_LATCHED, K::CheckBox, "Latched", 311, 20, 50, 10, kTabStop},
    ControlTemplate{IDC_STATIC, K::Text, "Set Point", 223, 35, 60, 8, kNone},
    ControlTemplate{IDC_HIGH_SET_POINT, K::Edit, "", 223, 45, 44, 12, kNumberEdit},
    ControlTemplate{IDC_HIGH_SET_UNITS, K::Text, "ft3/sec", 270, 47, 36, 8, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Set Point Delay", 311, 35, 72, 8, kNone},
    ControlTemplate{IDC_HIGH_SET_DELAY, K::Edit, "", 311, 45, 40, 12, kDelayEdit},
    ControlTemplate{IDC_STATIC, K::Text, "sec", 354, 47, 20, 8, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Release Point", 223, 61, 60, 8, kNone},
    ControlTemplate{IDC_HIGH_RELEASE_POINT, K::Edit, "", 223, 71, 44, 12, kNumberEdit},
    ControlTemplate{IDC_HIGH_RELEASE_UNITS, K::Text, "ft3/sec", 270, 73, 36, 8, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Release Point Delay", 311, 61, 72, 8, kNone},
    ControlTemplate{IDC_HIGH_RELEASE_DELAY, K::Edit, "", 311, 71, 40, 12, kDelayEdit},
    ControlTemplate{IDC_STATIC, K::Text, "sec", 354, 73, 20, 8, kNone},

    ControlTemplate{IDC_STATIC, K::GroupBox, "Low Alarm", 215, 97, 176, 84, kNone},
    ControlTemplate{IDC_LOW_ENABLE, K::CheckBox, "Enable Low Alarm", 223, 110, 84, 10, kTabStop},
    ControlTemplate{IDC_LOW_LATCHED, K::CheckBox, "Latched", 311, 110, 50, 10, kTabStop},
    ControlTemplate{IDC_STATIC, K::Text, "Set Point", 223, 125, 60, 8, kNone},
    ControlTemplate{IDC_LOW_SET_POINT, K::Edit, "", 223, 135, 44, 12, kNumberEdit},
    ControlTemplate{IDC_LOW_SET_UNITS, K::Text, "ft3/sec", 270, 137, 36, 8, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Set Point Delay", 311, 125, 72, 8, kNone},
    ControlTemplate{IDC_LOW_SET_DELAY, K::Edit, "", 311, 135, 40, 12, kDelayEdit},
    ControlTemplate{IDC_STATIC, K::Text, "sec", 354, 137, 20, 8, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Release Point", 223, 151, 60, 8, kNone},
    ControlTemplate{IDC_LOW_RELEASE_POINT, K::Edit, "", 223, 161, 44, 12, kNumberEdit},
    ControlTemplate{IDC_LOW_RELEASE_UNITS, K::Text, "ft3/sec", 270, 163, 36, 8, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Release Point Delay", 311, 151, 72, 8, kNone},
    ControlTemplate{IDC_LOW_RELEASE_DELAY, K::Edit, "", 311, 161, 40, 12, kDelayEdit},
    ControlTemplate{IDC_STATIC, K::Text, "sec", 354, 163, 20, 8, kNone},

    ControlTemplate{IDC_SEND, K::PushButton, "&Send", 7, 167, 46, 14, kGroup | kTabStop},
    ControlTemplate{IDC_REFRESH, K::PushButton, "&Refresh", 59, 167, 46, 14, kTabStop},
    ControlTemplate{IDC_DEFAULTS, K::PushButton, "&Defaults", 111, 167, 46, 14, kTabStop},
    ControlTemplate{IDOK, K::DefPushButton, "&OK", 163, 167, 46, 14, kTabStop},
};

constexpr std::uint32_t kModal = kPopup | kCaption | kSysMenu | kModalFrame;

const DialogTemplate kConfig640Dialog{
    IDD_CONFIG_640, "Fern Well 640 Configuration", 398, 188, kModal, 0, kConfig640};

}  // namespace

const DialogTemplate& Config640Template() {
    return kConfig640Dialog;
}

}  // namespace res
