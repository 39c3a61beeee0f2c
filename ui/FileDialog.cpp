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
                        SaveKind kind) {
    if (Handler()) {
        return Handler()(owner, caption, suggested, kind);
    }
    const QFileDialog::Options options =
        kind == SaveKind::kAppend ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options();
    return QFileDialog::getSaveFileName(owner, caption, suggested,
                                        QStringLiteral("CSV files (*.csv);;All files (*)"), nullptr,
                                        options);
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

}  // namespace ui
