#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QScreen>

#include "texts/Strings.h"

#include "tests/common/GuiTest.h"
#include "ui/MessageBox.h"

namespace {

TEST(MessageBox, RecorderSeesEveryBoxAndAnswersIt) {
    guitest::MessageBoxRecorder boxes(ui::kIdNo);
    EXPECT_EQ(ui::ShowMessageBox(nullptr, "Sure?", "Question", ui::kMbYesNo | ui::kMbIconQuestion),
              ui::kIdNo);
    // No caption: the application's title and the framework's icon for the buttons.
    ui::ShowMessageBox(nullptr, "Error Creating Terminal Window");
    ui::ShowMessageBox(nullptr, "Again?", QString(), ui::kMbYesNo);
    ui::ShowMessageBox(nullptr, "Stop", QString(), ui::kMbOk | ui::kMbIconStop);
    ASSERT_EQ(boxes.boxes.size(), 4u);
    EXPECT_EQ(boxes.boxes[0].caption, "Question");
    EXPECT_EQ(boxes.boxes[0].type, ui::kMbYesNo | ui::kMbIconQuestion);
    EXPECT_EQ(boxes.boxes[1].text, "Error Creating Terminal Window");
    EXPECT_EQ(boxes.boxes[1].caption, "Fernwell");
    EXPECT_EQ(boxes.boxes[1].type, ui::kMbOk | ui::kMbIconExclamation);
    EXPECT_EQ(boxes.boxes[2].type, ui::kMbYesNo | ui::kMbIconQuestion);
    EXPECT_EQ(boxes.boxes[3].type, ui::kMbOk | ui::kMbIconStop);
}

// The real box: its buttons and icon follow the type, and the button pressed comes back
// as the system's result.
TEST(MessageBox, RealBoxButtonsIconsAndResults) {
    struct Row {
        unsigned type;
        QMessageBox::Icon icon;
        std::vector<QMessageBox::StandardButton> buttons;
        QMessageBox::StandardButton press;  // NoButton: Escape
        int result;
    };
    const Row rows[] = {
        {ui::kMbOk, QMessageBox::NoIcon, {QMessageBox::Ok}, QMessageBox::Ok, ui::kIdOk},
        {ui::kMbOk | ui::kMbIconExclamation,
         QMessageBox::Warning,
         {QMessageBox::Ok},
         QMessageBox::NoButton,
         ui::kIdOk},
        {ui::kMbOkCancel | ui::kMbIconStop,
         QMessageBox::Critical,
         {QMessageBox::Ok, QMessageBox::Cancel},
         QMessageBox::Cancel,
         ui::kIdCancel},
        {ui::kMbYesNo | ui::kMbIconQuestion,
         QMessageBox::Question,
         {QMessageBox::Yes, QMessageBox::No},
         QMessageBox::No,
         ui::kIdNo},
        {ui::kMbYesNoCancel | ui::kMbIconInformation,
         QMessageBox::Information,
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel},
         QMessageBox::NoButton,
         ui::kIdCancel},
        {ui::kMbRetryCancel,
         QMessageBox::NoIcon,
         {QMessageBox::Retry, QMessageBox::Cancel},
         QMessageBox::Retry,
         ui::kIdRetry},
        {ui::kMbAbortRetryIgnore,
         QMessageBox::NoIcon,
         {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore},
         QMessageBox::Ignore,
         ui::kIdIgnore},
        {ui::kMbOk | ui::kMbIconInformation | ui::kMbSelectableText,
         QMessageBox::Information,
         {QMessageBox::Ok},
         QMessageBox::Ok,
         ui::kIdOk},
    };
    const ui::MessageBoxHandler failing = ui::SetMessageBoxHandler(nullptr);
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << r.type);
        guitest::NextModal next([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), "text");
            EXPECT_EQ(box->windowTitle(), "caption");
            EXPECT_EQ(box->icon(), r.icon);
            EXPECT_EQ(box->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard),
                      bool(r.type & ui::kMbSelectableText));
            EXPECT_EQ(box->buttons().size(), static_cast<qsizetype>(r.buttons.size()));
            for (auto b : r.buttons) {
                EXPECT_NE(box->button(b), nullptr) << b;
            }
            if (r.press == QMessageBox::NoButton) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                box->button(r.press)->click();
            }
        });
        EXPECT_EQ(ui::ShowMessageBox(nullptr, "text", "caption", r.type), r.result);
    }
    ui::SetMessageBoxHandler(failing);
}

// A line the system would not wrap stays whole, and a box whose owner is not shown (start-up)
// sits in the middle of the screen.
TEST(MessageBox, RealBoxKeepsLinesWholeAndCentresOnTheScreen) {
    const QString text = QString::fromUtf8(res::kHighAlarmOrder);
    const ui::MessageBoxHandler failing = ui::SetMessageBoxHandler(nullptr);
    QWidget hidden;
    guitest::NextModal next([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), text);
        guitest::ExpectTidyLayout(box);
        const QPoint centre = box->screen()->availableGeometry().center();
        EXPECT_LE((box->frameGeometry().center() - centre).manhattanLength(), 8);  // uncentred: 68
        box->button(QMessageBox::Ok)->click();
    });
    ui::ShowMessageBox(&hidden, text, "Invalid Entry", ui::kMbOk);
    ui::SetMessageBoxHandler(failing);
}

}  // namespace
