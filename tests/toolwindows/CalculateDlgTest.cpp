// The K and offset calculator as the user meets it: template 138, typing, the unit choice,
// the three messages, and the run ending after any press of "Calculate". The formulas
// themselves are tested over the whole entry table in tests/config/CalculateFormulasTest.cpp.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <map>

#include "tests/common/GuiTest.h"
#include "texts/Resource.h"
#include "toolwindows/CalculateDlg.h"

namespace {

TEST(CalculateDlg, TemplateInitialStateAndSystemColours) {
    CCalculateDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(guitest::ShowActive(&dlg));
    EXPECT_EQ(dlg.windowTitle(), "Dialog");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_PIPE_DIAMETER), "");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_DIAMETER_UNITS), "Inches");
    auto* units = dlg.GetDlgItemAs<QComboBox>(IDC_DIAMETER_UNITS);
    ASSERT_EQ(units->count(), 2);
    EXPECT_EQ(units->itemText(1), "Millimeters");
    EXPECT_TRUE(dlg.GetDlgItemAs<QPushButton>(IDOK)->isDefault());
    EXPECT_EQ(QApplication::focusWidget(), dlg.GetDlgItem(IDOK)) << "focus on the first tab stop";
    EXPECT_EQ(dlg.K, 0.0);
    EXPECT_EQ(dlg.offset, 0.0);
    // The system's colours, not the program's green.
    EXPECT_EQ(dlg.palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Window));
    guitest::ExpectTidyLayout(&dlg);
    guitest::ExpectKeyboardAndNames(&dlg);
}

// Typed through the keyboard: the number style keeps only digits.
TEST(CalculateDlg, OnePressEndsTheRunWithOkOrAfterItsMessage) {
    enum Ending { kOk, kTeeType, kTooLarge, kPipeError };
    struct Row {
        int line;
        const char* typed;
        int unit;
        Ending ending;
        double k, offset;
    } rows[] = {
        {__LINE__, "", 0, kTeeType, 0, 0},
        {__LINE__, "4", 0, kOk, 8.207, 0.2232319},
        {__LINE__, "8", 0, kOk, 40.291, 0.28158703},
        {__LINE__, "3", 0, kPipeError, 0, 0},
        {__LINE__, "6x0", 0, kTooLarge, 0, 0},             // "60": the x is refused
        {__LINE__, "4.5", 0, kOk, 11.00225, 0.24263299},   // a real pipe size
        {__LINE__, "4..5", 0, kOk, 11.00225, 0.24263299},  // one point only
        {__LINE__, "78", 1, kOk, 4.371075, 0.063274},
        {__LINE__, "7.8", 1, kTeeType, 0, 0},  // 7.8 mm, no longer 78
        {__LINE__, "76", 1, kTeeType, 0, 0},
        {__LINE__, "1499", 1, kTooLarge, 0, 0},
    };
    const std::map<Ending, std::pair<QString, QString>> messages = {
        {kTeeType, {"Please use a Tee-Type sensor for this size pipe.", "Error"}},
        {kTooLarge, {"K and offset values can not be calculated for this size pipe.", "Error"}},
        {kPipeError, {"This Pipe ID is incorrect please consult manual.", "Pipe Error"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        guitest::MessageBoxRecorder boxes;
        CCalculateDlg dlg;
        int result = 0;
        bool tipShown = false;
        {
            guitest::NextModal act([&](QWidget*) {
                auto* edit = dlg.GetDlgItemAs<QLineEdit>(IDC_PIPE_DIAMETER);
                edit->setFocus();
                QToolTip::hideText();
                QTest::keyClicks(edit, row.typed);
                tipShown = QToolTip::text().startsWith("Unacceptable Character");
                dlg.GetDlgItemAs<QComboBox>(IDC_DIAMETER_UNITS)->setCurrentIndex(row.unit);
                dlg.GetDlgItemAs<QPushButton>(IDOK)->click();
            });
            result = dlg.DoModal();
        }
        EXPECT_EQ(result, row.ending == kOk ? IDOK : IDCANCEL);
        // A character refused is never dropped without a sign.
        const std::string typed = row.typed;
        EXPECT_EQ(tipShown, typed.find('x') != std::string::npos || typed.find("..") != typed.npos);
        EXPECT_NEAR(dlg.K, row.k, 1e-6);
        EXPECT_NEAR(dlg.offset, row.offset, 1e-6);
        if (row.ending == kOk) {
            EXPECT_TRUE(boxes.boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, messages.at(row.ending).first);
        EXPECT_EQ(boxes.boxes[0].caption, messages.at(row.ending).second);
        EXPECT_EQ(boxes.boxes[0].type, ui::kMbOk);
        EXPECT_EQ(boxes.boxes[0].owner, &dlg);
    }
}

TEST(CalculateDlg, CancelAndEscapeLeaveTheResultsAlone) {
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Cancel");
        CCalculateDlg dlg;
        ASSERT_TRUE(dlg.Create());
        ASSERT_TRUE(guitest::ShowActive(&dlg));
        dlg.SetDlgItemText(IDC_PIPE_DIAMETER, "8");
        if (escape) {
            QTest::keyClick(dlg.windowHandle(), Qt::Key_Escape);
        } else {
            dlg.GetDlgItemAs<QPushButton>(IDCANCEL)->click();
        }
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), IDCANCEL);
        EXPECT_EQ(dlg.K, 0.0);
    }
}

}  // namespace
