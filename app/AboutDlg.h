#pragma once
// The About box (template 100): icon, version line, maker line, OK.

#include "ui/Dialog.h"

class AboutDlg : public CDialog {
    Q_OBJECT

public:
    explicit AboutDlg(QWidget* parent = nullptr);
};
