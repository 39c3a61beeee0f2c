// The key filter scoped to one dialog, on a small test dialog: two edits, a default button,
// and a filter that swallows letters in the first edit only, and Enter, Escape and F5
// everywhere in the dialog. Keys go through the window handle, as the system sends them.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QTest>
#include <memory>

#include "res/Templates.h"
#include "tests/common/GuiTest.h"
#include "texts/Resource.h"
#include "ui/Dialog.h"
#include "ui/KeyFilter.h"

namespace {

using res::ControlKind;

constexpr int kLettersSwallowed = 401;
constexpr int kFree = 402;

constexpr res::ControlTemplate kControls[] = {
    {kLettersSwallowed, ControlKind::Edit, "", 7, 7, 80, 14, res::kBorder | res::kTabStop},
    {kFree, ControlKind::Edit, "", 7, 25, 80, 14, res::kBorder | res::kTabStop},
    {IDOK, ControlKind::DefPushButton, "OK", 95, 7, 50, 14, res::kTabStop},
};
const res::DialogTemplate kTemplate{
    9100, "Key filter", 152, 46, res::kPopup | res::kCaption | res::kSysMenu, 0, kControls};

struct Call {
    QWidget* receiver;
    int key;
    bool apply;
};

class FilteredDialog : public CDialog {
public:
    FilteredDialog() : CDialog(kTemplate) {
        MapCommand(IDOK, [this] { ++oks; });
        filter = std::make_unique<ui::KeyFilter>(this, [this](QWidget* receiver,
                                                              const QKeyEvent& key, bool apply) {
            calls.push_back({receiver, key.key(), apply});
            const int k = key.key();
            if (k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Escape ||
                k == Qt::Key_F5) {
                return true;
            }
            return ui::ControlId(receiver) == kLettersSwallowed && k >= Qt::Key_A && k <= Qt::Key_Z;
        });
    }
    QLineEdit* edit(int id) { return GetDlgItemAs<QLineEdit>(id); }
    int applied(int key) const {
        int n = 0;
        for (const Call& c : calls) {
            n += (c.key == key && c.apply);
        }
        return n;
    }

    std::vector<Call> calls;
    int oks = 0;
    std::unique_ptr<ui::KeyFilter> filter;
};

class KeyFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        ASSERT_TRUE(guitest::ShowActive(&dlg));
    }
    void Type(int focusId, Qt::Key key) {
        dlg.edit(focusId)->setFocus();
        QTest::keyClick(dlg.windowHandle(), key);
    }
    FilteredDialog dlg;
};

TEST_F(KeyFilterTest, SwallowsWhatItJudgesAndPassesTheRest) {
    struct Row {
        int focus;
        Qt::Key key;
        const char* text;  // the focused edit's text after the key
    };
    const Row rows[] = {
        {kLettersSwallowed, Qt::Key_A, ""},
        {kLettersSwallowed, Qt::Key_7, "7"},
        {kFree, Qt::Key_A, "a"},
        {kFree, Qt::Key_7, "7"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "edit " << r.focus << " key " << r.key);
        dlg.edit(r.focus)->clear();
        Type(r.focus, r.key);
        EXPECT_EQ(dlg.edit(r.focus)->text(), r.text);
    }
}

// The filter comes before the dialog's own Enter and Escape handling.
TEST_F(KeyFilterTest, EnterAndEscapeNeverReachTheDialog) {
    Type(kFree, Qt::Key_Return);
    Type(kFree, Qt::Key_Escape);
    Type(kLettersSwallowed, Qt::Key_Enter);
    EXPECT_EQ(dlg.oks, 0) << "Enter pressed the default button";
    EXPECT_TRUE(dlg.isVisible()) << "Escape closed the dialog";
}

// One judgement per key press, at the focused control, although the event travels up to
// the dialog when a control ignores it.
TEST_F(KeyFilterTest, JudgesEachKeyOnceAtTheFocusedControl) {
    Type(kFree, Qt::Key_Escape);
    Type(kLettersSwallowed, Qt::Key_B);
    Type(kFree, Qt::Key_Up);  // not swallowed, ignored by the edit, travels up
    ASSERT_EQ(dlg.applied(Qt::Key_Escape), 1);
    ASSERT_EQ(dlg.applied(Qt::Key_B), 1);
    ASSERT_EQ(dlg.applied(Qt::Key_Up), 1);
    for (const Call& c : dlg.calls) {
        if (c.apply) {
            EXPECT_EQ(c.receiver,
                      c.key == Qt::Key_B ? dlg.edit(kLettersSwallowed) : dlg.edit(kFree));
        }
    }
}

// A shortcut of the dialog on a key the filter swallows does not fire: the filter answers
// the shortcut query and then swallows the key press.
TEST_F(KeyFilterTest, SwallowedKeysTriggerNoShortcut) {
    int fired = 0;
    QShortcut shortcut(QKeySequence(Qt::Key_F5), &dlg);
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++fired; });
    QShortcut free(QKeySequence(Qt::Key_F6), &dlg);
    int freeFired = 0;
    QObject::connect(&free, &QShortcut::activated, [&] { ++freeFired; });

    Type(kFree, Qt::Key_F5);
    Type(kFree, Qt::Key_F6);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(dlg.applied(Qt::Key_F5), 1);
    EXPECT_EQ(freeFired, 1) << "a key the filter passes still reaches its shortcut";
    // The query came first and changed nothing.
    bool sawQuery = false;
    for (const Call& c : dlg.calls) {
        sawQuery |= (c.key == Qt::Key_F5 && !c.apply);
    }
    EXPECT_TRUE(sawQuery);
}

// Keys of another window (a second dialog, a message box) are not the filter's.
TEST_F(KeyFilterTest, LeavesOtherWindowsAlone) {
    CDialog other(kTemplate);
    ASSERT_TRUE(other.Create());
    ASSERT_TRUE(guitest::ShowActive(&other));
    auto* edit = other.GetDlgItemAs<QLineEdit>(kLettersSwallowed);
    edit->setFocus();
    const size_t before = dlg.calls.size();
    QTest::keyClick(other.windowHandle(), Qt::Key_A);
    EXPECT_EQ(edit->text(), "a");
    EXPECT_EQ(dlg.calls.size(), before);
    other.hide();
}

}  // namespace
