#include "app/AboutDlg.h"

#include "texts/Resource.h"

AboutDlg::AboutDlg(QWidget* parent) : CDialog(IDD_ABOUTBOX, parent) {}
