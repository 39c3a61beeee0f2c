#pragma once
// The terminal window (template 132): a modeless window of the main window with a read-only
// text area, "Clear Window" and "Close". The main window creates it hidden at start-up and
// shows it on command 32778; nothing writes into the text area.
//
// Close empties the text and hides the window; Escape hides it and keeps the text. Hiding
// ends the window's "dialog" but not the window: a later show brings it back.

#include "ui/Colours.h"
#include "ui/Dialog.h"

class CTerminalDlg : public CDialog {
    Q_OBJECT

public:
    explicit CTerminalDlg(QWidget* parent = nullptr);

    // The main window's colours, not owned; set by the main window right after creating this
    // window. Their green is this window's background. Without them the window keeps the
    // system colours.
    const ui::Palette* colours = nullptr;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCtlColor() override;

private:
    void OnClearWindow();
};
