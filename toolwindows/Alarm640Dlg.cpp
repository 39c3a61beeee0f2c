#include "toolwindows/Alarm640Dlg.h"

#include <QLabel>
#include <QTimer>
#include <utility>

#include "link/Link.h"
#include "protocol/Device.h"
#include "rules/AlarmStatus.h"
#include "rules/SensorRules.h"
#include "texts/Resource.h"
#include "texts/Strings.h"
#include "ui/Bitmaps.h"
#include "ui/Colours.h"
#include "ui/LinkBridge.h"

namespace {

// The controls of one alarm half.
struct AlarmControls {
    int enabledLamp;
    int activatedLamp;
    int waitActivateLamp;
    int waitReleaseLamp;
    int waitActivateTime;
    int waitReleaseTime;
    int latch;
    int setPoint;
    int setDelay;
    int releasePoint;
    int releaseDelay;
};

constexpr AlarmControls kHigh{
    IDC_HIGH_ENABLED_LAMP,        IDC_HIGH_ACTIVATED_LAMP,      IDC_HIGH_WAIT_ACTIVATE_LAMP,
    IDC_HIGH_WAIT_RELEASE_LAMP,   IDC_HIGH_WAIT_ACTIVATE_TIME,  IDC_HIGH_WAIT_RELEASE_TIME,
    IDC_HIGH_LATCH_VALUE,         IDC_HIGH_SET_POINT_VALUE,     IDC_HIGH_SET_DELAY_VALUE,
    IDC_HIGH_RELEASE_POINT_VALUE, IDC_HIGH_RELEASE_DELAY_VALUE,
};

constexpr AlarmControls kLow{
    IDC_LOW_ENABLED_LAMP,        IDC_LOW_ACTIVATED_LAMP,      IDC_LOW_WAIT_ACTIVATE_LAMP,
    IDC_LOW_WAIT_RELEASE_LAMP,   IDC_LOW_WAIT_ACTIVATE_TIME,  IDC_LOW_WAIT_RELEASE_TIME,
    IDC_LOW_LATCH_VALUE,         IDC_LOW_SET_POINT_VALUE,     IDC_LOW_SET_DELAY_VALUE,
    IDC_LOW_RELEASE_POINT_VALUE, IDC_LOW_RELEASE_DELAY_VALUE,
};

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

CAlarm640Dlg::CAlarm640Dlg(QWidget* parent) : CDialog(IDD_ALARM_STATUS, parent) {
    // Message map: WM_CTLCOLOR (OnCtlColor), WM_TIMER (OnTimer), and IDOK ("E&xit"), which is
    // left to the framework's own OK handling: it ends the run.
}

CAlarm640Dlg::~CAlarm640Dlg() {
    if (link != nullptr) {
        link->AbandonAndWait();  // no query of this window outlives it
    }
}

bool CAlarm640Dlg::OnInitDialog() {
    CDialog::OnInitDialog();
    referenceLoaded = 0;
    // Every lamp grey but Comm Error, which stays empty until the first read sets it.
    for (int lamp :
         {IDC_RETRIEVING_LAMP, IDC_HIGH_ENABLED_LAMP, IDC_HIGH_ACTIVATED_LAMP,
          IDC_HIGH_WAIT_ACTIVATE_LAMP, IDC_HIGH_WAIT_RELEASE_LAMP, IDC_LOW_ENABLED_LAMP,
          IDC_LOW_ACTIVATED_LAMP, IDC_LOW_WAIT_ACTIVATE_LAMP, IDC_LOW_WAIT_RELEASE_LAMP}) {
        SetLamp(lamp, IDB_LAMP_GREY);
    }
    const std::pair<int, const char*> meanings[] = {
        {IDC_RETRIEVING_LAMP, "Retrieving data"},
        {IDC_COMM_ERROR_LAMP, "Comm error"},
        {IDC_HIGH_ENABLED_LAMP, "High alarm enabled"},
        {IDC_HIGH_ACTIVATED_LAMP, "High alarm activated"},
        {IDC_HIGH_WAIT_ACTIVATE_LAMP, "High alarm waiting to activate"},
        {IDC_HIGH_WAIT_RELEASE_LAMP, "High alarm waiting to release"},
        {IDC_LOW_ENABLED_LAMP, "Low alarm enabled"},
        {IDC_LOW_ACTIVATED_LAMP, "Low alarm activated"},
        {IDC_LOW_WAIT_ACTIVATE_LAMP, "Low alarm waiting to activate"},
        {IDC_LOW_WAIT_RELEASE_LAMP, "Low alarm waiting to release"},
    };
    for (const auto& [lamp, meaning] : meanings) {
        if (auto* label = GetDlgItemAs<QLabel>(lamp)) {
            ui::NameLamp(label, QString::fromUtf8(meaning));
        }
    }
    ReadAlarmReference();
    SetTimer(ID_TIMER_ALARM_STATUS, kAlarmStatusIntervalMs, QStringLiteral("alarmStatusTimer"));
    return true;
}

void CAlarm640Dlg::OnTimer(int id) {
    if (id == ID_TIMER_ALARM_STATUS && pending_ == 0) {
        if (!referenceLoaded) {
            ReadAlarmReference();
        }
        RefreshAlarmStatus();
    }
    CDialog::OnTimer(id);
}

void CAlarm640Dlg::done(int result) {
    KillTimer(ID_TIMER_ALARM_STATUS);
    CDialog::done(result);
}

void CAlarm640Dlg::SetLamp(int control, int bitmap) {
    if (auto* lamp = GetDlgItemAs<QLabel>(control)) {
        ui::SetBitmap(lamp, bitmap);
    }
}

void CAlarm640Dlg::ShowCommError() {
    SetLamp(IDC_COMM_ERROR_LAMP, IDB_LAMP_RED);
}

void CAlarm640Dlg::ReadAlarmReference() {
    if (link == nullptr) {
        ShowCommError();
        return;
    }
    ++pending_;
    link->Run([this](CSerialPort& port, const int& online) {
        ModuleData640 data;
        const bool ok = CDevice640(port, online).ReadAll(data) == kLinkOk;
        ui::OnWindowThread(this, [this, ok, data] { ShowReference(ok, data); });
    });
}

void CAlarm640Dlg::ShowReference(bool ok, const ModuleData640& data) {
    --pending_;
    if (onFlowReading) {
        trend::FlowReading reading;
        reading.ok = ok;
        if (ok) {
            reading.flow = data.flowRate;
            reading.sensorCode = data.SensorCode;
            reading.points = AlarmPointsOf(data);
        }
        onFlowReading(reading);
    }
    if (!ok) {
        ShowCommError();
        return;
    }
    SetDlgItemText(IDC_STATUS_FLOW_RATE, Text(FlowRateText(data.flowRate)));
    // The unit the module reports, as the main window shows it (the template's "gal/min." is
    // only what shows before the first read).
    SetDlgItemText(IDC_STATUS_FLOW_UNITS,
                   Text(RateUnitLabel(Model::k640, data.SensorCode).value_or("")));
    const struct {
        const AlarmControls& controls;
        AlarmReferenceView view;
    } halves[] = {
        {kHigh, InterpretAlarmReference(data.highAlarmMode, data.highSetPoint, data.highSetDelay,
                                        data.highReleasePoint, data.highReleaseDelay)},
        {kLow, InterpretAlarmReference(data.lowAlarmMode, data.lowSetPoint, data.lowSetDelay,
                                       data.lowReleasePoint, data.lowReleaseDelay)},
    };
    for (const auto& half : halves) {
        SetLamp(half.controls.enabledLamp, half.view.enabled ? IDB_LAMP_GREEN : IDB_LAMP_GREY);
        SetDlgItemText(half.controls.latch,
                       QString::fromUtf8(half.view.latched ? res::kLatchYes : res::kLatchNo));
        SetDlgItemText(half.controls.setPoint, Text(half.view.setPoint));
        SetDlgItemText(half.controls.setDelay, Text(half.view.setDelay));
        SetDlgItemText(half.controls.releasePoint, Text(half.view.releasePoint));
        SetDlgItemText(half.controls.releaseDelay, Text(half.view.releaseDelay));
    }
    SetLamp(IDC_COMM_ERROR_LAMP, IDB_LAMP_GREY);
    referenceLoaded = 1;
}

void CAlarm640Dlg::ShowAlarmStatus(bool high, std::uint32_t status) {
    const AlarmControls& c = high ? kHigh : kLow;
    const AlarmStatusView view = InterpretAlarmStatus(status);
    SetLamp(c.activatedLamp, view.activated ? IDB_LAMP_RED : IDB_LAMP_GREY);
    SetLamp(c.waitActivateLamp, view.waitingToActivate ? IDB_LAMP_ORANGE : IDB_LAMP_GREY);
    SetLamp(c.waitReleaseLamp, view.waitingToRelease ? IDB_LAMP_ORANGE : IDB_LAMP_GREY);
    SetDlgItemText(c.waitActivateTime, Text(view.waitActivateTime));
    SetDlgItemText(c.waitReleaseTime, Text(view.waitReleaseTime));
}

void CAlarm640Dlg::RefreshAlarmStatus() {
    // Blue while the queries run. A failed query leaves it blue (and everything not yet
    // updated as it was) until a later refresh gets through.
    SetLamp(IDC_RETRIEVING_LAMP, IDB_LAMP_BLUE);
    if (link == nullptr) {
        ShowCommError();
        return;
    }
    ++pending_;
    link->Run([this](CSerialPort& port, const int& online) {
        CDevice640 device(port, online);
        StatusReading r;
        if (device.ReadHighStatus(r.high) == kLinkOk) {
            r.completed = 1;
            if (device.ReadLowStatus(r.low) == kLinkOk) {
                r.completed = 2;
                if (device.ReadFlow(r.flow) == kLinkOk) {
                    r.completed = 3;
                }
            }
        }
        ui::OnWindowThread(this, [this, r] { ShowStatus(r); });
    });
}

void CAlarm640Dlg::ShowStatus(const StatusReading& r) {
    --pending_;
    if (r.completed >= 1) {
        ShowAlarmStatus(true, r.high);
    }
    if (r.completed >= 2) {
        ShowAlarmStatus(false, r.low);
    }
    if (onFlowReading) {
        // Without its "f" the refresh read no flow: a gap in the trend.
        trend::FlowReading reading;
        reading.ok = r.completed >= 3;
        if (reading.ok) {
            reading.flow = r.flow;
            reading.highActivated = trend::ActivatedFlag(r.high);
            reading.lowActivated = trend::ActivatedFlag(r.low);
        }
        onFlowReading(reading);
    }
    if (r.completed < 3) {
        ShowCommError();
        return;
    }
    SetDlgItemText(IDC_STATUS_FLOW_RATE, Text(FlowRateText(r.flow)));
    SetLamp(IDC_RETRIEVING_LAMP, IDB_LAMP_GREY);
    SetLamp(IDC_COMM_ERROR_LAMP, IDB_LAMP_GREY);
}

void CAlarm640Dlg::OnCtlColor() {
    if (colours == nullptr) {
        return;
    }
    // White text on the main window's green for the window and every control, the value boxes
    // included; only the flow rate box is black on the main window's white.
    ui::SetWindowColours(this, colours->background, QColor(Qt::white));
    if (QWidget* flow = GetDlgItem(IDC_STATUS_FLOW_RATE)) {
        ui::SetDisplayColours(flow, colours->display, QColor(Qt::black));
    }
}
