#pragma once
// The 612 configuration dialog (template 131, "Fern Well 612 Configuration"): sensor type,
// pipe or tee sensor, K, offset, the rate unit, and the scaled pulse output ("1 Pulse =" so
// much of a unit, with a pulse width). It reads the module when it opens and on "Refresh",
// loads the defaults on "Defaults" and uploads on "Send"; "OK" closes it and sends nothing.
//
// The main window runs it from "Parameters" with model 612:
//     busy = 1; CConfig612Dlg dlg; dlg.link = &link(); dlg.colours = &colours(); dlg.DoModal();
//     busy = 0;

#include <optional>

#include "config/ConfigDlgBase.h"
#include "protocol/ModuleData.h"

class CConfig612Dlg : public ConfigDlgBase {
    Q_OBJECT

public:
    explicit CConfig612Dlg(QWidget* parent = nullptr);

    // The settings the dialog holds: the defaults, then what Refresh read, Defaults loaded,
    // a row, radio or calculator choice changed, or Send took from the controls.
    const ModuleData612& settings() const { return data_; }

    // A settings file's settings ("Load Settings from File..."), set before the run: once the
    // open's read has succeeded they are applied over what it read (SettingsForUpload: the
    // module's text lines and live values stay) and shown, the caption naming presetSource.
    // Nothing goes to the module until Send. A failed read leaves them unapplied.
    std::optional<ModuleData612> preset;

protected:
    bool OnInitDialog() override;
    void ShowSettings() override;
    void FillUnitLists(bool speedUnits) override;
    void AfterSensorType() override;
    SensorSettings HeldSensor() const override;
    void SetHeldSensor(const SensorSettings& settings) override;

private:
    void OnSend();
    void OnRefresh();
    void ReadAtOpen();
    void OnDefaults();
    void ReadUnitSelection();

    ModuleData612 data_;
};
