#pragma once
// The 640 configuration dialog (template 133, "Fern Well 640 Configuration"): sensor type,
// pipe or tee sensor, K, offset, the rate unit, and the high and low flow alarms (set and
// release points in the rate unit, a delay for each in seconds, an enable switch and a latch).
// It reads the module when it opens and on "Refresh", loads the defaults on "Defaults" and
// uploads on "Send" once the alarm pairs are in order; "OK" closes it and sends nothing.
//
// The main window runs it from "Parameters" with model 640:
//     busy = 1; CConfig640Dlg dlg; dlg.link = &link(); dlg.colours = &colours(); dlg.DoModal();
//     busy = 0;

#include <optional>

#include "config/ConfigDlgBase.h"
#include "protocol/ModuleData.h"

class CConfig640Dlg : public ConfigDlgBase {
    Q_OBJECT

public:
    explicit CConfig640Dlg(QWidget* parent = nullptr);

    // The settings the dialog holds: the defaults, then what Refresh read, Defaults loaded,
    // a row, radio or calculator choice changed, an alarm switch set, or Send took from the
    // controls.
    const ModuleData640& settings() const { return data_; }

    // A settings file's settings ("Load Settings from File..."), set before the run: once the
    // open's read has succeeded they are applied over what it read (SettingsForUpload: the
    // module's text lines and live values stay) and shown, the caption naming presetSource.
    // Nothing goes to the module until Send. A failed read leaves them unapplied.
    std::optional<ModuleData640> preset;

protected:
    bool OnInitDialog() override;
    void ShowSettings() override;
    SensorSettings HeldSensor() const override;
    void SetHeldSensor(const SensorSettings& settings) override;

private:
    // The controls of one alarm.
    struct AlarmControls {
        int enable, latched;
        int setPoint, releasePoint, setDelay, releaseDelay;
        int setUnits, releaseUnits;
    };
    static const AlarmControls kHigh;
    static const AlarmControls kLow;

    void OnSend();
    void OnRefresh();
    void ReadAtOpen();
    void OnDefaults();
    void ReadUnitSelection();
    void OnAlarmSwitch(const AlarmControls& alarm, int& mode);
    void ShowAlarm(const AlarmControls& alarm, int mode, double setPoint, double releasePoint,
                   int setDelay, int releaseDelay);
    void SetUnitLabels(const QString& unit);

    ModuleData640 data_;
};
