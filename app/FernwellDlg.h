#pragma once
// The main window (template 102, menu 129): live flow display, alarm lamps, the menu from
// which every other window opens, and a two-pane status bar (pane 0 activity, pane 1
// connection). It owns, for the program's whole life, the link (the serial port and the
// thread that talks on it), the terminal window, the two colours and the flags.
//
// Every exchange with the module runs on the link's thread; the window asks and is told, and
// never waits on the line. A poll shows "Retrieving Data..." until its reading arrives.

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/Link.h"
#include "link/Poll.h"
#include "protocol/Decode.h"  // LinkResult
#include "records/SettingsFile.h"
#include "toolwindows/FlowTrendDlg.h"
#include "toolwindows/TerminalDlg.h"
#include "ui/Colours.h"
#include "ui/Dialog.h"
#include "ui/StatusBar.h"

class CFernwellDlg : public CDialog {
    Q_OBJECT

public:
    explicit CFernwellDlg(QWidget* parent = nullptr);
    ~CFernwellDlg() override;

    // --- Members, in the order the program's state is built ---
    int portNumber = 0;  // COM port in use (set from the stored setting and the comm dialog)

private:
    Link link_;
    CTerminalDlg terminal_;  // constructed without a parent, created in OnInitDialog
    FlowTrendDlg trend_;     // likewise
    ui::Palette palette_;    // the window's green and the display white
    QIcon icon_;             // icon 128
    ui::StatusBar statusBar_;

public:
    int online = 0;              // 1 while the port is open and configured (as the link last said)
    Model model = Model::kNone;  // 612 or 640; none until start-up selects one
    int busy = 0;  // 1 while a configuration dialog, the alarm status window or a read of the
                   // module for a settings file or report runs

    // Opens an address with the system's handler (browser, mail program); false when none
    // took it. Tests replace it.
    std::function<bool(const QUrl&)> openUrl;

    // --- For the other windows and the tests ---
    Link& link() { return link_; }
    const ui::Palette& colours() const { return palette_; }
    const QColor& backgroundColour() const { return palette_.background; }
    const QColor& displayColour() const { return palette_.display; }
    // A poll has been asked of the link and its reading has not come back yet.
    bool pollRunning() const { return pollRunning_; }
    // The terminal window, or nullptr when it could not be created.
    CTerminalDlg* terminal() { return terminalCreated_ ? &terminal_ : nullptr; }
    // The flow trend window, or nullptr when it could not be created.
    FlowTrendDlg* flowTrend() { return trendCreated_ ? &trend_ : nullptr; }
    ui::StatusBar& statusBar() { return statusBar_; }
    QString statusText(int pane) const { return statusBar_.GetPaneText(pane); }
    void setStatusText(int pane, const QString& text) { statusBar_.SetPaneText(pane, text); }

    // WM_SYSCOMMAND: the About item; other system commands are the window system's.
    void OnSysCommand(int id);
    // WM_TIMER. Public so tests can tick the poll timer without waiting 3 s for it.
    void OnTimer(int id) override;

protected:
    bool OnInitDialog() override;
    void OnCtlColor() override;
    // Where the window system has a system menu, its commands arrive here as native messages.
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // The About item: on the system menu where there is one, else at the end of "Help".
    void AppendSystemMenuItem(int id, const QString& text);

    // Port and model selection.
    void OpenPort();
    void OnSetCommPort();
    void SelectModel612();
    void SelectModel642();

    // What the link says of the port: pane 1 and `online`.
    void OnLinkStatus(const Link::Status& status);
    void OnOpenDone(int portNumber, int result, const std::string& errorText);

    // Polling: one reading of the rate, its unit and (640) the alarm lamps.
    void Poll();
    void ShowPoll(const PollReading& reading);
    void SetActivity(const char* text);
    void ShowRate(double flowRate);
    // Shows the last `steps` values of a poll (rate, high lamp, low lamp) as stale.
    void ShowStale(int steps);
    void SetAlarmLamp(int id, std::uint32_t status);
    void OnPollNow();
    void OnAutoUpdate();

    void OnParameters();
    void OnWwwSupport();
    void OnEmailSupport();
    void OpenSupportAddress(const char* address);
    void OnShowTerminal();
    void OnAlarmStatus();
    void OnFlowTrend();
    void AddTrendReading(const trend::FlowReading& reading);

    // Settings files and the commissioning report (FernwellRecords.cpp).
    void OnSaveSettings();
    void OnLoadSettings();
    void OnCompareSettings();
    void OnCommissioningReport();
    // What one read of the module for them took: the record of the model selected, and for the
    // report a poll's reading after it (the live flow, the 640's alarm words).
    struct ModuleRead {
        LinkResult result = kLinkOk;
        ModuleRecord record;
        PollReading poll;
        std::optional<std::string> lastUpload;  // the journal's last upload to the port
    };
    // Reads the module on the link with `busy` set, so the poll timer keeps off the line and
    // no other command starts meanwhile; a failure shows the comm error, a success goes to
    // `done` on the window's thread. For the report also a poll and the journal's last upload
    // to `portName` (read there too: a journal of years is no small file).
    void ReadModuleForRecords(bool forReport, std::function<void(const ModuleRead&)> done,
                              const std::string& portName = {});
    void ReportCommError();
    // "COM3": the port as settings files, the journal and the report name it.
    QString PortName() const;

    bool terminalCreated_ = false;
    bool trendCreated_ = false;
    bool pollRunning_ = false;
};
