#include "config/Config612Dlg.h"

#include <QComboBox>

#include "link/Link.h"
#include "records/SettingsFile.h"
#include "rules/CalculateFormulas.h"
#include "texts/Resource.h"

namespace {

// Edit texts are read into buffers of 128 characters.
constexpr std::size_t kNumberTextChars = 127;

ConfigDlgBase::Traits Traits612() {
    return {
        .family = Model::k612,
        .keys = {.onePointEdits = {IDC_K_FACTOR, IDC_OFFSET},
                 .signToggleEdits = {IDC_K_FACTOR, IDC_OFFSET}},
        .displayControls = {IDC_PULSE_UNITS, IDC_PULSE_WIDTH, IDC_K_FACTOR, IDC_OFFSET,
                            IDC_UNIT_OF_MEASURE, IDC_PIPE_LIST, IDC_PULSE_VALUE, IDC_TEE_LIST},
        // Below "Defaults", in the button column.
        .progressArea = QRect(217, 82, 50, 22),
    };
}

QString SixDecimals(double value) {
    return QString::asprintf("%f", value);
}

}  // namespace

CConfig612Dlg::CConfig612Dlg(QWidget* parent) : ConfigDlgBase(IDD_CONFIG_612, Traits612(), parent) {
    // Message map, in the program's order. OK keeps the framework's default (end with OK);
    // the control colours are OnCtlColor, the key filter is installed by the base.
    MapCommand(IDC_SEND, [this] { OnSend(); });
    MapCommand(IDC_REFRESH, [this] { OnRefresh(); });
    MapCommand(IDC_DEFAULTS, [this] { OnDefaults(); });
    MapSensorControls();
    MapSelChange(IDC_UNIT_OF_MEASURE, [this] { ReadUnitSelection(); });
}

bool CConfig612Dlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillRowLists();

    std::vector<QString> widths;
    for (const std::string& width : PulseWidthTexts()) {
        widths.push_back(QString::fromStdString(width));
    }
    FillList(IDC_PULSE_WIDTH, widths);
    SelectListIndex(IDC_PULSE_WIDTH, 0);
    std::vector<QString> units;
    for (const char* unit : PulseUnitList(SensorType::Insertion)) {
        units.push_back(QString::fromUtf8(unit));
    }
    FillList(IDC_PULSE_UNITS, units);
    SelectListIndex(IDC_PULSE_UNITS, 0);

    ApplyDefaults612(data_);
    ShowSettings();
    ReadAtOpen();
    return true;
}

void CConfig612Dlg::ReadAtOpen() {
    if (!preset) {
        OnRefresh();
        return;
    }
    RefreshRecord<CDevice612>(data_, [this](ModuleData612& read) {
        read = SettingsForUpload(*preset, read);
        // The record gives the pulse unit as the upload sends it; the dialog holds the form a
        // read gives (see PulseUnitSentCode), which ShowSettings decodes.
        read.PulseUnitCode = PulseUnitHeldFromSent(read.PulseUnitCode);
        ShowPresetCaption();
    });
}

SensorSettings CConfig612Dlg::HeldSensor() const {
    return {data_.kFactor, data_.offset, data_.SensorCode};
}

void CConfig612Dlg::SetHeldSensor(const SensorSettings& settings) {
    data_.kFactor = settings.kFactor;
    data_.offset = settings.offset;
    data_.SensorCode = settings.sensorCode;
}

void CConfig612Dlg::FillUnitLists(bool speedUnits) {
    ConfigDlgBase::FillUnitLists(speedUnits);
    std::vector<QString> units;
    for (const char* unit : PulseUnitList(speedUnits ? SensorType::Wind : SensorType::Insertion)) {
        units.push_back(QString::fromUtf8(unit));
    }
    FillList(IDC_PULSE_UNITS, units);
    SelectListIndex(IDC_PULSE_UNITS, 0);
}

// A wind sensor's pulse unit (km/h, mph) has no place in the flow list, nor a flow unit in the
// wind list: when the radio moves between them the new list's first unit is taken, as
// opening the dialog does, and held in the form the module reports it.
void CConfig612Dlg::AfterSensorType() {
    if (ListIndex(IDC_PULSE_UNITS) >= 0) {
        return;
    }
    SelectListIndex(IDC_PULSE_UNITS, 0);
    data_.PulseUnitCode =
        PulseUnitHeldFromSent(PulseUnitSentCode(0, IsDlgButtonChecked(IDC_SENSOR_WSS)));
}

void CConfig612Dlg::ShowSettings() {
    SetDlgItemText(IDC_K_FACTOR, SixDecimals(data_.kFactor));
    SetDlgItemText(IDC_OFFSET, SixDecimals(data_.offset));
    SetDlgItemText(IDC_PULSE_VALUE, SixDecimals(data_.pulseValue));
    SelectListIndex(IDC_PULSE_WIDTH, PulseWidthPosition(data_.pulseWidth));
    if (const std::optional<SensorChoice> shown = ShowSensorCode(data_.SensorCode)) {
        SelectListIndex(IDC_PULSE_UNITS,
                        PulseUnitPosition(data_.PulseUnitCode, shown->type == SensorType::Wind));
    }
}

void CConfig612Dlg::ReadUnitSelection() {
    data_.SensorCode = SensorCodeFromControls();
}

void CConfig612Dlg::OnSend() {
    // A code built from a list without a selection reaches the module as garbage.
    if (RefuseUnsendable(CheckListsChosen(ReadSensorChoice(), ListIndex(IDC_PULSE_UNITS),
                                          ListIndex(IDC_PULSE_WIDTH)))) {
        return;
    }
    ModuleData612 edited = data_;
    edited.kFactor = TextToDouble(GetDlgItemText(IDC_K_FACTOR).toStdString(), kNumberTextChars);
    edited.offset = TextToDouble(GetDlgItemText(IDC_OFFSET).toStdString(), kNumberTextChars);
    edited.SensorCode = SensorCodeFromControls();
    edited.pulseWidth = PulseWidthFromPosition(ListIndex(IDC_PULSE_WIDTH));
    edited.pulseValue =
        TextToDouble(GetDlgItemText(IDC_PULSE_VALUE).toStdString(), kNumberTextChars);
    // A number whose integer part is longer than the command carries would arrive as another
    // number: refuse before anything is disabled, sent or taken over.
    if (RefuseUnsendable(CheckSendable(edited))) {
        return;
    }

    // The module is sent the pulse unit as hex digits "00k1" and keeps the number they spell
    // in decimal; keep that form, so that ShowSettings (after a row or radio choice, before
    // the next read) still selects the unit that was sent.
    const int sentCode =
        PulseUnitSentCode(ListIndex(IDC_PULSE_UNITS), IsDlgButtonChecked(IDC_SENSOR_WSS));
    ModuleData612 upload = edited;
    upload.PulseUnitCode = sentCode;
    data_ = edited;
    data_.PulseUnitCode = PulseUnitHeldFromSent(sentCode);

    UploadRecord<CDevice612>(upload, data_);
}

void CConfig612Dlg::OnRefresh() {
    RefreshRecord<CDevice612>(data_);
}

void CConfig612Dlg::OnDefaults() {
    ApplyDefaults612(data_);
    ShowSettings();
}
