#pragma once
// Helpers of the GUI test suites (header-only; gui_test_main.cpp sets up the application).
//
//  - ShowActive: show a window and wait until it is the active window, before sending keys.
//  - SaveScreenshot: a PNG of a window in $FERNWELL_SCREENSHOT_DIR, when that is set. The
//    test main already saves every window when it is shown; call this for later states.
//  - MessageBoxRecorder: records the message boxes shown while it lives and answers them.
//  - ExpectTidyLayout: the visible controls of a window lie inside it, do not overlap (group
//    boxes aside, which frame others) and show their whole text: every line of a label or a
//    message box, and the longest item of a drop-down list.
//  - ExpectAccessKeys: every push button of a window has an Alt+letter, no two the same.
//  - ExpectNamedControls: every control a window's Tab reaches has a name for assistive tools
//    that is not its value, and no two share one.
//  - NextModal: acts on the next modal window that opens (a dialog's DoModal, a nested box)
//    from inside its modal loop; fails the test and closes what is left open when the
//    watchdog runs out, so a broken test never hangs.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/Dialog.h"
#include "ui/MessageBox.h"

namespace guitest {

// Lets the window's thread run (events, timers, results the link hands over) until `done`
// holds, then once more so that what was posted just before is delivered too. False when
// `timeoutMs` passed first.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(5);
    }
    QCoreApplication::processEvents();
    return true;
}

inline bool ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// "<Suite>.<Test>" of the running test, or "outside-test".
inline std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : "outside-test";
}

// Saves `window` as "<Suite>.<Test>-<n>-<tag>.png". Returns the file written, or an empty
// text when screenshots are off.
inline QString SaveScreenshot(QWidget* window, const QString& tag) {
    const QString dir = qEnvironmentVariable("FERNWELL_SCREENSHOT_DIR");
    if (dir.isEmpty() || !window) {
        return QString();
    }
    static std::map<std::string, int> counts;
    const std::string test = CurrentTestName();
    const int n = ++counts[test];
    QString safeTag = tag;
    safeTag.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]+")), QStringLiteral("_"));
    QDir().mkpath(dir);
    const QString file = QStringLiteral("%1/%2-%3-%4.png")
                             .arg(dir, QString::fromStdString(test))
                             .arg(n)
                             .arg(safeTag);
    window->grab().save(file, "PNG");
    return file;
}

inline void ExpectAccessKeys(QWidget* window) {
    QMap<QChar, QString> taken;
    for (const QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->window() != window) {
            continue;  // a window of its own, such as the main window's trend window
        }
        const QString text = button->text();
        const QRegularExpressionMatch key = QRegularExpression("&([^&])").match(text);
        if (!key.hasMatch()) {
            ADD_FAILURE() << "no access key: " << text.toStdString();
            continue;
        }
        const QChar letter = key.captured(1).at(0).toLower();
        EXPECT_FALSE(taken.contains(letter))
            << text.toStdString() << " and " << taken.value(letter).toStdString();
        taken.insert(letter, text);
    }
}

inline void ExpectNamedControls(QWidget* window) {
    QMap<QString, QString> seen;  // name -> class of the control that has it
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) || control->window() != window) {
            continue;
        }
        // Qt's tools on Linux name a list by its value (its label is in a relation); the
        // name it is given is what Windows tools announce.
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
        const QString name = qobject_cast<QComboBox*>(control) ? control->accessibleName()
                             : a                               ? a->text(QAccessible::Name)
                                                               : QString();
        const std::string what =
            std::string(control->metaObject()->className()) + " \"" + name.toStdString() + "\"";
        EXPECT_FALSE(name.isEmpty()) << what;
        if (const auto* edit = qobject_cast<QLineEdit*>(control); edit && !edit->text().isEmpty()) {
            EXPECT_NE(name, edit->text()) << what;
        }
        EXPECT_FALSE(seen.contains(name)) << what << " and a " << seen.value(name).toStdString();
        seen.insert(name, control->metaObject()->className());
    }
}

// Every button has an access key of its own and every control the Tab reaches has a name.
inline void ExpectKeyboardAndNames(QWidget* window) {
    ExpectAccessKeys(window);
    ExpectNamedControls(window);
}

inline void ExpectTidyLayout(QWidget* window) {
    std::vector<QWidget*> controls;
    // A message box's texts are its labels (the icon aside); a dialog's are its controls.
    const bool box = qobject_cast<QMessageBox*>(window) != nullptr;
    for (QObject* child : window->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        const auto* label = qobject_cast<QLabel*>(w);
        if (w && w->isVisible() &&
            (box ? label && !label->text().isEmpty() : w->property("controlId").isValid())) {
            controls.push_back(w);
        }
    }
    auto name = [](QWidget* w) {
        return w->objectName().toStdString() + " (" + w->metaObject()->className() + ")";
    };
    const QRect area = window->rect();
    // Under Wine "MS Shell Dlg" is Tahoma, wider than the MS Sans Serif the templates were
    // drawn for (and Windows draws them in): there a few texts are a few pixels short, so only
    // where the controls sit is checked.
    const bool stretchedFont = QFontInfo(window->font()).family() == QLatin1String("Tahoma");
    for (QWidget* w : controls) {
        EXPECT_TRUE(area.contains(w->geometry())) << name(w) << " sticks out of the window";
        if (stretchedFont) {
            continue;
        }
        const QFontMetrics fm(w->font());
        auto plain = [](QString t) {
            return t.remove(QRegularExpression(QStringLiteral("&(?!&)")));
        };
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            int widest = 0;
            for (const QString& line : label->text().split('\n')) {
                widest = std::max(widest, fm.horizontalAdvance(line));
            }
            EXPECT_LE(widest + 2 * label->frameWidth(), label->width())
                << name(w) << " clips \"" << label->text().toStdString() << "\"";
            EXPECT_LE(fm.height() * label->text().count('\n') + fm.height(), label->height())
                << name(w) << " is too low for its text";
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(plain(button->text())) + 8, button->width())
                << name(w) << " clips \"" << button->text().toStdString() << "\"";
            EXPECT_GE(button->height(), fm.height() + 4) << name(w);
        } else if (auto* list = qobject_cast<QComboBox*>(w)) {
            // The item is drawn in the list's text field, one pixel in from each side.
            QStyleOptionComboBox option;
            option.initFrom(list);
            option.editable = list->isEditable();
            option.frame = list->hasFrame();
            const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                              QStyle::SC_ComboBoxEditField, list);
            for (int i = 0; i < list->count(); ++i) {
                EXPECT_LE(fm.horizontalAdvance(list->itemText(i)), field.width() - 2)
                    << name(w) << " cuts \"" << list->itemText(i).toStdString() << "\"";
            }
        } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
            EXPECT_LE(w->sizeHint().width(), w->width())
                << name(w) << " clips \"" << static_cast<QAbstractButton*>(w)->text().toStdString()
                << "\"";
        }
    }
    for (size_t i = 0; i < controls.size(); ++i) {
        for (size_t j = i + 1; j < controls.size(); ++j) {
            if (qobject_cast<QGroupBox*>(controls[i]) || qobject_cast<QGroupBox*>(controls[j])) {
                continue;
            }
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << name(controls[i]) << " overlaps " << name(controls[j]);
        }
    }
}

struct RecordedBox {
    QString text;
    QString caption;
    unsigned type = 0;
    QWidget* owner = nullptr;
};

class MessageBoxRecorder {
public:
    // Answers every box with `answer`, or with its first button when `answer` is 0.
    explicit MessageBoxRecorder(int answer = 0) : answer_(answer) {
        previous_ = ui::SetMessageBoxHandler(
            [this](QWidget* owner, const QString& text, const QString& caption, unsigned type) {
                boxes.push_back({text, caption, type, owner});
                return answer_ ? answer_ : ui::FirstButtonResult(type);
            });
    }
    ~MessageBoxRecorder() { ui::SetMessageBoxHandler(std::move(previous_)); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<RecordedBox> boxes;

private:
    int answer_;
    ui::MessageBoxHandler previous_;
};

class NextModal {
public:
    using Action = std::function<void(QWidget* modal)>;

    explicit NextModal(Action action, int timeoutMs = 5000)
        : action_(std::move(action)),
          timeoutMs_(timeoutMs),
          before_(QApplication::activeModalWidget()) {
        poll_.setInterval(10);
        QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
        poll_.start();
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] { Expire(); });
        watchdog_.start(timeoutMs_);
    }
    ~NextModal() {
        poll_.stop();
        watchdog_.stop();
        if (!seen_) {
            ADD_FAILURE() << "no modal window opened within " << timeoutMs_ << " ms";
        }
    }
    NextModal(const NextModal&) = delete;
    NextModal& operator=(const NextModal&) = delete;

    bool seen() const { return seen_; }

private:
    void Poll() {
        if (seen_) {
            // Done once the window acted on has closed.
            if (!modal_ || !modal_->isVisible()) {
                poll_.stop();
                watchdog_.stop();
            }
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == before_ || !modal->isVisible()) {
            return;
        }
        seen_ = true;
        modal_ = modal;
        action_(modal);  // may itself run a nested modal loop
    }
    void Expire() {
        poll_.stop();
        if (!seen_ || !modal_ || !modal_->isVisible()) {
            return;  // nothing opened (reported by the destructor), or closed in time
        }
        // Close whatever opened since, innermost first.
        bool leftOpen = false;
        while (QWidget* modal = QApplication::activeModalWidget()) {
            if (modal == before_) {
                break;
            }
            leftOpen = true;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->done(QDialog::Rejected);
            } else {
                modal->close();
            }
            if (QApplication::activeModalWidget() == modal) {
                modal->hide();
            }
        }
        if (leftOpen) {
            ADD_FAILURE() << "modal window still open after " << timeoutMs_ << " ms; closed it";
        }
    }

    Action action_;
    int timeoutMs_;
    QPointer<QWidget> before_;
    QPointer<QWidget> modal_;
    QTimer poll_;
    QTimer watchdog_;
    bool seen_ = false;
};

}  // namespace guitest
