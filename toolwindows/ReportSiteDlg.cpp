#include "toolwindows/ReportSiteDlg.h"

#include "texts/Resource.h"

ReportSiteDlg::ReportSiteDlg(QWidget* parent) : CDialog(IDD_REPORT_SITE, parent) {}

bool ReportSiteDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_REPORT_SITE, QString::fromStdString(site.site));
    SetDlgItemText(IDC_REPORT_TAG, QString::fromStdString(site.tag));
    SetDlgItemText(IDC_REPORT_TECHNICIAN, QString::fromStdString(site.technician));
    SetDlgItemText(IDC_REPORT_NOTE, QString::fromStdString(site.note));
    return true;
}

void ReportSiteDlg::OnOK() {
    // Blanks around a line typed or pasted are no part of it; the note keeps its lines.
    site.site = GetDlgItemText(IDC_REPORT_SITE).trimmed().toStdString();
    site.tag = GetDlgItemText(IDC_REPORT_TAG).trimmed().toStdString();
    site.technician = GetDlgItemText(IDC_REPORT_TECHNICIAN).trimmed().toStdString();
    site.note = GetDlgItemText(IDC_REPORT_NOTE).trimmed().toStdString();
    CDialog::OnOK();
}
