#pragma once
// What the tests of both configuration dialogs stand on: a main window left as "Parameters"
// leaves it (busy, its poll stopped) with fernwell-sim on COM1 or no module at all, and the
// dialog opened modeless on it so the test can act on its controls.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FernwellDlg.h"
#include "protocol/Device.h"
#include "serial/SerialPort.h"
#include "tests/common/GuiTest.h"
#include "tests/common/PortsDir.h"
#include "tests/common/ScopedBytePause.h"
#include "tests/config/SimLog.h"
#include "texts/Resource.h"

namespace fwtest {

using Strings = std::vector<std::string>;

// `Dialog` is CConfig612Dlg or CConfig640Dlg; `kModel` the model the main window polls and
// `kBaud` the line rate the program uses for it.
// One key through the window handle into an edit: the text and selection before and after.
struct KeyRow {
    int line;
    int id;
    const char* before;
    int start, end;  // selection; start == end is the caret
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* after;
    int afterStart, afterEnd;
};

template <class Dialog, int kModel, int kBaud>
class ConfigDlgRig : public ::testing::Test {
protected:
    using DialogType = Dialog;
    static constexpr int kModelNumber = kModel;

    void SetUp() override { ASSERT_TRUE(ports_.Ok()); }
    void TearDown() override { Stop(); }
    void Stop() {
        dlg.reset();
        main.reset();
        sim.reset();
    }

    // The main window on the model with the simulator on COM1 (`simArgs` given, the model
    // added) or no module.
    void StartMain(std::optional<Strings> simArgs) {
        Stop();
        if (simArgs) {
            simArgs->insert(simArgs->end(), {"--model", std::to_string(kModel)});
            sim.emplace(ports_.PortsDir(), *simArgs);
            ASSERT_TRUE(sim->Ok()) << sim->Error();
        }
        main = std::make_unique<CFernwellDlg>();
        {
            guitest::MessageBoxRecorder portSelection;  // not under test here
            ASSERT_TRUE(main->Create());
        }
        main->KillTimer(ID_TIMER_POLL);
        main->busy = 1;
        main->model = static_cast<Model>(kModel);
        main->link().Close();
        if (sim) {
            std::string error;
            ASSERT_EQ(main->link().OpenNow(1, kBaud, &error), 0) << error;
        }
        Settle();
    }
    // Opens the dialog; returns the boxes its first read showed.
    std::vector<guitest::RecordedBox> Open() {
        guitest::MessageBoxRecorder boxes;
        dlg = std::make_unique<Dialog>();
        dlg->link = &main->link();
        dlg->colours = &main->colours();
        EXPECT_TRUE(dlg->Create(main.get()));
        EXPECT_TRUE(guitest::ShowActive(dlg.get()));
        Settle();
        return boxes.boxes;
    }
    // Lets the window's thread run until the link is idle and every result has been taken.
    void Settle() {
        EXPECT_TRUE(guitest::WaitUntil(
            [this] { return main->link().Idle() && (!dlg || dlg->pendingExchanges() == 0); }));
    }
    // Runs `task` on the link as an exchange of the test's own.
    void OnLink(const Link::Task& task) { main->link().Call(task); }

    QString Text(int id) const { return dlg->GetDlgItemText(id); }
    QComboBox* List(int id) const { return dlg->template GetDlgItemAs<QComboBox>(id); }
    bool Shown(int id) const { return dlg->GetDlgItem(id)->isVisible(); }
    // A choice in a list, as the user makes it.
    void Choose(int id, int index) {
        List(id)->setCurrentIndex(index);
        emit List(id)->activated(index);
    }
    // A click, and the exchanges it started done.
    void Click(int id) {
        dlg->template GetDlgItemAs<QAbstractButton>(id)->click();
        Settle();
    }
    QLineEdit* Edit(int id) const { return dlg->template GetDlgItemAs<QLineEdit>(id); }

    // Each key row on the shown dialog, the edit focused with the text and selection given.
    template <std::size_t N>
    void ExpectKeys(const KeyRow (&rows)[N]) {
        for (const KeyRow& row : rows) {
            SCOPED_TRACE(row.line);
            QLineEdit* edit = Edit(row.id);
            edit->setFocus();
            edit->setText(row.before);
            edit->setSelection(row.start, row.end - row.start);
            QTest::keyClick(dlg->windowHandle(), row.key, row.modifiers);
            EXPECT_EQ(edit->text(), row.after);
            const bool selected = edit->hasSelectedText();
            EXPECT_EQ(selected ? edit->selectionStart() : edit->cursorPosition(), row.afterStart);
            EXPECT_EQ(selected ? edit->selectionEnd() : edit->cursorPosition(), row.afterEnd);
        }
    }

    ScopedPortsDir ports_;
    std::optional<LoggedSim> sim;
    std::unique_ptr<CFernwellDlg> main;
    std::unique_ptr<Dialog> dlg;

private:
    ScopedOpenDelay openDelay_{0};
    // The simulator must read each byte before the purge of the next write.
    ScopedBytePause bytePause_{20};
};

}  // namespace fwtest
