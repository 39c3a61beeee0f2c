#include "app/FernwellDlg.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "app/AboutDlg.h"
#include "app/NoPortMessage.h"
#include "app/SystemMenu.h"
#include "config/Config612Dlg.h"
#include "config/Config640Dlg.h"
#include "protocol/Device.h"
#include "rules/SensorRules.h"
#include "store/StoredPort.h"
#include "texts/Resource.h"
#include "texts/Strings.h"
#include "toolwindows/Alarm640Dlg.h"
#include "toolwindows/CommDialog.h"
#include "ui/Bitmaps.h"
#include "ui/Colours.h"
#include "ui/LinkBridge.h"
#include "ui/MessageBox.h"

namespace {

// Pane 0 leaves this many pixels of the client width to pane 1.
constexpr int kConnectionPaneWidth = 160;

// The port opened when none is stored.
constexpr int kDefaultPort = 1;

// Bits 15 to 8 of a status word: the alarm is activated. Bits 7 to 0 only say a delay is
// running, which does not light the main window's lamp.
constexpr std::uint32_t kActivatedBits = 0xFF00;

// Mended: the write of the chosen port failed, so OpenPort is about to read back the stored
// port (or 1) and the choice is lost. Said before that happens.
// Pane 1 while the link looks for a port that went away (pane 0 keeps "Comm Error").
constexpr const char* kStatusPortGone = "Offline - COM%d: (port gone)";
// The support commands where the system has no program for the address.
constexpr const char* kNoProgramForAddress =
    "No program on this computer opens this address. Copy it from here:\n\n%1";

constexpr const char* kPortNotSaved =
    "The port setting could not be saved, so the choice of COM%1: is lost.\n"
    "The port stored before (or COM1:) is opened instead.";

}  // namespace

CFernwellDlg::CFernwellDlg(QWidget* parent)
    : CDialog(IDD_FERNWELL_DIALOG, parent), icon_(ui::IconResource(IDR_MAINFRAME)) {
    // Message map, in the program's order. WM_PAINT and WM_QUERYDRAGICON need nothing here:
    // the window system draws the window icon of a minimized window itself.
    MapCommand(ID_SET_COMM_PORT, [this] { OnSetCommPort(); });
    MapCommand(ID_PARAMETERS, [this] { OnParameters(); });
    MapCommand(ID_DEVICE_642, [this] { SelectModel642(); });
    MapCommand(ID_DEVICE_612, [this] { SelectModel612(); });
    MapCommand(ID_WWW_SUPPORT, [this] { OnWwwSupport(); });
    MapCommand(ID_EMAIL_SUPPORT, [this] { OnEmailSupport(); });
    MapCommand(ID_SHOW_TERMINAL, [this] { OnShowTerminal(); });
    MapCommand(IDC_POLL_NOW, [this] { OnPollNow(); });
    MapCommand(IDC_AUTO_UPDATE, [this] { OnAutoUpdate(); });
    // WM_TIMER: OnTimer; WM_CTLCOLOR: OnCtlColor.
    MapCommand(ID_ALARM_STATUS, [this] { OnAlarmStatus(); });
    MapCommand(ID_FLOW_TREND, [this] { OnFlowTrend(); });
    MapCommand(ID_SAVE_SETTINGS, [this] { OnSaveSettings(); });
    MapCommand(ID_LOAD_SETTINGS, [this] { OnLoadSettings(); });
    MapCommand(ID_COMPARE_SETTINGS, [this] { OnCompareSettings(); });
    MapCommand(ID_COMMISSIONING_REPORT, [this] { OnCommissioningReport(); });

    link_.SetStatusObserver([this](const Link::Status& status) {
        ui::OnWindowThread(this, [this, status] { OnLinkStatus(status); });
    });
}

CFernwellDlg::~CFernwellDlg() {
    // Nothing the link does may reach the window once it goes: no status, no reading.
    link_.SetStatusObserver({});
    link_.AbandonAndWait();
}

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
                           GetClientRect().width() - kConnectionPaneWidth);
    statusBar_.SetPaneInfo(1, IDS_OFFLINE, ui::StatusBar::kPaneStretch, 0);
    RepositionBars();
    statusBar_.SetPaneText(0, QString::fromUtf8(res::LoadString(IDS_IDLE)));
    statusBar_.SetPaneText(1, QString::fromUtf8(res::LoadString(IDS_OFFLINE)));

    palette_ = ui::Palette{};

    ui::NameLamp(GetDlgItemAs<QLabel>(IDC_HIGH_ALARM_LAMP), QStringLiteral("High alarm activated"));
    ui::NameLamp(GetDlgItemAs<QLabel>(IDC_LOW_ALARM_LAMP), QStringLiteral("Low alarm activated"));

    // The banner control takes the image's size. Where the dialog font makes its rectangle
    // narrower or wider than the image (Tahoma under Wine), the image stays centred where the
    // layout put the rectangle, rather than hanging from its left edge.
    if (QLabel* banner = GetDlgItemAs<QLabel>(IDC_BANNER)) {
        const int centre = banner->geometry().center().x();
        ui::SetBitmap(banner, IDB_BANNER);
        banner->move(centre - banner->width() / 2, banner->y());
    }

    terminalCreated_ = terminal_.Create(this);
    if (terminalCreated_) {
        terminal_.colours = &palette_;
    } else {
        ui::ShowMessageBox(this, QString::fromUtf8(res::kErrorCreatingTerminal));
    }
    trend_.colours = &palette_;
    trend_.unitLabel = [](Model model, int code) -> std::optional<std::string> {
        // As the main window's label: the 640's is emptied for a code without an entry, the
        // 612's keeps what it shows.
        if (model == Model::k640) {
            return RateUnitLabel(Model::k640, code).value_or("");
        }
        return RateUnitLabel(Model::k612, code);
    };
    trendCreated_ = trend_.Create(this);

    // Model 612 as the Device menu item selects it; this opens the stored port, before the
    // poll timer starts, so the first tick finds the port online or offline, never half-open.
    SelectModel612();

    CheckDlgButton(IDC_AUTO_UPDATE, true);
    SetTimer(ID_TIMER_POLL, kPollIntervalMs, QStringLiteral("pollTimer"));
    return true;
}

void CFernwellDlg::OnCtlColor() {
    // Green with white text; the flow display white with black digits.
    ui::SetWindowColours(this, palette_.background, QColor(Qt::white));
    if (QWidget* flow = GetDlgItem(IDC_FLOW_RATE)) {
        ui::SetDisplayColours(flow, palette_.display, QColor(Qt::black));
    }
}

void CFernwellDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        AboutDlg about;
        about.DoModal();
    }
}

void CFernwellDlg::OnWwwSupport() {
    OpenSupportAddress(res::kWwwSupportUrl);
}

void CFernwellDlg::OnEmailSupport() {
    OpenSupportAddress(res::kEmailSupportUrl);
}

void CFernwellDlg::OpenSupportAddress(const char* address) {
    const QUrl url(QString::fromUtf8(address));
    if (openUrl ? openUrl(url) : QDesktopServices::openUrl(url)) {
        return;
    }
    // No browser or mail program is set up: the address in a box, to be copied from there.
    const QString shown = url.scheme() == QLatin1String("mailto") ? url.path() : url.toString();
    ui::ShowMessageBox(this, QString::fromUtf8(kNoProgramForAddress).arg(shown),
                       QString::fromUtf8(res::kAppTitle),
                       ui::kMbOk | ui::kMbIconInformation | ui::kMbSelectableText);
}

void CFernwellDlg::OnShowTerminal() {
    if (CTerminalDlg* t = terminal()) {
        t->show();
    }
}

bool CFernwellDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    int command = 0;
    if (NativeSystemCommand(message, &command) && (command & 0xFFF0) == IDM_ABOUTBOX) {
        OnSysCommand(command);
        *result = 0;
        return true;
    }
    return CDialog::nativeEvent(eventType, message, result);
}

void CFernwellDlg::AppendSystemMenuItem(int id, const QString& text) {
    if (AppendNativeSystemMenuItem(static_cast<std::uintptr_t>(winId()), id, text.toStdWString())) {
        return;
    }
    // No system menu here: the item closes the "Help" menu, after a separator, and sends the
    // same system command.
    QMenuBar* bar = MenuBar();
    if (!bar || bar->actions().isEmpty()) {
        return;
    }
    QMenu* help = bar->actions().last()->menu();
    if (!help) {
        return;
    }
    help->addSeparator();
    QAction* about = help->addAction(text);
    about->setObjectName(QStringLiteral("systemCommand%1").arg(id));
    connect(about, &QAction::triggered, this, [this, id] { OnSysCommand(id); });
}

// --- Port and device selection ---------------------------------------------------------------

void CFernwellDlg::OpenPort() {
    link_.Close();
    online = 0;
    setStatusText(1, QString::fromUtf8(res::kStatusOffline));

    // The stored port; 1 when the key cannot be made or the value is missing.
    portNumber = ReadStoredPort(kDefaultPort);

    std::vector<unsigned> ports;
    EnumerateComPorts(ports);
    if (ports.empty()) {
        // Nothing to fall back to: say where the program looked and stay offline.
        ui::ShowMessageBox(this, QString::fromStdString(NoPortMessage()),
                           QString::fromUtf8(res::kErrorOpeningPortCaption),
                           ui::kMbOk | ui::kMbIconExclamation);
        return;
    }
    if (std::find(ports.begin(), ports.end(), static_cast<unsigned>(portNumber)) == ports.end()) {
        // The stored setting stays as it is: the first port stands in until the next open.
        const int first = static_cast<int>(ports.front());
        ui::ShowMessageBox(this, QString::asprintf(res::kPortMissing, portNumber, first));
        portNumber = first;
    }

    // The open (with its 500 ms pause) runs on the link's thread; pane 1 follows the link's
    // status, and a failure is said once the result is back.
    const int number = portNumber;
    link_.Open(number, BaudRateOf(model), [this, number](int result, const std::string& text) {
        ui::OnWindowThread(this,
                           [this, number, result, text] { OnOpenDone(number, result, text); });
    });
}

void CFernwellDlg::OnOpenDone(int number, int result, const std::string& errorText) {
    if (result == CSerialPort::kOpenOk) {
        return;
    }
    ui::ShowMessageBox(this, QString::asprintf(res::kErrorOpeningPort, number, errorText.c_str()),
                       QString::fromUtf8(res::kErrorOpeningPortCaption),
                       ui::kMbOk | ui::kMbIconExclamation);
}

void CFernwellDlg::OnLinkStatus(const Link::Status& status) {
    online = status.online ? 1 : 0;
    if (status.online) {
        setStatusText(1, QString::asprintf(res::kStatusOnline, status.portNumber, status.baud));
    } else if (status.gone) {
        setStatusText(1, QString::asprintf(kStatusPortGone, status.portNumber));
        ShowStale(3);
    } else {
        setStatusText(1, QString::fromUtf8(res::kStatusOffline));
    }
}

void CFernwellDlg::OnSetCommPort() {
    CCommDialog dlg;
    dlg.portNumber = portNumber;
    if (dlg.DoModal() != IDOK) {
        return;
    }
    portNumber = dlg.portNumber;
    if (!WriteStoredPort(portNumber)) {
        ui::ShowMessageBox(this, QString::fromUtf8(kPortNotSaved).arg(portNumber), QString(),
                           ui::kMbOk | ui::kMbIconExclamation);
    }
    // Reads the port back from the settings: after a failed write the stored one is used.
    OpenPort();
}

void CFernwellDlg::SelectModel612() {
    CheckMenuItem(ID_DEVICE_612, true);
    CheckMenuItem(ID_DEVICE_642, false);
    EnableMenuItem(ID_ALARM_STATUS, false);
    for (int id :
         {IDC_HIGH_ALARM_LABEL, IDC_HIGH_ALARM_LAMP, IDC_LOW_ALARM_LABEL, IDC_LOW_ALARM_LAMP}) {
        ShowItem(id, false);
    }
    model = Model::k612;
    trend_.SetModel(model);
    // Always reopened, also for the model already selected: the rate follows the model.
    OpenPort();
}

void CFernwellDlg::SelectModel642() {
    CheckMenuItem(ID_DEVICE_612, false);
    CheckMenuItem(ID_DEVICE_642, true);
    EnableMenuItem(ID_ALARM_STATUS, true);
    for (int id :
         {IDC_HIGH_ALARM_LABEL, IDC_HIGH_ALARM_LAMP, IDC_LOW_ALARM_LABEL, IDC_LOW_ALARM_LAMP}) {
        ShowItem(id, true);
    }
    ui::SetBitmap(GetDlgItemAs<QLabel>(IDC_HIGH_ALARM_LAMP), IDB_LAMP_GREY);
    ui::SetBitmap(GetDlgItemAs<QLabel>(IDC_LOW_ALARM_LAMP), IDB_LAMP_GREY);
    model = Model::k640;
    trend_.SetModel(model);
    OpenPort();
}

// --- Polling ---------------------------------------------------------------------------------

void CFernwellDlg::OnPollNow() {
    Poll();
}

void CFernwellDlg::OnAutoUpdate() {
    if (IsDlgButtonChecked(IDC_AUTO_UPDATE)) {
        // Starting it again restarts the period from now.
        SetTimer(ID_TIMER_POLL, kPollIntervalMs, QStringLiteral("pollTimer"));
    } else {
        KillTimer(ID_TIMER_POLL);
    }
}

void CFernwellDlg::OnTimer(int id) {
    // While a configuration dialog or the alarm status window talks to the module, the tick
    // sends nothing.
    if (id == ID_TIMER_POLL && !busy) {
        Poll();
    }
    CDialog::OnTimer(id);
}

void CFernwellDlg::SetActivity(const char* text) {
    setStatusText(0, QString::fromUtf8(text));
}

void CFernwellDlg::Poll() {
    // One poll at a time: a tick that comes while the last poll is on the line sends nothing.
    if (pollRunning_) {
        return;
    }
    SetActivity(res::kStatusRetrieving);
    // Painted now, so it is seen even when the answer (an offline port) comes at once.
    if (QWidget* pane = statusBar_.pane(0)) {
        pane->repaint();
    }
    if (model != Model::k612 && model != Model::k640) {
        SetActivity(res::kStatusIdle);
        return;
    }
    pollRunning_ = true;
    const Model polled = model;
    link_.Run([this, polled](CSerialPort& port, const int& isOnline) {
        const PollReading reading = PollModule(polled, port, isOnline);
        ui::OnWindowThread(this, [this, reading] { ShowPoll(reading); });
    });
}

// Each step stops at the first failed query; what is already shown stays.
void CFernwellDlg::ShowPoll(const PollReading& r) {
    pollRunning_ = false;
    // A reading of the model selected before the last change belongs to no trend.
    if (r.model == model) {
        AddTrendReading(trend::FlowReadingOf(r));
    }
    if (r.completed >= 1) {
        ShowRate(r.flowRate);
    }
    if (r.model == Model::k612 && r.Complete()) {
        // No entry for the code (a type digit beyond 2, a unit the table lacks): the label
        // keeps what it shows.
        if (const auto label = RateUnitLabel(Model::k612, r.sensorCode)) {
            SetDlgItemText(IDC_FLOW_UNITS, QString::fromStdString(*label));
        }
    }
    if (r.model == Model::k640) {
        if (r.completed >= 2) {
            SetAlarmLamp(IDC_HIGH_ALARM_LAMP, r.highStatus);
        }
        if (r.completed >= 3) {
            SetAlarmLamp(IDC_LOW_ALARM_LAMP, r.lowStatus);
            // The 640's label is emptied for a code it has no entry for.
            SetDlgItemText(
                IDC_FLOW_UNITS,
                QString::fromStdString(RateUnitLabel(Model::k640, r.sensorCode).value_or("")));
        }
    }
    SetActivity(r.Complete() ? res::kStatusIdle : res::kStatusCommError);
    // A module that is gone (its port with it) leaves only last readings.
    ShowStale(!online ? 3 : r.Complete() ? 0 : 3 - std::clamp(r.completed, 0, 3));
}

void CFernwellDlg::ShowStale(int steps) {
    // The poll reads the rate, then the high status, then the low status; the last `steps`
    // of them were not read, so what they show is the last reading.
    ui::SetStale(GetDlgItemAs<QLabel>(IDC_FLOW_RATE), steps >= 3);
    ui::SetStale(GetDlgItemAs<QLabel>(IDC_HIGH_ALARM_LAMP), steps >= 2);
    ui::SetStale(GetDlgItemAs<QLabel>(IDC_LOW_ALARM_LAMP), steps >= 1);
}

void CFernwellDlg::ShowRate(double flowRate) {
    SetDlgItemText(IDC_FLOW_RATE, QString::asprintf("%0.2f", flowRate));
}

void CFernwellDlg::SetAlarmLamp(int id, std::uint32_t status) {
    // Setting the image a lamp already shows costs nothing, so every poll may set both.
    ui::SetBitmap(GetDlgItemAs<QLabel>(id),
                  (status & kActivatedBits) ? IDB_LAMP_RED : IDB_LAMP_GREY);
}

// --- The modal windows that talk to the module ----------------------------------------------
// While one runs, `busy` keeps the poll timer's ticks off the line.

void CFernwellDlg::OnParameters() {
    // A read for a settings file or a report is still on the line.
    if (busy) {
        return;
    }
    busy = 1;
    if (model == Model::k640) {
        CConfig640Dlg dlg;
        dlg.link = &link_;
        dlg.colours = &palette_;
        dlg.DoModal();
    } else {
        CConfig612Dlg dlg;
        dlg.link = &link_;
        dlg.colours = &palette_;
        dlg.DoModal();
    }
    busy = 0;
}

void CFernwellDlg::OnAlarmStatus() {
    if (busy) {
        return;
    }
    busy = 1;
    // The menu item is grayed for the 612; the command itself checks again.
    if (model == Model::k640) {
        CAlarm640Dlg dlg;
        dlg.link = &link_;
        dlg.colours = &palette_;
        dlg.onFlowReading = [this](const trend::FlowReading& r) { AddTrendReading(r); };
        dlg.DoModal();
    }
    busy = 0;
}

// --- The flow trend --------------------------------------------------------------------------

void CFernwellDlg::OnFlowTrend() {
    if (FlowTrendDlg* t = flowTrend()) {
        t->show();
        t->raise();
        t->activateWindow();
    }
}

void CFernwellDlg::AddTrendReading(const trend::FlowReading& reading) {
    if (trendCreated_) {
        trend_.AddReading(reading);
    }
}
