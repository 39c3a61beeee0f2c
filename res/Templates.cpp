#include "res/Templates.h"

#include <array>

#include "texts/Resource.h"

namespace res {
namespace {

using K = ControlKind;

// The border of an edit in a dialog template becomes the sunken 3-D edge on screen.
constexpr std::uint32_t kEditBorder = kBorder | kClientEdge;

// 100: About box.
constexpr std::array kAbout = {
    ControlTemplate{IDC_STATIC, K::Icon, "#128", 11, 17, 20, 20, kNone},
    ControlTemplate{IDC_STATIC, K::Text, "Fernwell Version 3.0", 40, 10, 119, 8, kNoPrefix},
    ControlTemplate{IDC_STATIC, K::Text, "(C) Fernwell Instruments, Inc.", 40, 25, 119, 8, kNone},
    ControlTemplate{IDOK, K::DefPushButton, "&OK", 178, 7, 50, 16, kGroup | kTabStop},
};

// 102: main window. The banner bitmap is 246 by 45 pixels and sizes its control itself; it
// sits centred above the "Flow Rate" frame for the dialog font's 7 by 13 pixel base units.
// The four alarm controls start hidden: only model 640 shows them.
constexpr std::array kMain = {
    ControlTemplate{IDC_FLOW_RATE, K::Text, "---", 16, 47, 72, 14,
                    kCenter | kCenterImage | kSunken},
    ControlTemplate{IDC_FLOW_UNITS, K::Text, "gpm", 92, 50, 30, 8, kNone},
    ControlTemplate{IDC_AUTO_UPDATE, K::CheckBox, "&Auto Update", 16, 68, 64, 10, kTabStop},
    ControlTemplate{IDC_POLL_NOW, K::PushButton, "Poll &Now", 7, 93, 50, 14, kTabStop},
    ControlTemplate{IDC_PARAMETERS, K::PushButton, "&Parameters", 133, 93, 50, 14, kTabStop},
    ControlTemplate{IDC_HIGH_ALARM_LABEL, K::Text, "High Alarm", 136, 49, 42, 8, kHidden},
    ControlTemplate{IDC_HIGH_ALARM_LAMP, K::Bitmap, "", 124, 48, 8, 9, kHidden},
    ControlTemplate{IDC_LOW_ALARM_LABEL, K::Text, "Low Alarm", 136, 67, 42, 8, kHidden},
    ControlTemplate{IDC_LOW_ALARM_LAMP, K::Bitmap, "", 124, 66, 8, 9, kHidden},
    ControlTemplate{IDC_BANNER, K::Bitmap, "", 25, 4, 141, 28, kNone},
    ControlTemplate{IDC_STATIC, K::GroupBox, "Flow Rate", 7, 35, 176, 50, kNone},
};

// 130: comm settings dialog.
constexpr std::array kCommSettings = {
    ControlTemplate{IDOK, K::DefPushButton, "&OK", 99, 13, 50, 14, kTabStop},
    ControlTemplate{IDCANCEL, K::PushButton, "&Cancel", 98, 31, 50, 14, kTabStop},
    ControlTemplate{IDC_STATIC, K::Text, "Comm &Port Setting:", 14, 15, 63, 8, kNone},
    ControlTemplate{IDC_COMM_PORT_LIST, K::DropList, "", 14, 26, 63, 60,
                    kSort | kVScroll | kTabStop},
};

// 132: terminal window.
constexpr std::array kTerminal = {
    ControlTemplate{IDOK, K::DefPushButton, "C&lose", 129, 173, 50, 14, kTabStop},
    ControlTemplate{IDC_TERMINAL_TEXT, K::Edit, "", 7, 7, 172, 161,
                    kMultiLine | kReadOnly | kEditBorder | kVScroll | kAutoHScroll | kTabStop},
    ControlTemplate{IDC_CLEAR_WINDOW, K::PushButton, "&Clear Window", 60, 173, 61, 14, kTabStop},
};

constexpr std::uint32_t kModal = kPopup | kCaption | kSysMenu | kModalFrame;

const std::array kDialogs = {
    DialogTemplate{IDD_ABOUTBOX, "About Fernwell", 235, 55, kModal, 0, kAbout},
    DialogTemplate{IDD_FERNWELL_DIALOG, "Fern Well", 190, 115, kModal | kMinimizeBox | kVisible,
                   IDR_MENU, kMain},
    DialogTemplate{IDD_COMM_SETTINGS, "Comm Settings", 156, 58, kModal, 0, kCommSettings},
    // No system menu, so no close box: only Close and Escape hide it.
    DialogTemplate{IDD_TERMINAL, "Terminal", 186, 194, kPopup | kCaption | kModalFrame, 0,
                   kTerminal},
};

// 129: main menu.
constexpr std::array kMainMenu = {
    MenuItemTemplate{"Main", "Exit", ID_EXIT, kEnabled},
    MenuItemTemplate{"Device", "612", ID_DEVICE_612, kChecked},
    MenuItemTemplate{"Device", "642", ID_DEVICE_642, kEnabled},
    MenuItemTemplate{"Configuration", "Set Comm Port", ID_SET_COMM_PORT, kEnabled},
    MenuItemTemplate{"Configuration", "Parameters", ID_PARAMETERS, kEnabled},
    MenuItemTemplate{"Configuration", "Alarm Status", ID_ALARM_STATUS, kGrayed},
    MenuItemTemplate{"Configuration", "Flow Trend", ID_FLOW_TREND, kEnabled},
    MenuItemTemplate{"Configuration", nullptr, 0, kEnabled},
    MenuItemTemplate{"Configuration", "Save Settings to File...", ID_SAVE_SETTINGS, kEnabled},
    MenuItemTemplate{"Configuration", "Load Settings from File...", ID_LOAD_SETTINGS, kEnabled},
    MenuItemTemplate{"Configuration", "Compare Module with File...", ID_COMPARE_SETTINGS, kEnabled},
    MenuItemTemplate{"Configuration", "Commissioning Report...", ID_COMMISSIONING_REPORT, kEnabled},
    MenuItemTemplate{"Help", "WWW Tech Support", ID_WWW_SUPPORT, kEnabled},
    MenuItemTemplate{"Help", "Email Tech Support", ID_EMAIL_SUPPORT, kEnabled},
};

const std::array kMenus = {
    MenuTemplate{IDR_MENU, kMainMenu},
};

}  // namespace

// Template 139 (alarm status window) is in Templates139.cpp.
const DialogTemplate& AlarmStatusTemplate();
// Template 140 (flow trend window) is in TemplatesTrend.cpp.
const DialogTemplate& FlowTrendTemplate();
// Templates 131 (612 configuration) and 138 (calculator) are in Templates612.cpp.
const DialogTemplate& Config612Template();
const DialogTemplate& CalculateTemplate();
// Template 133 (640 configuration) is in Templates640.cpp.
const DialogTemplate& Config640Template();
// Templates 141 (settings compared) and 142 (report site) are in TemplatesRecords.cpp.
const DialogTemplate& CompareSettingsTemplate();
const DialogTemplate& ReportSiteTemplate();

const DialogTemplate* FindDialogTemplate(int id) {
    for (const auto& t : kDialogs) {
        if (t.id == id) {
            return &t;
        }
    }
    if (id == IDD_ALARM_STATUS) {
        return &AlarmStatusTemplate();
    }
    if (id == IDD_FLOW_TREND) {
        return &FlowTrendTemplate();
    }
    if (id == IDD_CONFIG_612) {
        return &Config612Template();
    }
    if (id == IDD_CALCULATE) {
        return &CalculateTemplate();
    }
    if (id == IDD_CONFIG_640) {
        return &Config640Template();
    }
    if (id == IDD_COMPARE_SETTINGS) {
        return &CompareSettingsTemplate();
    }
    if (id == IDD_REPORT_SITE) {
        return &ReportSiteTemplate();
    }
    return nullptr;
}

const MenuTemplate* FindMenuTemplate(int id) {
    for (const auto& m : kMenus) {
        if (m.id == id) {
            return &m;
        }
    }
    return nullptr;
}

}  // namespace res
