#include "app/AboutDlg.h"

#include "res/Resource.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(IDD_ABOUTBOX, parent) {}
