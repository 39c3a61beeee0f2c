#include "toolwindows/CalculateDlg.h"

#include <QComboBox>

#include "rules/CalculateFormulas.h"
#include "texts/Resource.h"
#include "texts/Strings.h"
#include "ui/MessageBox.h"

CCalculateDlg::CCalculateDlg(QWidget* parent) : CDialog(IDD_CALCULATE, parent) {
    // Message map: the OK command ("Calculate"); the control colours and the unit list's
    // selection change have nothing to do here.
    MapCommand(IDOK, [this] { OnOK(); });
}

bool CCalculateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Inserted at fixed positions, so the list reads Inches, Millimeters even though it has
    // the sorted style.
    if (auto* units = GetDlgItemAs<QComboBox>(IDC_DIAMETER_UNITS)) {
        units->insertItem(kDiameterInches, QStringLiteral("Inches"));
        units->insertItem(kDiameterMillimeters, QStringLiteral("Millimeters"));
        units->setCurrentIndex(kDiameterInches);
    }
    SetDlgItemText(IDC_PIPE_DIAMETER, QString());
    // The label follows the edit in the template, so neither the edit nor the list is named
    // after it by the dialog layer; assistive tools get the names here.
    if (QWidget* diameter = GetDlgItem(IDC_PIPE_DIAMETER)) {
        diameter->setAccessibleName(QStringLiteral("Known Pipe Inside Diameter"));
    }
    if (QWidget* units = GetDlgItem(IDC_DIAMETER_UNITS)) {
        units->setAccessibleName(QStringLiteral("Diameter Units"));
    }
    return true;  // the first tab stop, "Calculate", gets the focus
}

void CCalculateDlg::OnOK() {
    const auto* units = GetDlgItemAs<QComboBox>(IDC_DIAMETER_UNITS);
    const int unit = units ? units->currentIndex() : -1;
    const double inches = DiameterInches(GetDlgItemText(IDC_PIPE_DIAMETER).toStdString(), unit);

    // Out of range, an unusable K or no number at all: the formulas say why (if there is
    // anything to say) and the dialog closes either way.
    if (ComputeKAndOffset(inches) == 0) {
        CDialog::OnOK();
    } else {
        EndDialog(IDCANCEL);
    }
}

int CCalculateDlg::ComputeKAndOffset(double inches) {
    const CalcResult result = ::ComputeKAndOffset(inches);
    if (!result.ok) {
        if (!result.message.empty()) {
            ui::ShowMessageBox(this, QString::fromStdString(result.message),
                               QString::fromStdString(result.caption), ui::kMbOk);
        }
        return 1;
    }
    K = result.k;
    offset = result.offset;
    return 0;
}
