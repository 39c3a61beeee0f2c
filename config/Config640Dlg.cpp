#include "config/Config640Dlg.h"

#include "link/Link.h"
#include "records/SettingsFile.h"
#include "rules/CalculateFormulas.h"
#include "texts/Resource.h"
#include "ui/MessageBox.h"

namespace {

// Edit texts are read into buffers of 128 characters.
constexpr std::size_t kNumberTextChars = 127;

ConfigDlgBase::Traits Traits640() {
    return {
        .family = Model::k640,
        // The set and release points take one decimal point, as K and offset do; "-" negates
        // K and offset only, and elsewhere does no more than replace a wholly selected text.
        .keys = {.onePointEdits = {IDC_K_FACTOR, IDC_OFFSET, IDC_HIGH_SET_POINT,
                                   IDC_HIGH_RELEASE_POINT, IDC_LOW_SET_POINT,
                                   IDC_LOW_RELEASE_POINT},
                 .signToggleEdits = {IDC_K_FACTOR, IDC_OFFSET}},
        // 1017 and 1024 to 1030: the alarm edits (the switches 1020 to 1023 lie between and
        // stay white on green); 1035 to 1038 and 1044: the sensor edits and lists.
        .displayControls = {IDC_HIGH_SET_POINT, IDC_HIGH_SET_DELAY, IDC_HIGH_RELEASE_POINT,
                            IDC_HIGH_RELEASE_DELAY, IDC_LOW_SET_POINT, IDC_LOW_SET_DELAY,
                            IDC_LOW_RELEASE_POINT, IDC_LOW_RELEASE_DELAY, IDC_K_FACTOR, IDC_OFFSET,
                            IDC_UNIT_OF_MEASURE, IDC_PIPE_LIST, IDC_TEE_LIST},
        // Above the buttons, below "Sensor Configuration".
        .progressArea = QRect(7, 144, 202, 18),
    };
}

QString SixDecimals(double value) {
    return QString::asprintf("%f", value);
}

double ReadNumber(const CDialog& dialog, int id) {
    return TextToDouble(dialog.GetDlgItemText(id).toStdString(), kNumberTextChars);
}

}  // namespace

const CConfig640Dlg::AlarmControls CConfig640Dlg::kHigh = {
    IDC_HIGH_ENABLE,    IDC_HIGH_LATCHED,       IDC_HIGH_SET_POINT, IDC_HIGH_RELEASE_POINT,
    IDC_HIGH_SET_DELAY, IDC_HIGH_RELEASE_DELAY, IDC_HIGH_SET_UNITS, IDC_HIGH_RELEASE_UNITS,
};
const CConfig640Dlg::AlarmControls CConfig640Dlg::kLow = {
    IDC_LOW_ENABLE,    IDC_LOW_LATCHED,       IDC_LOW_SET_POINT, IDC_LOW_RELEASE_POINT,
    IDC_LOW_SET_DELAY, IDC_LOW_RELEASE_DELAY, IDC_LOW_SET_UNITS, IDC_LOW_RELEASE_UNITS,
};

CConfig640Dlg::CConfig640Dlg(QWidget* parent) : ConfigDlgBase(IDD_CONFIG_640, Traits640(), parent) {
    // Message map, in the program's order. OK keeps the framework's default (end with OK);
    // the control colours are OnCtlColor, the key filter is installed by the base.
    MapCommand(IDC_SEND, [this] { OnSend(); });
    MapCommand(IDC_REFRESH, [this] { OnRefresh(); });
    MapCommand(IDC_DEFAULTS, [this] { OnDefaults(); });
    MapSensorControls();
    MapSelChange(IDC_UNIT_OF_MEASURE, [this] { ReadUnitSelection(); });
    MapCommand(IDC_HIGH_ENABLE, [this] { OnAlarmSwitch(kHigh, data_.highAlarmMode); });
    MapCommand(IDC_HIGH_LATCHED, [this] { OnAlarmSwitch(kHigh, data_.highAlarmMode); });
    MapCommand(IDC_LOW_ENABLE, [this] { OnAlarmSwitch(kLow, data_.lowAlarmMode); });
    MapCommand(IDC_LOW_LATCHED, [this] { OnAlarmSwitch(kLow, data_.lowAlarmMode); });
}

bool CConfig640Dlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillRowLists();
    OnDefaults();
    ReadAtOpen();
    return true;
}

void CConfig640Dlg::ReadAtOpen() {
    if (!preset) {
        OnRefresh();
        return;
    }
    RefreshRecord<CDevice640>(data_, [this](ModuleData640& read) {
        read = SettingsForUpload(*preset, read);
        ShowPresetCaption();
    });
}

SensorSettings CConfig640Dlg::HeldSensor() const {
    return {data_.kFactor, data_.offset, data_.SensorCode};
}

void CConfig640Dlg::SetHeldSensor(const SensorSettings& settings) {
    data_.kFactor = settings.kFactor;
    data_.offset = settings.offset;
    data_.SensorCode = settings.sensorCode;
}

void CConfig640Dlg::SetUnitLabels(const QString& unit) {
    for (int id : {kHigh.setUnits, kHigh.releaseUnits, kLow.setUnits, kLow.releaseUnits}) {
        SetDlgItemText(id, unit);
    }
}

void CConfig640Dlg::ShowAlarm(const AlarmControls& alarm, int mode, double setPoint,
                              double releasePoint, int setDelay, int releaseDelay) {
    const AlarmSwitches switches = SwitchesForMode(mode);
    CheckDlgButton(alarm.enable, switches.enabled);
    CheckDlgButton(alarm.latched, switches.latched);
    SetDlgItemText(alarm.setPoint, QString::asprintf("%0.0f", setPoint));
    SetDlgItemText(alarm.releasePoint, QString::asprintf("%0.0f", releasePoint));
    SetDlgItemText(alarm.setDelay, QString::number(setDelay));
    SetDlgItemText(alarm.releaseDelay, QString::number(releaseDelay));
    // A latched alarm stays on until the module is reset, so its release settings have no
    // use: they are greyed out while "Latched" is checked.
    for (int id : {alarm.releasePoint, alarm.releaseDelay}) {
        if (QWidget* edit = GetDlgItem(id)) {
            edit->setEnabled(!switches.latched);
        }
    }
}

void CConfig640Dlg::ShowSettings() {
    SetDlgItemText(IDC_K_FACTOR, SixDecimals(data_.kFactor));
    SetDlgItemText(IDC_OFFSET, SixDecimals(data_.offset));
    ShowSensorCode(data_.SensorCode);
    SetUnitLabels(QString::fromStdString(AlarmUnitLabel640(data_.SensorCode)));
    ShowAlarm(kHigh, data_.highAlarmMode, data_.highSetPoint, data_.highReleasePoint,
              data_.highSetDelay, data_.highReleaseDelay);
    ShowAlarm(kLow, data_.lowAlarmMode, data_.lowSetPoint, data_.lowReleasePoint, data_.lowSetDelay,
              data_.lowReleaseDelay);
}

void CConfig640Dlg::ReadUnitSelection() {
    data_.SensorCode = SensorCodeFromControls();
    SetUnitLabels(GetDlgItemText(IDC_UNIT_OF_MEASURE));
}

void CConfig640Dlg::OnAlarmSwitch(const AlarmControls& alarm, int& mode) {
    // Only the mode and the latch box change here; the release edits follow the latch at the
    // next ShowSettings.
    const AlarmSwitchResult result =
        ApplyAlarmSwitch({IsDlgButtonChecked(alarm.enable), IsDlgButtonChecked(alarm.latched)});
    mode = result.mode;
    CheckDlgButton(alarm.latched, result.latched);
}

void CConfig640Dlg::OnSend() {
    // A code built from a list without a selection reaches the module as garbage.
    if (RefuseUnsendable(CheckListsChosen(ReadSensorChoice()))) {
        return;
    }
    // A choice whose code the module would read as another number damages the module.
    if (RefuseUnsendable(CheckSensorChoice640(ReadSensorChoice()))) {
        return;
    }
    ModuleData640 edited = data_;
    edited.kFactor = ReadNumber(*this, IDC_K_FACTOR);
    edited.offset = ReadNumber(*this, IDC_OFFSET);
    edited.SensorCode = SensorCodeFromControls();
    edited.unitFactor = UnitFactor640(edited.SensorCode);
    edited.highSetDelay = GetDlgItemInt(IDC_HIGH_SET_DELAY);
    edited.highReleaseDelay = GetDlgItemInt(IDC_HIGH_RELEASE_DELAY);
    edited.lowSetDelay = GetDlgItemInt(IDC_LOW_SET_DELAY);
    edited.lowReleaseDelay = GetDlgItemInt(IDC_LOW_RELEASE_DELAY);
    edited.highSetPoint = ReadNumber(*this, IDC_HIGH_SET_POINT);
    edited.highReleasePoint = ReadNumber(*this, IDC_HIGH_RELEASE_POINT);
    edited.lowSetPoint = ReadNumber(*this, IDC_LOW_SET_POINT);
    edited.lowReleasePoint = ReadNumber(*this, IDC_LOW_RELEASE_POINT);

    // The pairs are checked whether or not their alarms are enabled. A pair in the wrong
    // order is put back to its defaults and nothing is sent; everything else just read stays
    // held and is shown again.
    if (const std::optional<RuleMessage> problem = CheckAlarmPairs(edited)) {
        data_ = edited;
        ui::ShowMessageBox(this, QString::fromStdString(problem->text),
                           QString::fromStdString(problem->caption), ui::kMbOk);
        ShowSettings();
        return;
    }
    // A number whose integer part is longer than the command carries would arrive as another
    // number: refuse before anything is disabled, sent or taken over.
    if (RefuseUnsendable(CheckSendable(edited))) {
        return;
    }

    data_ = edited;
    UploadRecord<CDevice640>(data_);
}

void CConfig640Dlg::OnRefresh() {
    RefreshRecord<CDevice640>(data_);
}

void CConfig640Dlg::OnDefaults() {
    ApplyDefaults640(data_);
    ShowSettings();
}
