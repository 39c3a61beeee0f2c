#include "ui/FileDialog.h"

#include <QFileDialog>
#include <utility>

namespace ui {
namespace {

FileDialogHandler& Handler() {
    static FileDialogHandler handler;
    return handler;
}

}  // namespace

QString GetSaveFileName(QWidget* owner, const QString& caption, const QString& suggested,
                        SaveKind kind, const char* filter) {
    if (Handler()) {
        return Handler()(owner, caption, suggested, kind);
    }
    const QFileDialog::Options options =
        kind == SaveKind::kAppend ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options();
    return QFileDialog::getSaveFileName(owner, caption, suggested, QString::fromUtf8(filter),
                                        nullptr, options);
}

QString GetOpenFileName(QWidget* owner, const QString& caption, const char* filter) {
    if (Handler()) {
        return Handler()(owner, caption, QString(), SaveKind::kOpen);
    }
    return QFileDialog::getOpenFileName(owner, caption, QString(), QString::fromUtf8(filter));
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

}  // namespace ui
