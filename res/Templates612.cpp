// Templates 131 (612 configuration dialog) and 138 (K and offset calculator). Found through
// FindDialogTemplate (Templates.cpp).

#include <array>

#include "res/Templates.h"
#include "texts/Resource.h"

namespace res {
namespace {

using K = ControlKind;

// The border of an edit in a dialog template becomes the sunken 3-D edge on screen.
constexpr std::uint32_t kEditBorder = kBorder | kClientEdge;
constexpr std::uint32_t kNumberEdit = kEditBorder | kAutoHScroll | kTabStop;
constexpr std::uint32_t kList = kVScroll | kTabStop;

// 131: three groups down the left, the buttons down the right. The three sensor radios must
// follow one another (a radio group ends at the first control that is not a radio), so the
// two row lists come after them; each list sits beside its radio, and ShowSettings shows at
// most one of them. "Calculate" gives K and offset, so it sits beside those edits. The space
// below "Defaults" is where the dialog shows the progress of an upload. Each edit and list
// follows the static text that names it (its name for assistive tools); the pulse-unit list
// is as wide as the frame allows, so "Cubic Meters" shows whole.
constexpr std::array kConfig612 = {
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
    ControlTemplate{IDC_UNIT_OF_MEASURE, K::DropList, "", 84, 120, 60, 100, kList},

    ControlTemplate{IDC_STATIC, K::GroupBox, "Pulse Output Control", 7, 145, 202, 64, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "1 Pulse =", 15, 170, 64, 8, kRight},
    ControlTemplate{IDC_PULSE_VALUE, K::Edit, "", 84, 168, 60, 12, kNumberEdit},
    ControlTemplate{IDC_STATIC, K::Text, "Units", 150, 157, 50, 8, kNone},
    ControlTemplate{IDC_PULSE_UNITS, K::DropList, "", 150, 168, 56, 60, kList},
    ControlTemplate{IDC_STATIC, K::Text, "Pulse Width (ms) =", 15, 190, 64, 8, kRight},
    ControlTemplate{IDC_PULSE_WIDTH, K::DropList, "", 84, 188, 60, 120, kList},

    ControlTemplate{IDOK, K::DefPushButton, "&OK", 217, 7, 50, 14, kGroup | kTabStop},
    ControlTemplate{IDC_SEND, K::PushButton, "&Send", 217, 25, 50, 14, kTabStop},
    ControlTemplate{IDC_REFRESH, K::PushButton, "&Refresh", 217, 43, 50, 14, kTabStop},
    ControlTemplate{IDC_DEFAULTS, K::PushButton, "&Defaults", 217, 61, 50, 14, kTabStop},
};

// 138: the calculator, positions as the resource script has them.
constexpr std::array kCalculate = {
    ControlTemplate{IDOK, K::DefPushButton, "&Calculate", 129, 7, 50, 14, kTabStop},
    ControlTemplate{IDCANCEL, K::PushButton, "C&ancel", 129, 24, 50, 14, kTabStop},
    ControlTemplate{IDC_PIPE_DIAMETER, K::Edit, "", 7, 20, 53, 14,
                    kEditBorder | kAutoHScroll | kNumber | kDecimalPoint | kTabStop},
    ControlTemplate{IDC_DIAMETER_UNITS, K::DropList, "", 68, 21, 48, 102,
                    kSort | kVScroll | kTabStop},
    ControlTemplate{IDC_STATIC, K::Text, "Known Pipe Inside Diameter", 7, 7, 90, 8, kNone},
};

constexpr std::uint32_t kModal = kPopup | kCaption | kSysMenu | kModalFrame;

const DialogTemplate kConfig612Dialog{
    IDD_CONFIG_612, "Fern Well 612 Configuration", 274, 216, kModal, 0, kConfig612};
const DialogTemplate kCalculateDialog{IDD_CALCULATE, "Dialog", 186, 47, kModal, 0, kCalculate};

}  // namespace

const DialogTemplate& Config612Template() {
    return kConfig612Dialog;
}

const DialogTemplate& CalculateTemplate() {
    return kCalculateDialog;
}

}  // namespace res
