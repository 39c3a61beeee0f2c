#pragma once
// CDialog: a dialog built from one of the program's dialog templates, in the manner of the
// framework's dialog class.
//
//  - The constructor only remembers the template. DoModal (modal run) or Create (modeless
//    window) builds the window: every control of the template at its converted position,
//    with its identifier; the menu bar at the top when the template names a menu (the window
//    grows by its height, as a menu does not take room from a dialog's client area); then
//    OnInitDialog runs, before the window is shown.
//  - Controls are addressed by their template identifiers: GetDlgItem(id), GetDlgItemText(id)...
//  - Commands go through OnCommand(id): a button click, a menu item and a check box click
//    send their identifier, handled by what MapCommand registered (the message map), else
//    by the defaults (IDOK ends the dialog with IDOK, IDCANCEL with IDCANCEL), else by the
//    application's handler. Escape and the close box send IDCANCEL; Enter presses the
//    default button, or sends IDOK when there is none, as the dialog manager does.
//  - EndDialog ends a modal run with its result, or hides a modeless window (which keeps
//    existing and can be shown again).
//  - Window timers: SetTimer/KillTimer with the timer identifiers, QTimer children named
//    for tests, ticks delivered to OnTimer.

#include <QDialog>
#include <functional>
#include <map>

#include "ui/DialogUnits.h"

class QAction;
class QMenuBar;
class QTimer;

namespace res {
struct DialogTemplate;
}

namespace ui {

// A control's identifier (the "controlId" property); IDC_STATIC (-1) when it has none.
// For a widget inside a control (the edit of a combo box), the control's identifier.
int ControlId(const QWidget* widget);
void SetControlId(QWidget* widget, int id);

}  // namespace ui

class CDialog : public QDialog {
    Q_OBJECT

public:
    explicit CDialog(int templateId, QWidget* parent = nullptr);
    // A dialog on a template of its own (tests; windows built at run time). `dialogTemplate`
    // and the controls it points to must outlive the dialog.
    explicit CDialog(const res::DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~CDialog() override;

    int TemplateId() const { return templateId_; }
    const res::DialogTemplate* Template() const { return template_; }

    // Builds the window, runs OnInitDialog and the modal loop. Returns the result given to
    // EndDialog, or -1 when the window cannot be created. Without a parent the active window
    // owns the dialog (and is disabled while it runs).
    int DoModal();
    // Builds the window as a modeless window owned by `parent` and runs OnInitDialog; shows it
    // when the template is visible. False when the window cannot be created.
    bool Create(QWidget* parent = nullptr);
    // Ends a modal run with `result`; hides a modeless window.
    void EndDialog(int result);
    // Runs OnCtlColor before the window shows, so nothing ever sees it uncoloured.
    void setVisible(bool visible) override;

    // Controls by identifier: the first control with that identifier, nullptr if none.
    QWidget* GetDlgItem(int id) const;
    template <class T>
    T* GetDlgItemAs(int id) const {
        return qobject_cast<T*>(GetDlgItem(id));
    }
    QString GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const QString& text);
    bool IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, bool checked);
    // ShowWindow(SW_SHOW / SW_HIDE) on a control.
    void ShowItem(int id, bool show);

    // Dialog units of this dialog's font.
    ui::BaseUnits DialogBaseUnits() const { return baseUnits_; }
    // A rectangle in dialog units to client pixels (below the menu bar).
    QRect MapDialogRect(const QRect& du) const;
    // The client area: below the menu bar, above the control bars.
    QRect GetClientRect() const;

    // Menu items by command; nullptr when the dialog has no such item.
    QMenuBar* MenuBar() const { return menuBar_; }
    QAction* MenuItem(int command) const;
    void CheckMenuItem(int command, bool checked);
    bool IsMenuItemChecked(int command) const;
    void EnableMenuItem(int command, bool enabled);
    bool IsMenuItemEnabled(int command) const;

    // Places the control bars (children with identifiers 0xE800-0xE8FF, such as the status
    // bar) along the bottom; the window grows by their height.
    void RepositionBars();

    // Starts (or restarts) window timer `id`: a QTimer child named `name`.
    QTimer* SetTimer(int id, int intervalMs, const QString& name);
    void KillTimer(int id);
    QTimer* Timer(int id) const;

    // WM_COMMAND: dispatches command `id` as described above. Returns whether something
    // handled it. An invalid-argument error raised by the handler is reported here and the
    // dialog carries on.
    bool OnCommand(int id);

    // Where commands nobody in a dialog handled go: the application object's message map.
    using CommandHandler = std::function<bool(int id)>;
    static void SetApplicationCommandHandler(CommandHandler handler);

    // Tests: makes the creation of windows from template `templateId` fail (or work again).
    static void SetCreateFailure(int templateId, bool fail);

protected:
    // Runs after the controls exist and before the window is first shown. True: the focus
    // goes to the first control a Tab stops at (the checked radio of a group); false: the
    // handler placed the focus itself.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(1); }      // IDOK
    virtual void OnCancel() { EndDialog(2); }  // IDCANCEL
    virtual void OnTimer(int /*id*/) {}
    // Sets the palettes of the window and its controls. Runs whenever the window is about to
    // be shown (before its show event), where the system would start asking for control
    // colours.
    virtual void OnCtlColor() {}

    // Message-map entries: clicks (buttons, check boxes, radios) and menu commands, and
    // selection changes of drop-down lists.
    void MapCommand(int id, std::function<void()> handler);
    void MapSelChange(int id, std::function<void()> handler);

    void accept() override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetInitialFocus();
    bool BuildWindow(QWidget* parent);
    void BuildControls();
    void BuildMenu(int menuId);
    void FitWindow();
    void OnSelChange(int id);

    int templateId_;
    const res::DialogTemplate* template_;
    bool created_ = false;
    ui::BaseUnits baseUnits_;
    QMenuBar* menuBar_ = nullptr;
    int menuHeight_ = 0;
    int barsHeight_ = 0;
    std::map<int, std::function<void()>> commands_;
    std::map<int, std::function<void()>> selChanges_;
    std::map<int, QTimer*> timers_;
};
