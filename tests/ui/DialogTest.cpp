#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "res/Templates.h"
#include "tests/common/GuiTest.h"
#include "texts/Resource.h"
#include "ui/Dialog.h"
#include "ui/MessageBox.h"

namespace {

using res::ControlKind;
using res::ControlTemplate;
using res::DialogTemplate;

// A dialog of every kind of control, for the template conversion.
constexpr ControlTemplate kSampleControls[] = {
    {IDOK, ControlKind::DefPushButton, "OK", 120, 7, 50, 14, res::kTabStop},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 120, 24, 50, 14, res::kTabStop},
    {IDC_STATIC, ControlKind::GroupBox, "Frame", 4, 40, 110, 60, res::kNone},
    {201, ControlKind::RadioButton, "A", 10, 52, 40, 10, res::kGroup},
    {202, ControlKind::RadioButton, "B", 10, 64, 40, 10, res::kNone},
    {203, ControlKind::RadioButton, "C", 60, 52, 40, 10, res::kGroup},
    {204, ControlKind::RadioButton, "D", 60, 64, 40, 10, res::kNone},
    {205, ControlKind::CheckBox, "Check", 10, 80, 60, 10, res::kNone},
    {206, ControlKind::Edit, "", 7, 7, 60, 14, res::kBorder | res::kNumber},
    {207, ControlKind::DropList, "", 7, 24, 60, 80, res::kVScroll},
    {208, ControlKind::Text, "Centred", 120, 50, 50, 12, res::kCenter | res::kSunken},
    {209, ControlKind::Edit, "", 120, 66, 50, 30, res::kMultiLine | res::kReadOnly},
    {210, ControlKind::Bitmap, "#145", 120, 100, 20, 20, res::kNone},
    {211, ControlKind::Text, "Hidden", 70, 7, 40, 8, res::kHidden},
    {212, ControlKind::PushButton, "Off", 70, 24, 40, 14, res::kDisabled},
};
const DialogTemplate kSample{
    9001, "Sample",       180, 130, res::kPopup | res::kCaption | res::kSysMenu | res::kModalFrame,
    0,    kSampleControls};

// The same with the main menu, and without a default button.
constexpr ControlTemplate kMenuControls[] = {
    {301, ControlKind::CheckBox, "Check", 10, 10, 60, 10, res::kNone},
};
const DialogTemplate kWithMenu{9002,     "With menu",  120, 40, res::kPopup | res::kCaption,
                               IDR_MENU, kMenuControls};

class SampleDialog : public CDialog {
public:
    explicit SampleDialog(const DialogTemplate& t = kSample) : CDialog(t) {}
    using CDialog::MapCommand;
    using CDialog::MapSelChange;
    int initCount = 0;

protected:
    bool OnInitDialog() override {
        ++initCount;
        EXPECT_NE(GetDlgItem(Template()->controls.front().id), nullptr)
            << "controls exist before OnInitDialog";
        EXPECT_FALSE(isVisible()) << "OnInitDialog runs before the window shows";
        return true;
    }
};

TEST(Dialog, ControlsSitAtTheirConvertedRectangles) {
    SampleDialog dlg;
    ASSERT_EQ(dlg.GetDlgItem(IDOK), nullptr) << "no controls before the window is created";
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.initCount, 1);
    const ui::BaseUnits bu = dlg.DialogBaseUnits();
    for (const ControlTemplate& c : kSampleControls) {
        if (c.id == IDC_STATIC || c.kind == ControlKind::Bitmap) {
            continue;
        }
        SCOPED_TRACE(c.id);
        QWidget* w = dlg.GetDlgItem(c.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(ui::ControlId(w), c.id);
        const QRect px = ui::MapDialogRect(QRect(c.x, c.y, c.w, c.h), bu);
        if (c.kind == ControlKind::DropList) {
            // The template's height is the dropped list's.
            EXPECT_EQ(w->geometry().topLeft(), px.topLeft());
            EXPECT_EQ(w->width(), px.width());
            EXPECT_LT(w->height(), px.height());
        } else {
            EXPECT_EQ(w->geometry(), px);
        }
    }
    EXPECT_EQ(dlg.size(), ui::MapDialogRect(QRect(0, 0, 180, 130), bu).size());
    EXPECT_EQ(dlg.windowTitle(), "Sample");
    EXPECT_EQ(dlg.GetDlgItem(999), nullptr);
}

TEST(Dialog, ControlStyles) {
    SampleDialog dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    EXPECT_TRUE(dlg.GetDlgItemAs<QPushButton>(IDOK)->isDefault());
    EXPECT_FALSE(dlg.GetDlgItemAs<QPushButton>(IDCANCEL)->isDefault());
    EXPECT_FALSE(dlg.GetDlgItem(211)->isVisible());
    EXPECT_TRUE(dlg.GetDlgItem(208)->isVisible());
    EXPECT_FALSE(dlg.GetDlgItem(212)->isEnabled());
    // A bitmap control takes its image's size.
    EXPECT_EQ(dlg.GetDlgItem(210)->size(), QSize(14, 14));

    // Digits only.
    auto* number = dlg.GetDlgItemAs<QLineEdit>(206);
    number->setFocus();
    QTest::keyClicks(number, "1a2-3");
    EXPECT_EQ(number->text(), "123");
    // Each keystroke is judged alone: digits typed after a "-" the program put there stay.
    number->setText("-");
    QTest::keyClicks(number, "5x");
    EXPECT_EQ(number->text(), "-5");
}

TEST(Dialog, RadioGroupsFollowTheGroupStyle) {
    SampleDialog dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    auto click = [&](int id) {
        auto* radio = dlg.GetDlgItemAs<QRadioButton>(id);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(5, radio->height() / 2));
    };
    click(201);
    click(203);
    EXPECT_TRUE(dlg.IsDlgButtonChecked(201)) << "203 starts a group of its own";
    EXPECT_TRUE(dlg.IsDlgButtonChecked(203));
    click(202);
    EXPECT_FALSE(dlg.IsDlgButtonChecked(201));
    EXPECT_TRUE(dlg.IsDlgButtonChecked(202));
    EXPECT_TRUE(dlg.IsDlgButtonChecked(203));
}

// A group box is drawn behind its neighbours: clicks inside it reach the controls.
TEST(Dialog, ClicksInsideAGroupBoxReachTheControls) {
    SampleDialog dlg;
    int clicks = 0;
    dlg.MapCommand(205, [&] { ++clicks; });
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(guitest::ShowActive(&dlg));
    auto* box = dlg.GetDlgItemAs<QCheckBox>(205);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(clicks, 1);
}

// Which command each way of ending a modal run sends, and the result DoModal returns.
TEST(Dialog, ModalRunEndsWithTheCommandsResult) {
    struct Row {
        const char* how;
        std::function<void(SampleDialog&)> act;
        int result;
    };
    const Row rows[] = {
        {"OK button", [](SampleDialog& d) { d.GetDlgItemAs<QPushButton>(IDOK)->click(); }, IDOK},
        {"Cancel button", [](SampleDialog& d) { d.GetDlgItemAs<QPushButton>(IDCANCEL)->click(); },
         IDCANCEL},
        {"Escape", [](SampleDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, IDCANCEL},
        {"close box", [](SampleDialog& d) { d.close(); }, IDCANCEL},
        {"Enter presses the default button",
         [](SampleDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }, IDOK},
        {"EndDialog", [](SampleDialog& d) { d.EndDialog(7); }, 7},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.how);
        SampleDialog dlg;
        guitest::NextModal next([&](QWidget* modal) {
            EXPECT_EQ(modal, &dlg);
            r.act(dlg);
        });
        EXPECT_EQ(dlg.DoModal(), r.result);
        EXPECT_FALSE(dlg.isVisible());
    }
}

// Without a default button, Enter still sends IDOK, as the dialog manager does.
TEST(Dialog, EnterWithoutDefaultButtonSendsOk) {
    SampleDialog dlg(kWithMenu);
    int oks = 0;
    dlg.MapCommand(IDOK, [&] { ++oks; });
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(guitest::ShowActive(&dlg));
    dlg.GetDlgItem(301)->setFocus();
    QTest::keyClick(dlg.windowHandle(), Qt::Key_Return);
    EXPECT_EQ(oks, 1);
}

TEST(Dialog, MappedCommandsAndTheApplicationsHandler) {
    SampleDialog dlg;
    std::vector<int> seen;
    dlg.MapCommand(IDCANCEL, [&] { seen.push_back(-IDCANCEL); });  // replaces the default
    dlg.MapCommand(212, [&] { seen.push_back(212); });
    CDialog::SetApplicationCommandHandler([&](int id) {
        seen.push_back(id);
        return id == 5000;
    });
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible()) << "the mapped IDCANCEL handler does not end the dialog";
    EXPECT_TRUE(dlg.OnCommand(212));
    EXPECT_TRUE(dlg.OnCommand(5000));
    EXPECT_FALSE(dlg.OnCommand(5001));
    CDialog::SetApplicationCommandHandler(nullptr);
    EXPECT_FALSE(dlg.OnCommand(5000));
    EXPECT_EQ(seen, (std::vector<int>{-IDCANCEL, 212, 5000, 5001}));
}

// The framework catches an invalid-argument error where the command is dispatched, reports
// it with the stop icon and carries on; the dialog stays open.
TEST(Dialog, InvalidArgumentIsReportedAndTheDialogStaysOpen) {
    SampleDialog dlg;
    bool after = false;
    dlg.MapCommand(IDOK, [&] {
        ui::ThrowInvalidArgument();
        after = true;
    });
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    guitest::MessageBoxRecorder boxes;
    dlg.GetDlgItemAs<QPushButton>(IDOK)->click();
    EXPECT_FALSE(after);
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "An invalid argument was encountered.");
    EXPECT_EQ(boxes.boxes[0].caption, "Fernwell");
    EXPECT_EQ(boxes.boxes[0].type, ui::kMbOk | ui::kMbIconStop);
    EXPECT_EQ(boxes.boxes[0].owner, &dlg);
}

TEST(Dialog, MenuSitsAboveTheClientAreaAndKeepsItsStates) {
    SampleDialog dlg(kWithMenu);
    std::vector<int> commands;
    for (int id : {ID_DEVICE_612, ID_ALARM_STATUS, ID_EXIT}) {
        dlg.MapCommand(id, [&commands, id] { commands.push_back(id); });
    }
    ASSERT_TRUE(dlg.Create());
    QMenuBar* bar = dlg.MenuBar();
    ASSERT_NE(bar, nullptr);
    const int menuHeight = bar->height();
    EXPECT_GT(menuHeight, 0);
    const QRect client = ui::MapDialogRect(QRect(0, 0, 120, 40), dlg.DialogBaseUnits());
    EXPECT_EQ(dlg.size(), QSize(client.width(), client.height() + menuHeight));
    EXPECT_EQ(
        dlg.GetDlgItem(301)->geometry(),
        ui::MapDialogRect(QRect(10, 10, 60, 10), dlg.DialogBaseUnits()).translated(0, menuHeight));

    QStringList titles;
    for (QAction* a : bar->actions()) {
        titles << a->text();
    }
    EXPECT_EQ(titles, (QStringList{"Main", "Device", "Configuration", "Help"}));

    EXPECT_TRUE(dlg.IsMenuItemChecked(ID_DEVICE_612));
    EXPECT_FALSE(dlg.IsMenuItemChecked(ID_DEVICE_642));
    EXPECT_FALSE(dlg.IsMenuItemEnabled(ID_ALARM_STATUS));
    EXPECT_TRUE(dlg.IsMenuItemEnabled(ID_PARAMETERS));

    // Choosing a checked item runs its command and leaves the check mark to the program.
    dlg.MenuItem(ID_DEVICE_612)->trigger();
    EXPECT_TRUE(dlg.IsMenuItemChecked(ID_DEVICE_612));
    // A grayed item sends nothing.
    dlg.MenuItem(ID_ALARM_STATUS)->trigger();
    dlg.EnableMenuItem(ID_ALARM_STATUS, true);
    dlg.MenuItem(ID_ALARM_STATUS)->trigger();
    dlg.CheckMenuItem(ID_DEVICE_642, true);
    EXPECT_TRUE(dlg.IsMenuItemChecked(ID_DEVICE_642));
    dlg.MenuItem(ID_EXIT)->trigger();
    EXPECT_EQ(commands, (std::vector<int>{ID_DEVICE_612, ID_ALARM_STATUS, ID_EXIT}));
}

TEST(Dialog, WindowFrameFollowsTheTemplate) {
    struct Row {
        int templateId;
        bool closeBox;
        bool minimizeBox;
    };
    const Row rows[] = {
        {IDD_TERMINAL, false, false},
        {IDD_COMM_SETTINGS, true, false},
        {IDD_FERNWELL_DIALOG, true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.templateId);
        CDialog dlg(r.templateId);
        ASSERT_TRUE(dlg.Create());
        const Qt::WindowFlags f = dlg.windowFlags();
        EXPECT_EQ(f & Qt::WindowType_Mask, Qt::Dialog);
        EXPECT_TRUE(f & Qt::WindowTitleHint);
        EXPECT_EQ(bool(f & Qt::WindowCloseButtonHint), r.closeBox);
        EXPECT_EQ(bool(f & Qt::WindowSystemMenuHint), r.closeBox);
        EXPECT_EQ(bool(f & Qt::WindowMinimizeButtonHint), r.minimizeBox);
        EXPECT_FALSE(f & Qt::WindowContextHelpButtonHint);
        dlg.hide();
    }
}

// Every template of the program, shown as it stands: controls inside the window, no overlaps,
// no clipped text (in the dialog font, which is wider than the one the templates were drawn
// for).
TEST(Dialog, ProgramTemplatesAreTidy) {
    for (int id : {IDD_ABOUTBOX, IDD_FERNWELL_DIALOG, IDD_COMM_SETTINGS, IDD_TERMINAL}) {
        SCOPED_TRACE(id);
        CDialog dlg(id);
        ASSERT_TRUE(dlg.Create());
        dlg.show();
        guitest::ExpectTidyLayout(&dlg);
        const res::DialogTemplate* t = dlg.Template();
        EXPECT_EQ(dlg.GetClientRect().size(),
                  ui::MapDialogRect(QRect(0, 0, t->w, t->h), dlg.DialogBaseUnits()).size());
        EXPECT_EQ(dlg.windowTitle(), t->caption);
    }
}

// The layout check sees a list item that its field cuts.
TEST(Dialog, LayoutCheckCatchesACutListItem) {
    SampleDialog dlg;
    ASSERT_TRUE(dlg.Create());
    if (QFontInfo(dlg.font()).family() == QLatin1String("Tahoma")) {
        GTEST_SKIP() << "under Wine the dialog font is Tahoma, whose text widths are not checked";
    }
    dlg.show();
    auto* list = dlg.GetDlgItemAs<QComboBox>(207);
    for (const auto& [item, failures] :
         {std::pair{"Millimeters", 0}, {"Millimeters and more", 1}}) {
        SCOPED_TRACE(item);
        list->addItem(item);
        testing::TestPartResultArray results;
        {
            testing::ScopedFakeTestPartResultReporter fake(
                testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
            guitest::ExpectTidyLayout(&dlg);
        }
        ASSERT_EQ(results.size(), failures);
        if (failures) {
            EXPECT_THAT(results.GetTestPartResult(0).message(),
                        testing::HasSubstr("cuts \"Millimeters and more\""));
        }
    }
}

TEST(Dialog, TimersAreNamedAndTickIntoOnTimer) {
    class Ticking : public CDialog {
    public:
        Ticking() : CDialog(kSample) {}
        std::vector<int> ticks;

    protected:
        void OnTimer(int id) override { ticks.push_back(id); }
    } dlg;
    ASSERT_TRUE(dlg.Create());
    QTimer* t = dlg.SetTimer(288, 5, "statusTimer");
    EXPECT_EQ(dlg.findChild<QTimer*>("statusTimer"), t);
    EXPECT_EQ(t->property("timerId").toInt(), 288);
    QTRY_VERIFY_WITH_TIMEOUT(dlg.ticks.size() >= 2, 2000);
    EXPECT_EQ(dlg.ticks.front(), 288);
    // Setting the same timer again restarts it with the new period; it stays one timer.
    EXPECT_EQ(dlg.SetTimer(288, 1000, "statusTimer"), t);
    EXPECT_EQ(t->interval(), 1000);
    dlg.KillTimer(288);
    EXPECT_FALSE(t->isActive());
    EXPECT_EQ(dlg.Timer(256), nullptr);
}

}  // namespace
