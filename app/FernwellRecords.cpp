// The main window's settings files and commissioning report: the last four items of the
// Configuration menu. What a file holds, how two records compare and what the report says are
// the core's (records/); here the window asks for paths, reads the module through the link
// and shows what comes of it.

#include <QDate>
#include <QFileInfo>
#include <variant>

#include "app/FernwellDlg.h"
#include "app/ReportPdf.h"
#include "config/Config612Dlg.h"
#include "config/Config640Dlg.h"
#include "link/TimeStamp.h"
#include "protocol/Device.h"
#include "records/CommissioningReport.h"
#include "records/Journal.h"
#include "records/RecordFields.h"
#include "rules/SensorRules.h"
#include "store/StoredPort.h"
#include "texts/Strings.h"
#include "toolwindows/CompareSettingsDlg.h"
#include "toolwindows/ReportSiteDlg.h"
#include "ui/FileDialog.h"
#include "ui/LinkBridge.h"
#include "ui/MessageBox.h"

namespace {

// Where the report's site is remembered between runs, beside "CommPort".
constexpr const char* kReportSiteValue = "ReportSite";
constexpr const char* kReportTagValue = "ReportTag";
constexpr const char* kReportTechnicianValue = "ReportTechnician";
constexpr const char* kReportNoteValue = "ReportNote";

// "fernwell-640-2026-12-11.json" and the like: the model and today's date.
QString SuggestedName(const char* pattern, Model model) {
    return QString::fromUtf8(pattern)
        .arg(model == Model::k640 ? 640 : 612)
        .arg(QDate::currentDate().toString(Qt::ISODate));
}

void ShowFileError(QWidget* owner, const std::string& error) {
    ui::ShowMessageBox(owner,
                       QString::fromUtf8(res::kFileNotWritten).arg(QString::fromStdString(error)),
                       QString(), ui::kMbOk | ui::kMbIconExclamation);
}

// The settings file at `path` for `model`, or nothing when it is refused (and said so).
std::optional<ModuleRecord> ReadFileOrSay(QWidget* owner, const QString& path, Model model,
                                          const char* caption) {
    SettingsRead read = ReadSettingsFile(path.toStdString(), model);
    if (const auto* refusal = std::get_if<SettingsRefusal>(&read)) {
        ui::ShowMessageBox(owner,
                           QString::fromUtf8(res::kSettingsFileRefused)
                               .arg(QString::fromStdString(refusal->message)),
                           QString::fromUtf8(caption), ui::kMbOk | ui::kMbIconExclamation);
        return std::nullopt;
    }
    return std::get<SettingsFile>(read).record;
}

// The model's configuration dialog run as "Parameters" runs it, given the file's settings.
template <class Dialog, class Record>
void RunConfigDialog(CFernwellDlg& main, const Record& preset, const QString& source) {
    Dialog dlg;
    dlg.link = &main.link();
    dlg.colours = &main.colours();
    dlg.preset = preset;
    dlg.presetSource = source;
    dlg.DoModal();
}

ReportSite StoredReportSite() {
    return {ReadStoredText(kReportSiteValue), ReadStoredText(kReportTagValue),
            ReadStoredText(kReportTechnicianValue), ReadStoredText(kReportNoteValue)};
}

bool StoreReportSite(const ReportSite& site) {
    // Every one is tried, so one that fails does not keep the others from being kept.
    bool stored = WriteStoredText(kReportSiteValue, site.site);
    stored = WriteStoredText(kReportTagValue, site.tag) && stored;
    stored = WriteStoredText(kReportTechnicianValue, site.technician) && stored;
    return WriteStoredText(kReportNoteValue, site.note) && stored;
}

// The report's view of what was read: the record, the live flow and its unit, the 640's alarms.
ReportReading ReadingOf(const ModuleRecord& record, const PollReading& poll) {
    ReportReading reading;
    reading.record = record;
    reading.flowRate = poll.flowRate;
    const Model model = ModelOf(record);
    reading.flowUnit = RateUnitLabel(model, poll.sensorCode).value_or("");
    if (model == Model::k640) {
        reading.highAlarm = DecodeAlarmStatus(poll.highStatus).activated;
        reading.lowAlarm = DecodeAlarmStatus(poll.lowStatus).activated;
    }
    return reading;
}

}  // namespace

QString CFernwellDlg::PortName() const {
    return QStringLiteral("COM%1").arg(portNumber);
}

void CFernwellDlg::ReportCommError() {
    ui::ShowMessageBox(this, QString::fromUtf8(res::kErrorCommunicating),
                       QString::fromUtf8(res::kErrorCommunicatingCaption), ui::kMbOk);
}

void CFernwellDlg::ReadModuleForRecords(bool forReport, std::function<void(const ModuleRead&)> done,
                                        const std::string& portName) {
    busy = 1;
    SetActivity(res::kStatusRetrieving);
    const Model read = model;
    link_.Run([this, read, forReport, portName, done](CSerialPort& serial, const int& online) {
        ModuleRead result;
        // Whole and clean: a shifted dump would save, compare or report every setting wrong.
        result.result = ReadWholeRecord(read, serial, online, result.record);
        if (forReport && result.result == kLinkOk) {
            result.poll = PollModule(read, serial, online);
            result.result = result.poll.result;
            const JournalRead journal = ReadJournal(JournalPath());
            result.lastUpload =
                journal.error ? std::optional<std::string>(res::kJournalUnread + *journal.error)
                              : LastUploadText(journal.lines, portName);
        }
        ui::OnWindowThread(this, [this, result, done] {
            busy = 0;
            if (result.result != kLinkOk) {
                SetActivity(res::kStatusCommError);
                ReportCommError();
                return;
            }
            SetActivity(res::kStatusIdle);
            done(result);
        });
    });
}

void CFernwellDlg::OnSaveSettings() {
    if (busy) {
        return;
    }
    const QString path = ui::GetSaveFileName(this, QString::fromUtf8(res::kSaveSettingsCaption),
                                             SuggestedName(res::kSettingsFileName, model),
                                             ui::SaveKind::kReplace, res::kSettingsFileFilter);
    if (path.isEmpty()) {
        return;
    }
    const std::string port = PortName().toStdString();
    ReadModuleForRecords(false, [this, path, port](const ModuleRead& read) {
        const SettingsFileHeader header{IsoLocalTime(NowMs()), port, ProgramAndVersion("fernwell"),
                                        ""};
        if (const auto error = WriteSettingsFile(path.toStdString(), read.record, header)) {
            ShowFileError(this, *error);
        }
    });
}

void CFernwellDlg::OnLoadSettings() {
    if (busy) {
        return;
    }
    const QString path = ui::GetOpenFileName(this, QString::fromUtf8(res::kLoadSettingsCaption),
                                             res::kSettingsFileFilter);
    if (path.isEmpty()) {
        return;
    }
    const std::optional<ModuleRecord> file =
        ReadFileOrSay(this, path, model, res::kLoadSettingsCaption);
    if (!file) {
        return;
    }
    const QString source = QFileInfo(path).fileName();
    busy = 1;
    if (const auto* data = std::get_if<ModuleData640>(&*file)) {
        RunConfigDialog<CConfig640Dlg>(*this, *data, source);
    } else if (const auto* data = std::get_if<ModuleData612>(&*file)) {
        RunConfigDialog<CConfig612Dlg>(*this, *data, source);
    }
    busy = 0;
}

void CFernwellDlg::OnCompareSettings() {
    if (busy) {
        return;
    }
    const QString path = ui::GetOpenFileName(this, QString::fromUtf8(res::kCompareSettingsCaption),
                                             res::kSettingsFileFilter);
    if (path.isEmpty()) {
        return;
    }
    const std::optional<ModuleRecord> file =
        ReadFileOrSay(this, path, model, res::kCompareSettingsCaption);
    if (!file) {
        return;
    }
    ReadModuleForRecords(false, [this, file](const ModuleRead& read) {
        CompareSettingsDlg dlg;
        dlg.rows = CompareSettings(read.record, *file);
        dlg.DoModal();
    });
}

void CFernwellDlg::OnCommissioningReport() {
    if (busy) {
        return;
    }
    ReportSiteDlg siteDlg;
    siteDlg.site = StoredReportSite();
    if (siteDlg.DoModal() != IDOK) {
        return;
    }
    const ReportSite site = siteDlg.site;
    if (!StoreReportSite(site)) {
        ui::ShowMessageBox(this, QString::fromUtf8(res::kReportSiteNotSaved), QString(),
                           ui::kMbOk | ui::kMbIconExclamation);
    }
    const QString path = ui::GetSaveFileName(this, QString::fromUtf8(res::kSaveReportCaption),
                                             SuggestedName(res::kReportFileName, model),
                                             ui::SaveKind::kReplace, res::kPdfFileFilter);
    if (path.isEmpty()) {
        return;
    }
    const std::string port = PortName().toStdString();
    ReadModuleForRecords(
        true,
        [this, site, path, port](const ModuleRead& read) {
            const ReportContext context{IsoLocalTime(NowMs()), ProgramAndVersion("fernwell"), port,
                                        read.lastUpload};
            const std::string html =
                CommissioningReportHtml(site, ReadingOf(read.record, read.poll), context);
            if (const auto error = WriteHtmlAsPdf(html, path)) {
                ShowFileError(this, *error);
            }
        },
        port);
}
