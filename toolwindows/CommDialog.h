#pragma once
// The comm settings dialog (template 130): lists the COM ports that exist when it opens, each
// with what its device is where the system knows it ("Comm 33 - FT232R USB UART (FTDI,
// A12345)"), preselects the port in use and, on OK, keeps the chosen one. Storing the choice
// and reopening the port are the caller's business after an OK result.

#include <vector>

#include "ui/Dialog.h"

class CCommDialog : public CDialog {
    Q_OBJECT

public:
    // The main window passes no parent: the dialog is owned by the active window.
    explicit CCommDialog(QWidget* parent = nullptr);

    // The ports found at the last opening, ascending; entry i belongs to list entry i.
    std::vector<unsigned> portNumbers;
    // Set by the caller before the run: the port in use (0: none). After an OK result, the
    // chosen port.
    int portNumber = 0;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    void FitListToEntries();
};
