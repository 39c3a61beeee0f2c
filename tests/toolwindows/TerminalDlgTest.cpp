// The terminal window: created hidden by the main window, its commands and colours.
//
// This file also puts a simulated module on COM1 under the whole suite (on both platforms):
// every main window a test of this binary builds opens its port at start-up, and must find one
// there rather than the machine's own serial devices.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/FernwellDlg.h"
#include "tests/app/MainWindowRig.h"
#include "tests/common/GuiTest.h"
#include "texts/Resource.h"
#include "toolwindows/TerminalDlg.h"

namespace {

::testing::Environment* const kModuleOnCom1 =
    ::testing::AddGlobalTestEnvironment(new apptest::SimulatedModuleEnvironment);

const QColor kGreen(0, 155, 89);

// The terminal window as the program has it: created hidden by the main window at start-up.
class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(main.Create());
        ASSERT_TRUE(guitest::ShowActive(&main));
        term = main.terminal();
        ASSERT_NE(term, nullptr);
    }
    QPlainTextEdit* text() { return term->GetDlgItemAs<QPlainTextEdit>(IDC_TERMINAL_TEXT); }
    void ShowWithText(const QString& t) {
        ASSERT_TRUE(main.OnCommand(ID_SHOW_TERMINAL));
        ASSERT_TRUE(term->isVisible());
        term->SetDlgItemText(IDC_TERMINAL_TEXT, t);
    }
    CFernwellDlg main;
    CTerminalDlg* term = nullptr;
};

TEST_F(TerminalTest, CreatedHiddenAsAWindowOfTheMainWindow) {
    EXPECT_FALSE(term->isVisible());
    EXPECT_EQ(term->parentWidget(), &main);
    EXPECT_TRUE(term->isWindow());
    EXPECT_FALSE(term->isModal());
    EXPECT_EQ(term->colours, &main.colours());
    EXPECT_EQ(term->windowTitle(), "Terminal");
    // Caption without a system menu: no close box.
    EXPECT_FALSE(term->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(term->windowFlags() & Qt::WindowSystemMenuHint);
    ASSERT_NE(text(), nullptr);
    EXPECT_TRUE(text()->isReadOnly());
    EXPECT_TRUE(text()->toPlainText().isEmpty());
    EXPECT_EQ(text()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(text()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(TerminalTest, ShownByItsCommandAndLaidOutTidily) {
    EXPECT_TRUE(main.OnCommand(ID_SHOW_TERMINAL));
    EXPECT_TRUE(term->isVisible());
    EXPECT_TRUE(main.OnCommand(ID_SHOW_TERMINAL));
    EXPECT_TRUE(term->isVisible()) << "showing it again leaves it shown";
    guitest::ExpectTidyLayout(term);
    guitest::ExpectKeyboardAndNames(term);
    EXPECT_TRUE(term->GetDlgItemAs<QPushButton>(IDOK)->isDefault());
    EXPECT_EQ(term->GetDlgItemText(IDOK), "C&lose");
    EXPECT_EQ(term->GetDlgItemText(IDC_CLEAR_WINDOW), "&Clear Window");
}

TEST_F(TerminalTest, ClearWindowEmptiesTheTextAndKeepsTheWindow) {
    for (const char* initial : {"", "COM1 1200\r\nline 2"}) {
        SCOPED_TRACE(initial);
        ShowWithText(initial);
        term->GetDlgItemAs<QPushButton>(IDC_CLEAR_WINDOW)->click();
        EXPECT_TRUE(text()->toPlainText().isEmpty());
        EXPECT_TRUE(term->isVisible());
    }
}

// Close and Enter (which presses Close, the default button) empty the text and hide the
// window; Escape hides it and keeps the text. The window goes on existing either way.
TEST_F(TerminalTest, CloseEnterAndEscape) {
    struct Row {
        const char* how;
        std::function<void()> act;
        bool textKept;
    };
    const Row rows[] = {
        {"Close", [this] { term->GetDlgItemAs<QPushButton>(IDOK)->click(); }, false},
        {"Enter in the text area",
         [this] {
             text()->setFocus();
             QTest::keyClick(term->windowHandle(), Qt::Key_Return);
         },
         false},
        {"Escape",
         [this] {
             text()->setFocus();
             QTest::keyClick(term->windowHandle(), Qt::Key_Escape);
         },
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.how);
        ShowWithText("some text");
        ASSERT_TRUE(guitest::ShowActive(term));
        r.act();
        EXPECT_FALSE(term->isVisible());
        EXPECT_EQ(main.terminal(), term);
        EXPECT_EQ(text()->toPlainText(), r.textKept ? "some text" : "");
        // Shown again: as it was left.
        ASSERT_TRUE(main.OnCommand(ID_SHOW_TERMINAL));
        EXPECT_TRUE(term->isVisible());
        EXPECT_EQ(text()->toPlainText(), r.textKept ? "some text" : "");
        term->hide();
    }
    EXPECT_TRUE(main.isVisible()) << "hiding the terminal leaves the main window";
}

// The window on the main window's green; the text area keeps the system's colours.
TEST_F(TerminalTest, GreenAroundAWhiteTextArea) {
    ShowWithText("");
    const QImage shot = term->grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 2), kGreen);
    EXPECT_EQ(shot.pixelColor(2, term->height() - 3), kGreen);
    const QRect area = text()->geometry();
    EXPECT_EQ(shot.pixelColor(area.left() + 6, area.top() + 6),
              QApplication::palette().color(QPalette::Base));
}

// Without the main window (never handed one) the window keeps the system's colours.
TEST(Terminal, WithoutTheMainWindowKeepsTheSystemColours) {
    CTerminalDlg term;
    ASSERT_TRUE(term.Create());
    term.show();
    EXPECT_EQ(term.grab().toImage().pixelColor(2, 2),
              QApplication::palette().color(QPalette::Window));
}

// A failed creation: one message box, and the program works on without the window.
TEST(Terminal, CreationFailureIsReportedOnceAndTheProgramGoesOn) {
    CDialog::SetCreateFailure(IDD_TERMINAL, true);
    guitest::MessageBoxRecorder boxes;
    CFernwellDlg main;
    const bool created = main.Create();
    CDialog::SetCreateFailure(IDD_TERMINAL, false);
    ASSERT_TRUE(created);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Error Creating Terminal Window");
    EXPECT_EQ(boxes.boxes[0].caption, "Fernwell");
    EXPECT_EQ(boxes.boxes[0].type, ui::kMbOk | ui::kMbIconExclamation);
    EXPECT_EQ(boxes.boxes[0].owner, &main);

    EXPECT_EQ(main.terminal(), nullptr);
    EXPECT_TRUE(main.OnCommand(ID_SHOW_TERMINAL));
    EXPECT_EQ(main.findChild<CTerminalDlg*>(), nullptr);
    // The rest of start-up ran.
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(main.statusText(0), "Idle");
    EXPECT_TRUE(main.IsDlgButtonChecked(IDC_AUTO_UPDATE));
    ASSERT_NE(main.Timer(ID_TIMER_POLL), nullptr);
    EXPECT_TRUE(main.Timer(ID_TIMER_POLL)->isActive());
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

}  // namespace
