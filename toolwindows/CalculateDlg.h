#pragma once
// The K and offset calculator (template 138): the user types a pipe's inside diameter, picks
// inches or millimetres and presses "Calculate"; the dialog ends with OK and K and offset
// set, or shows why it cannot and ends with Cancel. Whatever happens, one press ends the run:
// there is no second try in the same run. The sums are in CalculateFormulas.h.
//
// It keeps the system's colours (its control-colour handler passes everything on to the
// framework), unlike the program's other windows, and needs no main window.

#include "ui/Dialog.h"

class CCalculateDlg : public CDialog {
    Q_OBJECT

public:
    // Both configuration dialogs construct it without a parent.
    explicit CCalculateDlg(QWidget* parent = nullptr);

    // The results, set together and only by a successful calculation; read them after a
    // modal run that returned IDOK.
    double K = 0.0;
    double offset = 0.0;

    // K and offset for a diameter in inches. 0: stored. 1: the pipe is rejected; the "Pipe
    // Error" box has been shown (owned by this dialog) and both fields are left alone.
    int ComputeKAndOffset(double inches);

protected:
    bool OnInitDialog() override;
    // "Calculate" (the OK command).
    void OnOK() override;
};
