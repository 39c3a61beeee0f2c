#include "toolwindows/TerminalDlg.h"

#include "texts/Resource.h"
#include "ui/Colours.h"

CTerminalDlg::CTerminalDlg(QWidget* parent) : CDialog(IDD_TERMINAL, parent) {
    // Message map: the OK command ("Close"), the control colours (OnCtlColor), Clear Window.
    MapCommand(IDOK, [this] { OnOK(); });
    MapCommand(IDC_CLEAR_WINDOW, [this] { OnClearWindow(); });
}

bool CTerminalDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // No label names the text area; assistive tools call it after the window.
    if (QWidget* text = GetDlgItem(IDC_TERMINAL_TEXT)) {
        text->setAccessibleName(QStringLiteral("Terminal Text"));
    }
    return true;
}

void CTerminalDlg::OnOK() {
    SetDlgItemText(IDC_TERMINAL_TEXT, QString());
    CDialog::OnOK();
}

void CTerminalDlg::OnClearWindow() {
    SetDlgItemText(IDC_TERMINAL_TEXT, QString());
}

void CTerminalDlg::OnCtlColor() {
    if (!colours) {
        return;
    }
    // The window and its buttons on the main window's green; the text colour is left as it
    // is. The text area keeps the system's colours.
    ui::SetWindowColours(this, colours->background);
    if (QWidget* text = GetDlgItem(IDC_TERMINAL_TEXT)) {
        ui::SetSystemColours(text);
    }
}
