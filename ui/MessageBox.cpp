#include "ui/MessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <vector>

#include "texts/Strings.h"
#include "ui/DialogLook.h"

namespace ui {
namespace {

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

// The system's message box lays its text out itself: a line wraps only where it is wider
// than five eighths of the screen, and the box is centred on its owner, or on the screen
// when the owner is not shown (a box during start-up, before the main window appears).
class SystemMessageBox : public QMessageBox {
public:
    SystemMessageBox(QWidget* owner, const QString& text) : QMessageBox(owner), text_(text) {
        setText(text);
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        LayOut();
        const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
        const QRect area =
            (over && over->isVisible()) ? over->frameGeometry() : screen()->availableGeometry();
        // The whole window, frame and title bar included, as the system centres its box.
        move(area.center() - QRect(QPoint(), frameGeometry().size()).center());
    }
    bool event(QEvent* event) override {
        const bool result = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest) {
            LayOut();
        }
        return result;
    }

private:
    // QMessageBox sizes itself (on showing, and on every layout request) with a narrower
    // wrapping of its own; lay the text out again the system's way after it.
    void LayOut() {
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label) {
            return;
        }
        label->setWordWrap(false);
        const QString wrapped =
            WrapMessageText(text_, label->fontMetrics(), MessageTextWidth(screen()));
        if (label->text() != wrapped) {
            label->setText(wrapped);
        }
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        layout()->activate();
        setFixedSize(layout()->totalSizeHint().expandedTo(layout()->totalMinimumSize()));
        // What the changes above asked for is done: no second round.
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    }

    QString text_;
};

int ShowRealBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) {
    SystemMessageBox box(owner ? owner : QApplication::activeWindow(), text);
    box.setWindowTitle(caption);
    if (type & kMbSelectableText) {
        box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    switch (type & kMbIconMask) {
        case kMbIconStop:
            box.setIcon(QMessageBox::Critical);
            break;
        case kMbIconQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case kMbIconExclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case kMbIconInformation:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    struct Button {
        QMessageBox::StandardButton button;
        int result;
    };
    std::vector<Button> buttons;
    switch (type & kMbButtonsMask) {
        case kMbOkCancel:
            buttons = {{QMessageBox::Ok, kIdOk}, {QMessageBox::Cancel, kIdCancel}};
            break;
        case kMbAbortRetryIgnore:
            buttons = {{QMessageBox::Abort, kIdAbort},
                       {QMessageBox::Retry, kIdRetry},
                       {QMessageBox::Ignore, kIdIgnore}};
            break;
        case kMbYesNoCancel:
            buttons = {{QMessageBox::Yes, kIdYes},
                       {QMessageBox::No, kIdNo},
                       {QMessageBox::Cancel, kIdCancel}};
            break;
        case kMbYesNo:
            buttons = {{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}};
            break;
        case kMbRetryCancel:
            buttons = {{QMessageBox::Retry, kIdRetry}, {QMessageBox::Cancel, kIdCancel}};
            break;
        default:
            buttons = {{QMessageBox::Ok, kIdOk}};
            break;
    }
    for (const Button& b : buttons) {
        box.addButton(b.button);
    }
    box.setDefaultButton(buttons.front().button);
    box.exec();
    const auto* clicked = box.clickedButton();
    for (const Button& b : buttons) {
        if (clicked == box.button(b.button)) {
            return b.result;
        }
    }
    // Closed without a button (Escape, close box): Cancel where there is one, as the
    // system does; a box without Cancel can only be left through its first button.
    for (const Button& b : buttons) {
        if (b.result == kIdCancel) {
            return kIdCancel;
        }
    }
    return buttons.front().result;
}

}  // namespace

int FirstButtonResult(unsigned type) {
    switch (type & kMbButtonsMask) {
        case kMbAbortRetryIgnore:
            return kIdAbort;
        case kMbYesNoCancel:
        case kMbYesNo:
            return kIdYes;
        case kMbRetryCancel:
            return kIdRetry;
        default:
            return kIdOk;
    }
}

int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) {
    QString shown = caption;
    unsigned shownType = type;
    if (caption.isEmpty()) {
        // The framework's own box: the application's title, and an icon where none is given
        // (a question for Yes/No, else the exclamation), so these boxes look like the rest.
        shown = QString::fromUtf8(res::kAppTitle);
        if (!(type & kMbIconMask)) {
            const unsigned buttons = type & kMbButtonsMask;
            shownType |= (buttons == kMbYesNo || buttons == kMbYesNoCancel) ? kMbIconQuestion
                                                                            : kMbIconExclamation;
        }
    }
    if (Handler()) {
        return Handler()(owner, text, shown, shownType);
    }
    return ShowRealBox(owner, text, shown, shownType);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void ThrowInvalidArgument() {
    throw InvalidArgument{};
}

void ReportInvalidArgument(QWidget* owner) {
    ShowMessageBox(owner, QString::fromUtf8(res::kInvalidArgument),
                   QString::fromUtf8(res::kAppTitle), kMbOk | kMbIconStop);
}

}  // namespace ui
