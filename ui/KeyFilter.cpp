#include "ui/KeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ui {

KeyFilter::KeyFilter(QWidget* dialog, Handler handler)
    : QObject(dialog), dialog_(dialog), handler_(std::move(handler)) {
    qApp->installEventFilter(this);
}

KeyFilter::~KeyFilter() {
    if (qApp) {
        qApp->removeEventFilter(this);
    }
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) {
        return false;
    }
    auto* receiver = qobject_cast<QWidget*>(watched);
    if (!dialog_ || !receiver || receiver->window() != dialog_) {
        return false;
    }
    // The key starts at the focused control and, when that control ignores it, travels up
    // to its parents. Judge it at the start only.
    QWidget* focus = QApplication::focusWidget();
    QWidget* first = (focus && focus->window() == dialog_) ? focus : dialog_.data();
    if (receiver != first) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::ShortcutOverride) {
        if (handler_(receiver, *key, false)) {
            key->accept();  // not a shortcut: deliver it as a key press, which we swallow
            return true;
        }
        return false;
    }
    return handler_(receiver, *key, true);
}

}  // namespace ui
