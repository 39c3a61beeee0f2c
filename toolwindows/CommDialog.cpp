#include "toolwindows/CommDialog.h"

#include <QAbstractItemView>
#include <QComboBox>

#include "serial/PortMap.h"
#include "serial/SerialPort.h"
#include "texts/Resource.h"
#include "ui/MessageBox.h"

CCommDialog::CCommDialog(QWidget* parent) : CDialog(IDD_COMM_SETTINGS, parent) {
    // Message map: the OK command. Cancel is the framework's.
    MapCommand(IDOK, [this] { OnOK(); });
}

bool CCommDialog::OnInitDialog() {
    CDialog::OnInitDialog();

    EnumerateComPorts(portNumbers);
    auto* list = GetDlgItemAs<QComboBox>(IDC_COMM_PORT_LIST);
    const int current = portNumber;
    // Inserted at explicit positions, so the list keeps the ascending order of the numbers
    // although the template gives it the sorted style ("Comm 10" would sort before "Comm 2").
    int selected = -1;
    for (int i = 0; i < static_cast<int>(portNumbers.size()); ++i) {
        // "Comm 33 - FT232R USB UART (FTDI, A12345)": what the device is, where known.
        QString entry = QStringLiteral("Comm %1").arg(portNumbers[i]);
        const std::string description = portmap::PortDescription(static_cast<int>(portNumbers[i]));
        if (!description.empty()) {
            entry += QStringLiteral(" - ") + QString::fromStdString(description);
        }
        list->insertItem(i, entry);
        if (static_cast<int>(portNumbers[i]) == current) {
            selected = i;
        }
    }
    FitListToEntries();
    // A combo box selects its first entry by itself; the list starts without a selection
    // unless the current port is among the entries.
    list->setCurrentIndex(selected);
    return true;
}

// The template's list is wide enough for "Comm 255" only. With descriptions it grows to the
// right to show its widest entry whole, and the dialog and its buttons make room; the
// template's layout stays as it is when the entries fit.
void CCommDialog::FitListToEntries() {
    auto* list = GetDlgItemAs<QComboBox>(IDC_COMM_PORT_LIST);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    const int grow = list->sizeHint().width() - list->width();
    if (grow <= 0) {
        return;
    }
    list->resize(list->width() + grow, list->height());
    list->view()->setMinimumWidth(list->width());
    for (const int id : {IDOK, IDCANCEL}) {
        QWidget* button = GetDlgItem(id);
        button->move(button->x() + grow, button->y());
    }
    setFixedSize(width() + grow, height());
}

void CCommDialog::OnOK() {
    const int position = GetDlgItemAs<QComboBox>(IDC_COMM_PORT_LIST)->currentIndex();
    // The port array's bounds check: nothing selected (or a position the array does not
    // have) is the framework's invalid-argument error, reported where the command is
    // dispatched; the dialog stays open.
    if (position < 0 || position >= static_cast<int>(portNumbers.size())) {
        ui::ThrowInvalidArgument();
    }
    portNumber = static_cast<int>(portNumbers[position]);
    CDialog::OnOK();
}
