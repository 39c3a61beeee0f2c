#pragma once
// What a commissioning report says of where and by whom (template 142): site, tag,
// technician and a note. "OK" takes what was typed; "Cancel" and Escape make no report.
//
//   ReportSiteDlg dlg; dlg.site = remembered; if (dlg.DoModal() == IDOK) use(dlg.site);

#include "records/CommissioningReport.h"
#include "ui/Dialog.h"

class ReportSiteDlg : public CDialog {
    Q_OBJECT

public:
    explicit ReportSiteDlg(QWidget* parent = nullptr);

    // Shown when the dialog opens; what the edits hold once OK closed it.
    ReportSite site;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
};
