#pragma once
// The comm settings dialog (template 130): lists the COM ports that exist when it opens, each
// with what its device is where the system knows it ("Comm 33 - FT232R USB UART (FTDI,
// A12345)"), preselects the port in use and, on OK, writes the chosen port into the main
// window. Storing the choice and reopening the port are the main window's business after an
// OK result.

#include <vector>

#include "ui/Dialog.h"

class CFernwellDlg;

class CCommDialog : public CDialog {
    Q_OBJECT

public:
    // The main window passes no parent: the dialog is owned by the active window.
    explicit CCommDialog(QWidget* parent = nullptr);

    // The ports found at the last opening, ascending; entry i belongs to list entry i.
    std::vector<unsigned> portNumbers;
    // Not owned; set by the main window before the run. Its portNumber is the current port
    // and receives the chosen one.
    CFernwellDlg* mainWindow = nullptr;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    void FitListToEntries();
};
