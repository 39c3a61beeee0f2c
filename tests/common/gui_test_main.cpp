// main of the GUI test suites: a QApplication on the offscreen platform unless the caller
// chose one, a message-box function that fails the test on any box nobody expected (tests
// that expect boxes install a guitest::MessageBoxRecorder), the same for file dialogs, a screenshot
// of every window shown when FERNWELL_SCREENSHOT_DIR is set, a configuration directory of its own
// so the program under test never reads or writes the user's settings and port links, a state
// directory of its own so its uploads never go into the user's journal, and empty device roots
// so it never opens a real serial port of the machine (only the links tests make).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QWidget>

#include "tests/common/GuiTest.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"

namespace {

class ScreenshotOnShow : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->isWindow() && !qobject_cast<QMenu*>(widget) &&
                (widget->windowType() == Qt::Dialog || widget->windowType() == Qt::Window)) {
                const QString title = widget->windowTitle();
                guitest::SaveScreenshot(widget, title.isEmpty() ? widget->objectName() : title);
            }
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir config;
    if (config.isValid()) {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    // Every Send of a test appends to the journal: a state folder of its own, off Windows and
    // on it (store/StateFolder.h).
    QTemporaryDir state;
    if (state.isValid()) {
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        qputenv("LOCALAPPDATA", QDir::toNativeSeparators(state.path()).toLocal8Bit());
    }
    QTemporaryDir devices;
    if (devices.isValid() && qEnvironmentVariableIsEmpty("FERNWELL_DEV_ROOT")) {
        qputenv("FERNWELL_DEV_ROOT", devices.path().toLocal8Bit());
        qputenv("FERNWELL_SYSFS_ROOT", devices.path().toLocal8Bit());
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);

    ui::SetMessageBoxHandler(
        [](QWidget*, const QString& text, const QString& caption, unsigned type) {
            ADD_FAILURE() << "unexpected message box \"" << caption.toStdString()
                          << "\": " << text.toStdString();
            return ui::FirstButtonResult(type);
        });
    ui::SetFileDialogHandler([](QWidget*, const QString& caption, const QString&, ui::SaveKind) {
        ADD_FAILURE() << "unexpected file dialog \"" << caption.toStdString() << "\"";
        return QString();
    });
    ScreenshotOnShow screenshots;
    if (!qEnvironmentVariableIsEmpty("FERNWELL_SCREENSHOT_DIR")) {
        app.installEventFilter(&screenshots);
    }
    const int result = RUN_ALL_TESTS();
    app.removeEventFilter(&screenshots);
    ui::SetMessageBoxHandler(nullptr);
    ui::SetFileDialogHandler(nullptr);
    return result;
}
