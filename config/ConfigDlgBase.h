#pragma once
// The base of the two configuration dialogs (612 on template 131, 640 on template 133): the
// sensor controls with their rules (SensorRules.h), the Calculate button, the numeric key
// filter, the control colours, the "Comm Error" report, the refusal of values a command
// cannot carry, and the upload with its progress display and input blocking.
//
// A dialog derives from ConfigDlgBase, holds its own module record, and tells the base
// where K, offset and SensorCode live in it (HeldSensor / SetHeldSensor) and how it shows
// its settings (ShowSettings).

#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "config/EditNumbers.h"
#include "config/NumericKeyFilter.h"
#include "config/UploadInputBlock.h"
#include "protocol/Device.h"
#include "records/SettingsFile.h"
#include "rules/ConfigChecks.h"
#include "rules/SensorRules.h"
#include "texts/Resource.h"
#include "ui/Colours.h"
#include "ui/Dialog.h"

class Link;
class CSerialPort;
class QLabel;
class QProgressBar;

class ConfigDlgBase : public CDialog {
    Q_OBJECT

public:
    ~ConfigDlgBase() override;

    // The link to the module and the main window's colours, not owned; set before the modal
    // run. Every exchange with the module is asked of the link and runs on its thread; the
    // dialog shows what comes back. Without a link the dialog reads nothing (the read reports
    // "Comm Error") and sends nothing; without a palette it keeps the system's colours.
    Link* link = nullptr;
    const ui::Palette* colours = nullptr;
    // The name of the settings file whose values the dialog was given to show (each dialog's
    // `preset`); the caption names it once they are shown.
    QString presetSource;

    struct Traits {
        Model family;
        NumericKeyRules keys;
        // Controls painted as input fields (black on the display white); everything else gets
        // white text on the window green.
        std::vector<int> displayControls;
        // Where the upload's progress appears, in dialog units.
        QRect progressArea;
    };

    // The progress display of an upload (created at the first upload).
    QProgressBar* uploadProgress() const { return progressBar_; }
    QLabel* uploadProgressLabel() const { return progressLabel_; }
    // Exchanges asked of the link whose results the dialog has not taken yet.
    int pendingExchanges() const { return pending_; }

protected:
    ConfigDlgBase(int templateId, Traits traits, QWidget* parent);

    Model family() const { return traits_.family; }

    // K, offset and SensorCode of the dialog's record.
    virtual SensorSettings HeldSensor() const = 0;
    virtual void SetHeldSensor(const SensorSettings& settings) = 0;
    // Writes the held settings into the controls.
    virtual void ShowSettings() = 0;
    // Empties list 1037 and fills it with the speed units or the family's flow units, then
    // selects row 0. The 612 refills its pulse-unit list here too.
    virtual void FillUnitLists(bool speedUnits);
    // After a sensor radio was clicked and the settings shown again: the 612 makes sure its
    // pulse-unit list has a selection.
    virtual void AfterSensorType() {}

    // Message-map entries of the sensor controls: the three radios, the two row lists and
    // Calculate. (List 1037 is each dialog's own: its ReadUnitSelection differs.)
    void MapSensorControls();
    // OnInitDialog: the tee and pipe rows into lists 1044 and 1038, row 0 selected.
    void FillRowLists();
    // ShowSettings: decodes `code` into the radios, lists and their visibility. Returns the
    // choice shown, or nullopt for a type digit other than 0-2 (nothing changed then).
    std::optional<SensorChoice> ShowSensorCode(int code);
    // The sensor controls as they stand.
    SensorChoice ReadSensorChoice() const;
    // SensorCode built from the controls (Send, ReadUnitSelection).
    int SensorCodeFromControls() const;

    // Selection of a drop-down list (-1: none), and selecting an entry; an index the list
    // does not hold leaves it without a selection.
    int ListIndex(int id) const;
    void SelectListIndex(int id, int index);
    void FillList(int id, const std::vector<QString>& texts);
    // The edit's text read as a signed integer (DlgTextToInt).
    int GetDlgItemInt(int id) const { return DlgTextToInt(GetDlgItemText(id)); }

    // "Error Communicating to Module, Check Serial and Power Cables", caption "Comm Error".
    void ReportCommError();
    // Shows `problem` (when there is one) and returns true: the Send is refused.
    bool RefuseUnsendable(const std::optional<RuleMessage>& problem);
    // Reads the module into (a copy of) the held record on the link's thread; `done` gets the
    // record as the read left it (fields before a failure are taken over) and the result.
    // "Send" and "Refresh" are disabled meanwhile.
    template <class Record, class Device>
    void ReadModule(const Record& held, std::function<void(LinkResult, const Record&)> done);

    // Refresh: reads the module into `held` (a member of the dialog); a failure shows the comm
    // error and keeps what the controls show, a success shows the settings. Whatever the read
    // took over before it failed stays held, and is what the journal gives as the settings
    // before the next upload. `overRead`, when given, changes what a successful read took
    // before it is shown (the open applies a settings file's values there); the journal's
    // "before" stays what the module holds.
    template <class Device, class Record>
    void RefreshRecord(Record& held,
                       std::function<void(std::type_identity_t<Record>&)> overRead = {}) {
        auto show = [this, &held, overRead](LinkResult result, const Record& read) {
            held = read;
            lastRead_ = read;
            if (result != kLinkOk) {
                ReportCommError();
                return;
            }
            if (overRead) {
                overRead(held);
            }
            ShowSettings();
        };
        ReadModule<Record, Device>(held, show);
    }
    // The caption says the values shown come from `presetSource`, not from the module.
    void ShowPresetCaption();

    // The two exchanges of a Send, run one after the other on the link's thread: the upload
    // (SendConfig with the observer and report it is given) and the read-back that checks it
    // (VerifyConfig); then the journal's line of the upload, with the record last read and
    // the settings sent.
    struct UploadSteps {
        std::function<LinkResult(CSerialPort&, const int&, const UploadObserver&, UploadReport&)>
            upload;
        std::function<LinkResult(CSerialPort&, const int&, std::vector<ReadBackMismatch>&)> verify;
        ModuleRecord before;
        ModuleRecord sent;
    };
    // Starts the upload with "Send", "Refresh", "Defaults" and "OK" disabled, every user input
    // kept away from the application, and the progress shown ("Sending...", then
    // "Verifying..."). The window stays live: it repaints as each byte goes out. When both
    // steps are done the buttons come back, and an upload that stopped part of the way, a
    // read-back that failed or that shows the module holding something else are each reported
    // in one message box; an offline port and a clean upload show nothing. Every upload that
    // found the port open goes into the journal, written on the link's thread; a journal that
    // could not be written is reported after the upload's own report.
    void RunUpload(UploadSteps steps);
    // RunUpload of `upload` as it stands: SendConfig, then VerifyConfig of the same record.
    // The journal gets `held`: the settings as the module holds them once it has taken the
    // upload (the 612's pulse unit goes out in another form than the module reports it).
    template <class Device, class Record>
    void UploadRecord(const Record& upload, const Record& held) {
        RunUpload({
            [upload](CSerialPort& port, const int& online, const UploadObserver& observer,
                     UploadReport& report) {
                return Device(port, online).SendConfig(upload, observer, &report);
            },
            [upload](CSerialPort& port, const int& online,
                     std::vector<ReadBackMismatch>& mismatches) {
                return Device(port, online).VerifyConfig(upload, mismatches);
            },
            lastRead_,
            held,
        });
    }
    template <class Device, class Record>
    void UploadRecord(const Record& upload) {
        UploadRecord<Device>(upload, upload);
    }

    // `task` on the link's thread; `then` back on the window's thread.
    void RunOnLink(std::function<void(CSerialPort&, const int&)> task);
    void AfterExchange(std::function<void()> then);

    void OnCtlColor() override;

private:
    void SetButtons(std::initializer_list<int> ids, bool enabled);
    void FinishUpload(LinkResult upload, LinkResult verify,
                      const std::vector<ReadBackMismatch>& mismatches, const UploadReport& report,
                      const std::optional<std::string>& journalError);
    void ReportUpload(LinkResult upload, LinkResult verify,
                      const std::vector<ReadBackMismatch>& mismatches, const UploadReport& report);
    void OnSensorType(SensorType type);
    void OnRowChosen(SensorType list);
    void OnCalculate();

    Traits traits_;
    QLabel* progressLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    std::unique_ptr<UploadInputBlock> inputBlock_;  // while an upload runs
    int pending_ = 0;
    ModuleRecord lastRead_;  // the record as the last read of the module left it
};

// ---- Template members ---------------------------------------------------------------------

template <class Record, class Device>
void ConfigDlgBase::ReadModule(const Record& held,
                               std::function<void(LinkResult, const Record&)> done) {
    if (link == nullptr) {
        done(kLinkOffline, held);
        return;
    }
    ++pending_;
    SetButtons({IDC_SEND, IDC_REFRESH}, false);
    RunOnLink([this, held, done = std::move(done)](CSerialPort& port, const int& online) {
        Record read = held;
        const LinkResult result = Device(port, online).ReadAll(read);
        AfterExchange([this, result, read, done] {
            --pending_;
            SetButtons({IDC_SEND, IDC_REFRESH}, true);
            done(result, read);
        });
    });
}
