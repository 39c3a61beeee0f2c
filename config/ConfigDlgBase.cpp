#include "config/ConfigDlgBase.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>

#include "link/Link.h"
#include "protocol/Fields.h"
#include "records/Journal.h"
#include "rules/CalculateFormulas.h"
#include "texts/Resource.h"
#include "texts/Strings.h"
#include "toolwindows/CalculateDlg.h"
#include "ui/Colours.h"
#include "ui/KeyFilter.h"
#include "ui/LinkBridge.h"
#include "ui/MessageBox.h"

namespace {

// A field of the read-back comparison as the dialogs name it: its caption in the table.
template <class Record>
std::string CaptionOf(const std::string& key) {
    const RecordField<Record>* field = FieldByKey<Record>(key);
    return field != nullptr && field->caption != nullptr ? field->caption : key;
}

std::string FieldCaption(Model family, const std::string& key) {
    return family == Model::k640 ? CaptionOf<ModuleData640>(key) : CaptionOf<ModuleData612>(key);
}

// The port as the technician knows it: the COM number the main window opened, or the device
// path of a port opened by its path.
std::string PortName(const Link::Status& status) {
    return status.device.empty() ? "COM" + std::to_string(status.portNumber) : status.device;
}

}  // namespace

ConfigDlgBase::ConfigDlgBase(int templateId, Traits traits, QWidget* parent)
    : CDialog(templateId, parent), traits_(std::move(traits)) {
    // PreTranslateMessage: the numeric key filter sees every key of the dialog first.
    new ui::KeyFilter(this, [this](QWidget* receiver, const QKeyEvent& key, bool apply) {
        return NumericKeyFilter(receiver, key, apply, traits_.keys);
    });
}

void ConfigDlgBase::MapSensorControls() {
    MapCommand(IDC_SENSOR_WSS, [this] { OnSensorType(SensorType::Wind); });
    MapCommand(IDC_SENSOR_TEE, [this] { OnSensorType(SensorType::Tee); });
    MapCommand(IDC_SENSOR_INSERTION, [this] { OnSensorType(SensorType::Insertion); });
    MapSelChange(IDC_PIPE_LIST, [this] { OnRowChosen(SensorType::Insertion); });
    MapSelChange(IDC_TEE_LIST, [this] { OnRowChosen(SensorType::Tee); });
    MapCommand(IDC_CALCULATE, [this] { OnCalculate(); });
}

void ConfigDlgBase::FillList(int id, const std::vector<QString>& texts) {
    auto* list = GetDlgItemAs<QComboBox>(id);
    if (!list) {
        return;
    }
    list->clear();
    for (const QString& text : texts) {
        list->addItem(text);
    }
}

int ConfigDlgBase::ListIndex(int id) const {
    const auto* list = GetDlgItemAs<QComboBox>(id);
    return list ? list->currentIndex() : -1;
}

void ConfigDlgBase::SelectListIndex(int id, int index) {
    if (auto* list = GetDlgItemAs<QComboBox>(id)) {
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    }
}

void ConfigDlgBase::FillRowLists() {
    // Each list stands beside its radio with no label of its own: named for assistive tools.
    for (const auto& [id, type, name] :
         {std::tuple{IDC_TEE_LIST, SensorType::Tee, "TEE Mounted Sensor"},
          std::tuple{IDC_PIPE_LIST, SensorType::Insertion, "Insertion Pipe"}}) {
        if (QWidget* list = GetDlgItem(id)) {
            list->setAccessibleName(QString::fromUtf8(name));
        }
        std::vector<QString> rows;
        for (const SensorRow& row : RowTable(type)) {
            rows.push_back(QString::fromUtf8(row.text));
        }
        FillList(id, rows);
        SelectListIndex(id, 0);
    }
}

void ConfigDlgBase::FillUnitLists(bool speedUnits) {
    std::vector<QString> names;
    for (const std::string& name :
         UnitListNames(family(), speedUnits ? SensorType::Wind : SensorType::Insertion)) {
        names.push_back(QString::fromStdString(name));
    }
    FillList(IDC_UNIT_OF_MEASURE, names);
    SelectListIndex(IDC_UNIT_OF_MEASURE, 0);
}

std::optional<SensorChoice> ConfigDlgBase::ShowSensorCode(int code) {
    const std::optional<SensorChoice> choice = DecodeSensorCode(family(), code);
    if (!choice) {
        return std::nullopt;
    }
    const SensorType type = choice->type;
    CheckDlgButton(IDC_SENSOR_WSS, type == SensorType::Wind);
    CheckDlgButton(IDC_SENSOR_TEE, type == SensorType::Tee);
    CheckDlgButton(IDC_SENSOR_INSERTION, type == SensorType::Insertion);
    FillUnitLists(UsesSpeedUnits(type));
    ShowItem(IDC_TEE_LIST, TeeListShown(type));
    ShowItem(IDC_PIPE_LIST, PipeListShown(type));
    ShowItem(IDC_CALCULATE, CalculateShown(type));
    SelectListIndex(IDC_UNIT_OF_MEASURE, choice->unit);
    if (type == SensorType::Insertion) {
        SelectListIndex(IDC_PIPE_LIST, choice->row);
    } else if (type == SensorType::Tee) {
        SelectListIndex(IDC_TEE_LIST, choice->row);
    }
    return choice;
}

SensorChoice ConfigDlgBase::ReadSensorChoice() const {
    SensorChoice choice;
    choice.type =
        TypeFromRadios(IsDlgButtonChecked(IDC_SENSOR_WSS), IsDlgButtonChecked(IDC_SENSOR_TEE));
    if (choice.type == SensorType::Tee) {
        choice.row = ListIndex(IDC_TEE_LIST);
    } else if (choice.type == SensorType::Insertion) {
        choice.row = ListIndex(IDC_PIPE_LIST);
    }
    choice.unit = ListIndex(IDC_UNIT_OF_MEASURE);
    return choice;
}

int ConfigDlgBase::SensorCodeFromControls() const {
    return BuildSensorCode(family(), ReadSensorChoice());
}

void ConfigDlgBase::OnSensorType(SensorType type) {
    SetHeldSensor(ClickSensorType(family(), type, HeldSensor()));
    ShowSettings();
    AfterSensorType();
}

void ConfigDlgBase::OnRowChosen(SensorType list) {
    const int row = ListIndex(list == SensorType::Tee ? IDC_TEE_LIST : IDC_PIPE_LIST);
    SetHeldSensor(ChooseRow(family(), list, row, HeldSensor()));
    ShowSettings();
}

void ConfigDlgBase::OnCalculate() {
    CCalculateDlg calculator;
    if (calculator.DoModal() != IDOK) {
        return;
    }
    // Only K and offset: SensorCode, and so the pipe row shown, stays as it is.
    SensorSettings held = HeldSensor();
    held.kFactor = calculator.K;
    held.offset = calculator.offset;
    SetHeldSensor(held);
    ShowSettings();
}

void ConfigDlgBase::ReportCommError() {
    ui::ShowMessageBox(this, QString::fromUtf8(res::kErrorCommunicating),
                       QString::fromUtf8(res::kErrorCommunicatingCaption), ui::kMbOk);
}

bool ConfigDlgBase::RefuseUnsendable(const std::optional<RuleMessage>& problem) {
    if (!problem) {
        return false;
    }
    ui::ShowMessageBox(this, QString::fromStdString(problem->text),
                       QString::fromStdString(problem->caption),
                       ui::kMbOk | ui::kMbIconExclamation);
    return true;
}

ConfigDlgBase::~ConfigDlgBase() {
    if (link != nullptr) {
        link->AbandonAndWait();  // no exchange of this dialog outlives it
    }
}

void ConfigDlgBase::RunOnLink(std::function<void(CSerialPort&, const int&)> task) {
    link->Run(std::move(task));
}

void ConfigDlgBase::AfterExchange(std::function<void()> then) {
    ui::OnWindowThread(this, std::move(then));
}

void ConfigDlgBase::SetButtons(std::initializer_list<int> ids, bool enabled) {
    for (int id : ids) {
        if (QWidget* button = GetDlgItem(id)) {
            button->setEnabled(enabled);
        }
    }
}

void ConfigDlgBase::RunUpload(UploadSteps steps) {
    if (link == nullptr) {
        return;  // offline: nothing sent, nothing said
    }
    SetButtons({IDC_SEND, IDC_REFRESH, IDC_DEFAULTS, IDOK}, false);

    if (!progressBar_) {
        const QRect area = MapDialogRect(traits_.progressArea);
        const int labelHeight = fontMetrics().height();
        progressLabel_ = new QLabel(QString::fromUtf8(res::kUploadProgress), this);
        progressLabel_->setObjectName(QStringLiteral("uploadProgressLabel"));
        progressLabel_->setGeometry(area.x(), area.y(), area.width(), labelHeight);
        progressBar_ = new QProgressBar(this);
        progressBar_->setObjectName(QStringLiteral("uploadProgress"));
        progressBar_->setTextVisible(false);
        progressBar_->setGeometry(area.x(), area.y() + labelHeight + 2, area.width(),
                                  area.height() - labelHeight - 2);
        ui::SetSystemColours(progressBar_);
    }
    progressLabel_->setText(QString::fromUtf8(res::kUploadProgress));
    progressBar_->setRange(0, 1);
    progressBar_->setValue(0);
    progressLabel_->show();
    progressBar_->show();

    // Until the upload and its read-back are done, no input reaches any window; the window
    // keeps painting, since nothing here waits on the line.
    inputBlock_ = std::make_unique<UploadInputBlock>();
    ++pending_;
    const JournalSource source{"fernwell", PortName(link->CurrentStatus())};
    RunOnLink([this, steps = std::move(steps), source](CSerialPort& port, const int& online) {
        UploadReport report;
        const LinkResult upload = steps.upload(
            port, online,
            [this](int sent, int total) {
                AfterExchange([this, sent, total] {
                    progressBar_->setRange(0, total);
                    progressBar_->setValue(sent);
                });
            },
            report);
        LinkResult verify = kLinkOk;
        std::vector<ReadBackMismatch> mismatches;
        if (upload == kLinkOk && steps.verify) {
            AfterExchange([this] {
                progressLabel_->setText(QString::fromUtf8(res::kVerifyProgress));
                progressBar_->setRange(0, 0);  // no count to show: the read takes what it takes
            });
            verify = steps.verify(port, online, mismatches);
        }
        // Here rather than on the window's thread: the line is written even when the window
        // has gone by the time the upload ends. A closed port sent nothing to any module.
        std::optional<std::string> journalError;
        if (upload != kLinkOffline) {
            const UploadOutcome outcome{upload, report, static_cast<bool>(steps.verify), verify,
                                        mismatches};
            journalError = JournalUpload(source, steps.before, steps.sent, outcome);
        }
        AfterExchange([this, upload, verify, mismatches, report, journalError] {
            FinishUpload(upload, verify, mismatches, report, journalError);
        });
    });
}

void ConfigDlgBase::FinishUpload(LinkResult upload, LinkResult verify,
                                 const std::vector<ReadBackMismatch>& mismatches,
                                 const UploadReport& report,
                                 const std::optional<std::string>& journalError) {
    --pending_;
    if (inputBlock_) {
        inputBlock_->Flush();
        inputBlock_.reset();
    }
    progressLabel_->hide();
    progressBar_->hide();
    SetButtons({IDC_SEND, IDC_REFRESH, IDC_DEFAULTS, IDOK}, true);
    ReportUpload(upload, verify, mismatches, report);
    if (journalError) {
        ui::ShowMessageBox(this, QString::fromStdString(*journalError),
                           QString::fromUtf8(res::kJournalCaption), ui::kMbOk);
    }
}

void ConfigDlgBase::ReportUpload(LinkResult upload, LinkResult verify,
                                 const std::vector<ReadBackMismatch>& mismatches,
                                 const UploadReport& report) {
    QString text;
    if (upload == kLinkOffline) {
        // The port is closed or gone: nothing went out, and the technician must not take the
        // quiet for a send.
        text = QString::fromUtf8(res::kErrorCommunicating);
    } else if (upload == kLinkWriteFailed || upload == kLinkCancelled) {
        // Where it stopped and what went out whole, as fernwell-cli says it.
        QString where = QString::fromStdString(StoppedUploadText(upload, report));
        where[0] = where[0].toUpper();
        text = QString::fromUtf8(res::kErrorCommunicating) + "\n" + where + "\n" +
               QString::fromUtf8(res::kUploadPartial);
    } else if (upload == kLinkOk && verify != kLinkOk) {
        text = QString::fromUtf8(res::kErrorCommunicating) + "\n" +
               QString::fromUtf8(res::kVerifyUnread);
    } else if (upload == kLinkOk && !mismatches.empty()) {
        text = QString::fromUtf8(res::kVerifyMismatch);
        for (const ReadBackMismatch& m : mismatches) {
            text += "\n" + QString::asprintf(res::kVerifyMismatchLine,
                                             FieldCaption(family(), m.field).c_str(),
                                             m.sent.c_str(), m.held.c_str());
        }
    }
    if (!text.isEmpty()) {
        ui::ShowMessageBox(this, text, QString::fromUtf8(res::kErrorCommunicatingCaption),
                           ui::kMbOk);
    }
}

void ConfigDlgBase::OnCtlColor() {
    if (colours == nullptr) {
        return;  // no brushes to borrow
    }
    ui::SetWindowColours(this, colours->background, QColor(Qt::white));
    for (int id : traits_.displayControls) {
        if (QWidget* control = GetDlgItem(id)) {
            ui::SetDisplayColours(control, colours->display, QColor(Qt::black));
        }
    }
}

void ConfigDlgBase::ShowPresetCaption() {
    setWindowTitle(QString::fromUtf8(res::kSettingsFromFile).arg(windowTitle(), presetSource));
}
