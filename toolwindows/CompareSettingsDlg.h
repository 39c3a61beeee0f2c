#pragma once
// The module's settings beside a settings file's (template 141), from "Compare Module with
// File...": a table of every setting the file carries, with the module's value and the
// file's, the rows that differ marked in bold with "≠" before the setting's name (a text, so a
// screen reader says it too). When no setting differs, one line says so and there is no
// table. It only shows: the main window has read the module and the file before it opens.
//
//   CompareSettingsDlg dlg; dlg.rows = CompareSettings(module, file); dlg.DoModal();

#include <vector>

#include "records/SettingsFile.h"
#include "ui/Dialog.h"

class QTableWidget;

class CompareSettingsDlg : public CDialog {
    Q_OBJECT

public:
    explicit CompareSettingsDlg(QWidget* parent = nullptr);

    // Set before the run: the module's values as `first`, the file's as `second`.
    std::vector<SettingComparison> rows;

    // The table, or nullptr when no setting differs.
    QTableWidget* table() const { return table_; }

protected:
    bool OnInitDialog() override;

private:
    QTableWidget* table_ = nullptr;
};
