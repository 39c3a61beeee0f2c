// Templates 141 (settings compared) and 142 (the commissioning report's site). Found through
// FindDialogTemplate (Templates.cpp).

#include <array>

#include "res/Templates.h"
#include "texts/Resource.h"

namespace res {
namespace {

using K = ControlKind;

constexpr std::uint32_t kEditBorder = kBorder | kClientEdge;
constexpr std::uint32_t kLineEdit = kEditBorder | kAutoHScroll | kTabStop;
constexpr std::uint32_t kModal = kPopup | kCaption | kSysMenu | kModalFrame;

// 141: one line that says how many settings differ, the table below it (a table control
// covers the placeholder) and Close. Only Close takes Enter; Escape closes as well.
constexpr std::array kCompareSettings = {
    ControlTemplate{IDC_COMPARE_SUMMARY, K::Text, "", 7, 7, 346, 10, kNoPrefix},
    ControlTemplate{IDC_COMPARE_TABLE, K::Text, "", 7, 20, 346, 182, kNone},
    ControlTemplate{IDOK, K::DefPushButton, "&Close", 303, 208, 50, 14, kTabStop},
};

// 142: each edit follows the text that names it (its access key and its name for assistive
// tools). The note takes several lines: Enter there starts a new line, Tab leaves it.
constexpr std::array kReportSite = {
    ControlTemplate{IDC_STATIC, K::Text, "&Site:", 7, 9, 44, 8, kNone},
    ControlTemplate{IDC_REPORT_SITE, K::Edit, "", 54, 7, 166, 12, kLineEdit},
    ControlTemplate{IDC_STATIC, K::Text, "&Tag:", 7, 25, 44, 8, kNone},
    ControlTemplate{IDC_REPORT_TAG, K::Edit, "", 54, 23, 166, 12, kLineEdit},
    ControlTemplate{IDC_STATIC, K::Text, "T&echnician:", 7, 41, 44, 8, kNone},
    ControlTemplate{IDC_REPORT_TECHNICIAN, K::Edit, "", 54, 39, 166, 12, kLineEdit},
    ControlTemplate{IDC_STATIC, K::Text, "&Note:", 7, 57, 44, 8, kNone},
    ControlTemplate{IDC_REPORT_NOTE, K::Edit, "", 54, 55, 166, 48,
                    kMultiLine | kEditBorder | kVScroll | kTabStop},
    ControlTemplate{IDOK, K::DefPushButton, "&OK", 116, 111, 50, 14, kTabStop},
    ControlTemplate{IDCANCEL, K::PushButton, "&Cancel", 170, 111, 50, 14, kTabStop},
};

constexpr DialogTemplate kCompareSettingsDialog{
    IDD_COMPARE_SETTINGS, "Compare Module with File", 360, 229, kModal, 0, kCompareSettings};
constexpr DialogTemplate kReportSiteDialog{
    IDD_REPORT_SITE, "Commissioning Report", 227, 132, kModal, 0, kReportSite};

}  // namespace

const DialogTemplate& CompareSettingsTemplate() {
    return kCompareSettingsDialog;
}

const DialogTemplate& ReportSiteTemplate() {
    return kReportSiteDialog;
}

}  // namespace res
