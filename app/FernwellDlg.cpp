#include "app/FernwellDlg.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

#include "app/AboutDlg.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/Bitmaps.h"
#include "ui/Colours.h"
#include "ui/MessageBox.h"

namespace {

// Pane 0 leaves this many pixels of the client width to pane 1.
constexpr int kConnectionPaneWidth = 160;

}  // namespace

CFernwellDlg::CFernwellDlg(QWidget* parent)
    : CDialog(IDD_FERNWELL_DIALOG, parent), icon_(ui::IconResource(IDR_MAINFRAME)) {
    // Message map, in the program's order. WM_PAINT and WM_QUERYDRAGICON need nothing here:
    // the window system draws the window icon of a minimized window itself.
    mapCommand(ID_SET_COMM_PORT, [this] { OnSetCommPort(); });
    mapCommand(ID_PARAMETERS, [this] { OnParameters(); });
    mapCommand(ID_DEVICE_642, [this] { OnDevice642(); });
    mapCommand(ID_DEVICE_612, [this] { OnDevice612(); });
    mapCommand(ID_WWW_SUPPORT, [this] { OnWwwSupport(); });
    mapCommand(ID_EMAIL_SUPPORT, [this] { OnEmailSupport(); });
    mapCommand(ID_SHOW_TERMINAL, [this] { OnShowTerminal(); });
    mapCommand(IDC_POLL_NOW, [this] { OnPollNow(); });
    mapCommand(IDC_AUTO_UPDATE, [this] { OnAutoUpdate(); });
    // WM_TIMER: OnTimer; WM_CTLCOLOR: OnCtlColor.
    mapCommand(ID_ALARM_STATUS, [this] { OnAlarmStatus(); });
}

CFernwellDlg::~CFernwellDlg() = default;

bool CFernwellDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The About item.
    const QString about = QString::fromUtf8(res::LoadString(IDS_ABOUTBOX));
    if (!about.isEmpty()) {
        AppendSystemMenuItem(IDM_ABOUTBOX, about);
    }

    setWindowIcon(icon_);

    // Status bar: pane 0 (activity) as wide as the client area less 160 pixels, pane 1
    // (connection) takes the rest.
    static const int indicators[] = {ID_SEPARATOR, IDS_OFFLINE};
    statusBar_.Create(this, AFX_IDW_STATUS_BAR);
    statusBar_.SetIndicators(indicators, 2);
    statusBar_.SetPaneInfo(0, ID_SEPARATOR, ui::StatusBar::kPaneNormal,
                           clientRect().width() - kConnectionPaneWidth);
    statusBar_.SetPaneInfo(1, IDS_OFFLINE, ui::StatusBar::kPaneStretch, 0);
    RepositionBars();
    statusBar_.SetPaneText(0, QString::fromUtf8(res::LoadString(IDS_IDLE)));
    statusBar_.SetPaneText(1, QString::fromUtf8(res::LoadString(IDS_OFFLINE)));

    background_ = ui::kWindowGreen;
    display_ = ui::kDisplayWhite;

    ui::SetBitmap(itemAs<QLabel>(IDC_BANNER), IDB_BANNER);

    terminalCreated_ = terminal_.Create(this);
    if (terminalCreated_) {
        terminal_.mainWindow = this;
    } else {
        ui::ShowMessageBox(this, QString::fromUtf8(res::kErrorCreatingTerminal));
    }

    // Select model 612 as the Device menu item does (port and model selection is not built
    // yet: for now this opens no port).
    OnDevice612();

    CheckDlgButton(IDC_AUTO_UPDATE, true);
    SetTimer(ID_TIMER_POLL, kPollIntervalMs, QStringLiteral("pollTimer"));
    return true;
}

void CFernwellDlg::OnCtlColor() {
    // Green with white text; the flow display white with black digits.
    ui::SetWindowColours(this, background_, QColor(Qt::white));
    if (QWidget* flow = item(IDC_FLOW_RATE)) {
        ui::SetDisplayColours(flow, display_, QColor(Qt::black));
    }
}

void CFernwellDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    }
}

void CFernwellDlg::OnWwwSupport() {
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(res::kWwwSupportUrl)));
}

void CFernwellDlg::OnEmailSupport() {
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(res::kEmailSupportUrl)));
}

void CFernwellDlg::OnShowTerminal() {
    if (CTerminalDlg* t = terminal()) {
        t->show();
    }
}

// --- Not built yet: port and device selection, polling, the configuration and alarm status
// windows. These handlers are connected to their commands and do nothing for now. ---

void CFernwellDlg::OnSetCommPort() {}

void CFernwellDlg::OnParameters() {}

void CFernwellDlg::OnDevice642() {}

void CFernwellDlg::OnDevice612() {}

void CFernwellDlg::OnPollNow() {}

void CFernwellDlg::OnAutoUpdate() {}

void CFernwellDlg::OnAlarmStatus() {}

void CFernwellDlg::OnTimer(int /*id*/) {}
