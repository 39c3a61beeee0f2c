#include "windows/CommDialog.h"

#include <QComboBox>

#include "app/FernwellDlg.h"
#include "res/Resource.h"
#include "serial/SerialPort.h"
#include "ui/MessageBox.h"

CCommDialog::CCommDialog(QWidget* parent) : CDialog(IDD_COMM_SETTINGS, parent) {
    // Message map: the OK command. Cancel is the framework's.
    mapCommand(IDOK, [this] { OnOK(); });
}

bool CCommDialog::OnInitDialog() {
    CDialog::OnInitDialog();

    EnumerateComPorts(portNumbers);
    auto* list = itemAs<QComboBox>(IDC_COMM_PORT_LIST);
    const int current = mainWindow ? mainWindow->portNumber : 0;
    // Inserted at explicit positions, so the list keeps the ascending order of the numbers
    // although the template gives it the sorted style ("Comm 10" would sort before "Comm 2").
    int selected = -1;
    for (int i = 0; i < static_cast<int>(portNumbers.size()); ++i) {
        list->insertItem(i, QStringLiteral("Comm %1").arg(portNumbers[i]));
        if (static_cast<int>(portNumbers[i]) == current) {
            selected = i;
        }
    }
    // A combo box selects its first entry by itself; the list starts without a selection
    // unless the current port is among the entries.
    list->setCurrentIndex(selected);
    return true;
}

void CCommDialog::OnOK() {
    const int position = itemAs<QComboBox>(IDC_COMM_PORT_LIST)->currentIndex();
    // The port array's bounds check: nothing selected (or a position the array does not
    // have) is the framework's invalid-argument error, reported where the command is
    // dispatched; the dialog stays open.
    if (position < 0 || position >= static_cast<int>(portNumbers.size())) {
        ui::ThrowInvalidArgument();
    }
    if (mainWindow) {
        mainWindow->portNumber = static_cast<int>(portNumbers[position]);
    }
    CDialog::OnOK();
}
