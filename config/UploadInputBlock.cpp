#include "config/UploadInputBlock.h"

#include <QApplication>
#include <QEvent>
#include <QObject>

class UploadInputBlock::Filter : public QObject {
public:
    int swallowed = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Close:
                // Accepted, a close request would go on and close the window.
                event->ignore();
                ++swallowed;
                return true;
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::NonClientAreaMouseButtonPress:
            case QEvent::NonClientAreaMouseButtonRelease:
            case QEvent::NonClientAreaMouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TouchCancel:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
            case QEvent::TabletMove:
            case QEvent::ContextMenu:
            case QEvent::InputMethod:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
                ++swallowed;
                return true;
            default:
                return false;
        }
    }
};

UploadInputBlock::UploadInputBlock() : filter_(new Filter) {
    qApp->installEventFilter(filter_);
}

UploadInputBlock::~UploadInputBlock() {
    if (qApp) {
        qApp->removeEventFilter(filter_);
    }
    delete filter_;
}

void UploadInputBlock::Flush() {
    // Input the window system held back while events were processed without user input
    // comes out now and ends here, instead of acting once the buttons are enabled again.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int UploadInputBlock::swallowed() const {
    return filter_->swallowed;
}
