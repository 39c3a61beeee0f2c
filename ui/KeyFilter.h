#pragma once
// A dialog's key filter, in place of PreTranslateMessage: it sees every key pressed in the
// dialog before the focused control does and before the dialog's own Enter and Escape
// handling, and can swallow it.
//
// It is an event filter on the application, installed for as long as the dialog lives, that
// acts only on keys whose receiver belongs to the dialog's window (a message box or another
// dialog opened meanwhile is left alone). A key is judged once, at the control that has the
// focus; the same event travelling up to the parents is not judged again.
//
// Shortcuts are matched before a key is delivered, so a key the filter swallows must not
// trigger one either: the filter answers the shortcut-override query for such keys, which
// turns the key back into an ordinary key press that the filter then swallows.

#include <QObject>
#include <QPointer>
#include <functional>

class QKeyEvent;
class QWidget;

namespace ui {

class KeyFilter : public QObject {
public:
    // Judges one key for the control `receiver` (the focused control, or the dialog when
    // nothing has the focus) and returns true to swallow it. With `apply` false the filter
    // is only asked whether it would swallow the key (the shortcut query) and must change
    // nothing; the key press itself follows with `apply` true.
    using Handler = std::function<bool(QWidget* receiver, const QKeyEvent& key, bool apply)>;

    KeyFilter(QWidget* dialog, Handler handler);
    ~KeyFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> dialog_;
    Handler handler_;
};

}  // namespace ui
