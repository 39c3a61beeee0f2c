#pragma once
// The alarm status window of a 640 (template 139): a modal window that reads the alarm
// settings once and the two alarm status words and the flow rate once a second, and shows
// them with lamps and value boxes. It only reads; nothing is sent to the module but queries.
//
// The main window runs it with its `busy` flag set, so the main window's own poll keeps off
// the line while this window talks to the module:
//   busy = 1; CAlarm640Dlg dlg; dlg.mainWindow = this; dlg.DoModal(); busy = 0;
//
// Each tick (timer 288, 1000 ms) first retries the settings read while none has succeeded,
// then refreshes the status. A failed query lights the Comm Error lamp and ends that step;
// the next tick tries again. No message box ever comes from this window.

#include <cstdint>

#include "ui/Dialog.h"

class CFernwellDlg;

class CAlarm640Dlg : public CDialog {
    Q_OBJECT

public:
    explicit CAlarm640Dlg(QWidget* parent = nullptr);

    // The main window, not owned: its port and online flag for the queries, its two colours.
    // Set by the main window before the run. Without it every query counts as failed and the
    // window keeps the system's colours.
    CFernwellDlg* mainWindow = nullptr;
    // 1 once the alarm settings have been read; until then every tick tries again.
    int referenceLoaded = 0;

    // The settings read ("v"): flow rate, the Enabled lamps and the ten reference boxes.
    void ReadAlarmReference();
    // The status refresh: "h", "l", "f" in that order, stopping at the first failure.
    void RefreshAlarmStatus();

    // What a successfully read status word of the high (`high`) or low alarm shows: its three
    // status lamps and two delay boxes. Part of RefreshAlarmStatus; public for the lamp
    // benchmark, which drives the window without the line's 200 ms of silence per query.
    void ShowAlarmStatus(bool high, std::uint32_t status);

    // The window's timer goes with the window: when the run ends, not when the object does.
    void done(int result) override;

protected:
    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnCtlColor() override;

private:
    void SetLamp(int control, int bitmap);
    void ShowCommError();
};
