#pragma once
// The main window (template 102, menu 129): live flow display, alarm lamps, the menu from
// which every other window opens, and a two-pane status bar (pane 0 activity, pane 1
// connection). It owns, for the program's whole life, the serial port, the terminal window,
// the two colours and the flags the other windows read through their pointer to it.
//
// The dialogs of config/ and windows/ are linked before app/, so what they use of this
// class is public data or inline.

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QString>
#include <cstdint>

#include "protocol/Decode.h"  // LinkResult
#include "serial/SerialPort.h"
#include "ui/Dialog.h"
#include "ui/StatusBar.h"
#include "windows/TerminalDlg.h"

class CFernwellDlg : public CDialog {
    Q_OBJECT

public:
    explicit CFernwellDlg(QWidget* parent = nullptr);
    ~CFernwellDlg() override;

    // --- Members, in the order the program's state is built ---
    int portNumber = 0;  // COM port in use (set from the stored setting and the comm dialog)

private:
    CSerialPort port_;
    CTerminalDlg terminal_;  // constructed without a parent, created in OnInitDialog
    QColor background_;      // the window's green, RGB(0, 155, 89)
    QColor display_;         // white, behind the flow display and the input fields
    QIcon icon_;             // icon 128
    ui::StatusBar statusBar_;

public:
    int online = 0;  // 1 while the port is open and configured
    int model = 0;   // 612 or 640; 0 until start-up selects one
    int busy = 0;    // 1 while a configuration dialog or the alarm status window runs

    // --- For the other windows and the tests ---
    CSerialPort& port() { return port_; }
    const QColor& backgroundColour() const { return background_; }
    const QColor& displayColour() const { return display_; }
    // The terminal window, or nullptr when it could not be created.
    CTerminalDlg* terminal() { return terminalCreated_ ? &terminal_ : nullptr; }
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

    // Polling: one reading of the rate, its unit and (640) the alarm lamps.
    void Poll();
    void Poll612();
    void Poll640();
    void SetActivity(const char* text);
    // False, with "Comm Error" in pane 0, when a query of the poll failed.
    bool QueryOk(LinkResult result);
    void ShowRate(double flowRate);
    void SetAlarmLamp(int id, std::uint32_t status);
    void OnPollNow();
    void OnAutoUpdate();

    void OnParameters();
    void OnWwwSupport();
    void OnEmailSupport();
    void OnShowTerminal();
    void OnAlarmStatus();

    bool terminalCreated_ = false;
};
