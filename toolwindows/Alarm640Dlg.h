#pragma once
// The alarm status window of a 640 (template 139): a modal window that reads the alarm
// settings once and the two alarm status words and the flow rate once a second, and shows
// them with lamps and value boxes. It only reads; nothing is sent to the module but queries.
//
// The main window runs it with its `busy` flag set, so the main window's own poll keeps off
// the line while this window talks to the module:
//   busy = 1; CAlarm640Dlg dlg; dlg.link = &link_; dlg.colours = &palette_; dlg.DoModal();
//   busy = 0;
//
// Each tick (timer 288, 1000 ms) first retries the settings read while none has succeeded,
// then refreshes the status. The queries run on the link's thread; the window shows what
// comes back. A tick while the last one's queries are still on the line asks nothing. A
// failed query lights the Comm Error lamp and ends that step; the next tick tries again. No
// message box ever comes from this window.

#include <cstdint>
#include <functional>

#include "link/TrendSamples.h"
#include "protocol/ModuleData.h"
#include "ui/Colours.h"
#include "ui/Dialog.h"

class Link;

class CAlarm640Dlg : public CDialog {
    Q_OBJECT

public:
    explicit CAlarm640Dlg(QWidget* parent = nullptr);

    ~CAlarm640Dlg() override;

    // The link to the module and the main window's colours, not owned; set by the main
    // window before the run. Without a link every query counts as failed; without a palette
    // the window keeps the system's colours.
    Link* link = nullptr;
    const ui::Palette* colours = nullptr;
    // Told of every flow read (the settings' dump and each status refresh) and every read
    // that failed, for the flow trend; set by the main window, may be empty.
    std::function<void(const trend::FlowReading&)> onFlowReading;
    // 1 once the alarm settings have been read; until then every tick tries again.
    int referenceLoaded = 0;

    // The settings read ("v"): flow rate, the Enabled lamps and the ten reference boxes.
    // Asked of the link; shown when the dump arrives.
    void ReadAlarmReference();
    // The status refresh: "h", "l", "f" in that order, stopping at the first failure.
    void RefreshAlarmStatus();
    // Queries asked of the link whose answers have not been shown yet.
    int pendingReads() const { return pending_; }

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
    struct StatusReading {
        int completed = 0;  // "h", "l", "f" that succeeded, in order
        std::uint32_t high = 0;
        std::uint32_t low = 0;
        double flow = 0;
    };
    void ShowReference(bool ok, const ModuleData640& data);
    void ShowStatus(const StatusReading& reading);
    void SetLamp(int control, int bitmap);
    void ShowCommError();

    int pending_ = 0;
};
