// Template 140, the flow trend window. Found through FindDialogTemplate (Templates.cpp).

#include <array>

#include "res/Templates.h"
#include "texts/Resource.h"

namespace res {
namespace {

using K = ControlKind;

constexpr std::array kFlowTrend = {
    ControlTemplate{IDC_STATIC, K::Text, "S&pan:", 7, 9, 20, 8, kNone},
    ControlTemplate{IDC_TREND_SPAN, K::DropList, "", 30, 7, 52, 60, kVScroll | kTabStop},
    ControlTemplate{IDC_TREND_SAVE_CSV, K::PushButton, "&Save CSV...", 250, 6, 60, 14, kTabStop},
    ControlTemplate{IDC_TREND_LOG, K::PushButton, "&Log to file...", 314, 6, 60, 14, kTabStop},
    ControlTemplate{IDC_TREND_PLOT, K::Text, "", 7, 25, 367, 160, kNone},
    ControlTemplate{IDOK, K::DefPushButton, "&Close", 324, 190, 50, 14, kTabStop},
};

// Modeless, hidden until the menu shows it; the close box hides it as Close does. The user
// sizes and maximises it (a long span wants the screen's width); this size is its smallest.
constexpr std::uint32_t kStyle =
    kPopup | kCaption | kSysMenu | kMinimizeBox | kMaximizeBox | kThickFrame;
constexpr DialogTemplate kFlowTrendDialog{IDD_FLOW_TREND, "Flow Trend", 381, 210, kStyle, 0,
                                          kFlowTrend};

}  // namespace

const DialogTemplate& FlowTrendTemplate() {
    return kFlowTrendDialog;
}

}  // namespace res
