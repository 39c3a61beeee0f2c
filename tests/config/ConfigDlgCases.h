#pragma once
// The cases both configuration dialogs have, written once and run for each: the dialog's
// test file instantiates them with its fixture (a ConfigDlgRig), which gives what differs
// between the models:
//   kWhiteOnGreen, kBlackOnWhite  controls in the main window's label and field colours
//   ExpectDefaults()              the controls as the defaults show them
//   kOpensWith                    an edit and the text the defaults give it
//   kRefreshRows                  settings another program stored (line, radio, rowText, unit
//                                 and the model's own fields), with StoreInModule(row) and
//                                 ExpectShown(row) for the model's own fields
//   FillIn(), kRoundTrip          controls changed by hand and the exact commands they send,
//   ExpectHeldAfterSend(),        what Send took over, and what reads back
//   ExpectReadBack(sent)
//   kKeyRows, kKeyFocus           keys through the window handle, and controls to press
//                                 Enter and Escape on
//   RefusedEntries()              entries Send must refuse, and the start of its message

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "records/Journal.h"
#include "tests/common/GuiTest.h"
#include "tests/config/ConfigDlgRig.h"
#include "texts/Resource.h"

namespace fwtest {

constexpr int kButtons[] = {IDOK, IDC_SEND, IDC_REFRESH, IDC_DEFAULTS};

// Records message boxes like guitest::MessageBoxRecorder, and whether any of the four buttons
// was disabled while each box was up.
class BoxWatch {
public:
    explicit BoxWatch(const CDialog* dialog) {
        previous_ = ui::SetMessageBoxHandler([this, dialog](QWidget* owner, const QString& text,
                                                            const QString& caption, unsigned type) {
            boxes.push_back({text, caption, type, owner});
            bool allEnabled = true;
            for (int id : kButtons) {
                allEnabled &= dialog->GetDlgItem(id)->isEnabled();
            }
            buttonsEnabled.push_back(allEnabled);
            return ui::FirstButtonResult(type);
        });
    }
    ~BoxWatch() { ui::SetMessageBoxHandler(std::move(previous_)); }
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;

    std::vector<guitest::RecordedBox> boxes;
    std::vector<bool> buttonsEnabled;

private:
    ui::MessageBoxHandler previous_;
};

// An entry Send refuses: `act` (when set) or `typed` in the edit `id`, and how the message
// starts. A typed text stays in its edit, to be corrected.
struct Refusal {
    int line;
    int id;
    const char* typed;
    std::function<void()> act;
    const char* text;
};

}  // namespace fwtest

// In the including file's own unnamed namespace, where its fixture is, so that it can
// instantiate the suite there.
namespace {

using fwtest::kButtons;
using fwtest::Strings;

template <class ModelTest>
class ConfigDlg : public ModelTest {};
TYPED_TEST_SUITE_P(ConfigDlg);

TYPED_TEST_P(ConfigDlg, OpeningWithoutAModuleShowsTheDefaultsAndOneCommError) {
    const auto& dlg = this->dlg;
    for (const bool silentModule : {false, true}) {
        SCOPED_TRACE(silentModule ? "silent module" : "no port");
        this->StartMain(silentModule ? std::optional<Strings>({"--silent"}) : std::nullopt);
        const auto boxes = this->Open();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Error Communicating to Module, Check Serial and Power Cables");
        EXPECT_EQ(boxes[0].caption, "Comm Error");
        EXPECT_EQ(boxes[0].type, ui::kMbOk);
        EXPECT_EQ(dlg->windowTitle(),
                  QString("Fern Well %1 Configuration").arg(TypeParam::kModelNumber));
        this->ExpectDefaults();
        guitest::ExpectTidyLayout(dlg.get());
    }
    // The main window's colours: white labels (and switches) on green, input fields black on
    // white.
    EXPECT_EQ(dlg->palette().color(QPalette::Window), QColor(0, 155, 89));
    for (int id : TypeParam::kWhiteOnGreen) {
        SCOPED_TRACE(id);
        EXPECT_EQ(dlg->GetDlgItem(id)->palette().color(QPalette::WindowText), Qt::white);
    }
    for (int id : TypeParam::kBlackOnWhite) {
        SCOPED_TRACE(id);
        EXPECT_EQ(dlg->GetDlgItem(id)->palette().color(QPalette::Base), Qt::white);
        EXPECT_EQ(dlg->GetDlgItem(id)->palette().color(QPalette::Text), Qt::black);
    }
}

// "OK" ends the modal run and sends nothing.
TYPED_TEST_P(ConfigDlg, OkEndsTheModalRunAndSendsNothing) {
    this->StartMain(Strings{});
    typename TypeParam::DialogType modal;
    modal.link = &this->main->link();
    modal.colours = &this->main->colours();
    guitest::NextModal pressOk([&](QWidget*) {
        EXPECT_EQ(modal.GetDlgItemText(TypeParam::kOpensWith.first), TypeParam::kOpensWith.second);
        modal.template GetDlgItemAs<QPushButton>(IDOK)->click();
    });
    EXPECT_EQ(modal.DoModal(), IDOK);
    QTest::qWait(100);
    EXPECT_TRUE(this->sim->Settings().empty());
}

// What another program stored in the module is what the dialog shows when it opens, and again
// on "Refresh" after the controls changed.
TYPED_TEST_P(ConfigDlg, RefreshShowsWhatTheModuleHolds) {
    const auto& dlg = this->dlg;
    for (const auto& row : TypeParam::kRefreshRows) {
        SCOPED_TRACE(row.line);
        this->StartMain(Strings{});
        this->StoreInModule(row);
        for (const bool button : {false, true}) {
            SCOPED_TRACE(button ? "Refresh" : "opening");
            if (button) {
                this->Click(IDC_DEFAULTS);
                guitest::MessageBoxRecorder none;
                this->Click(IDC_REFRESH);
                EXPECT_TRUE(none.boxes.empty());
            } else {
                EXPECT_TRUE(this->Open().empty());
                EXPECT_EQ(dlg->focusWidget(), dlg->GetDlgItem(row.radio))
                    << "opens on the checked radio";
            }
            EXPECT_TRUE(dlg->IsDlgButtonChecked(row.radio));
            const int rowList = row.radio == IDC_SENSOR_TEE         ? IDC_TEE_LIST
                                : row.radio == IDC_SENSOR_INSERTION ? IDC_PIPE_LIST
                                                                    : 0;
            if (rowList) {
                EXPECT_TRUE(this->Shown(rowList));
                EXPECT_EQ(this->Text(rowList), row.rowText);
            }
            EXPECT_EQ(this->Shown(IDC_CALCULATE), row.radio == IDC_SENSOR_INSERTION);
            EXPECT_EQ(this->Text(IDC_UNIT_OF_MEASURE), row.unit);
            EXPECT_EQ(this->Text(IDC_K_FACTOR), "2.725000");
            this->ExpectShown(row);
        }
    }
}

// Controls changed by hand go out as the exact commands, during an upload that disables the
// four buttons and shows its progress, and read back as they were sent.
TYPED_TEST_P(ConfigDlg, SendThenRefreshRoundTripsWithTheExactCommands) {
    const auto& dlg = this->dlg;
    this->StartMain(Strings{});
    ASSERT_TRUE(this->Open().empty());
    const auto read = dlg->settings();
    const std::size_t journaled = ReadJournal(JournalPath()).lines.size();
    this->FillIn();

    struct Seen {
        bool fired = false;
        bool anyButtonEnabled = true;
        bool progressInside = false;
    } seen;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        QProgressBar* bar = dlg->uploadProgress();
        if (seen.fired || !bar || !bar->isVisible() || bar->value() < 10) {
            return;
        }
        seen.fired = true;
        seen.anyButtonEnabled = false;
        for (int id : kButtons) {
            seen.anyButtonEnabled |= dlg->GetDlgItem(id)->isEnabled();
        }
        seen.progressInside = dlg->rect().contains(bar->geometry());
        guitest::SaveScreenshot(dlg.get(), "uploading");
    });
    during.start(2);
    this->Click(IDC_SEND);
    during.stop();
    ASSERT_TRUE(seen.fired) << "the upload ended before the test could look";
    EXPECT_FALSE(seen.anyButtonEnabled);
    EXPECT_TRUE(seen.progressInside);
    for (int id : kButtons) {
        EXPECT_TRUE(dlg->GetDlgItem(id)->isEnabled()) << id;
    }
    EXPECT_EQ(this->sim->WaitSettings(TypeParam::kRoundTrip.size()), TypeParam::kRoundTrip);
    const auto sent = dlg->settings();
    this->ExpectHeldAfterSend();
    // The upload's line in the journal: the module as read at opening, and the settings it
    // now holds.
    const JournalRead journal = ReadJournal(JournalPath());
    ASSERT_EQ(journal.lines.size(), journaled + 1);
    const nlohmann::json& line = journal.lines.back();
    EXPECT_EQ(line["outcome"], "verified");
    EXPECT_EQ(line["port"], "COM1");
    EXPECT_EQ(line["model"], TypeParam::kModelNumber);
    EXPECT_EQ(line["before"], SettingsJson(read));
    EXPECT_EQ(line["sent"], SettingsJson(sent));

    this->Click(IDC_DEFAULTS);
    guitest::MessageBoxRecorder none;
    this->Click(IDC_REFRESH);
    EXPECT_TRUE(none.boxes.empty());
    this->ExpectReadBack(sent);
}

// The dialog's key filter, each key as the window system delivers it; Enter and Escape do
// nothing, whatever has the focus.
TYPED_TEST_P(ConfigDlg, KeyFilterThroughTheWindowHandle) {
    const auto& dlg = this->dlg;
    this->StartMain(std::nullopt);
    this->Open();
    this->ExpectKeys(TypeParam::kKeyRows);
    for (int focus : TypeParam::kKeyFocus) {
        SCOPED_TRACE(focus);
        const auto held = dlg->settings();
        dlg->GetDlgItem(focus)->setFocus();
        for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(dlg->windowHandle(), key);
        }
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->result(), 0);
        EXPECT_EQ(dlg->settings(), held) << "no switch or choice changed";
    }
}

// Send refuses, and sends and takes over nothing, a number the command would carry as another
// number, and a code built from a list left without a selection; the buttons stay enabled.
TYPED_TEST_P(ConfigDlg, RefusesValuesThatWouldArriveAsAnotherNumber) {
    const auto& dlg = this->dlg;
    this->StartMain(Strings{});
    ASSERT_TRUE(this->Open().empty());
    for (const fwtest::Refusal& row : this->RefusedEntries()) {
        SCOPED_TRACE(row.line);
        this->Click(IDC_DEFAULTS);
        if (row.act) {
            row.act();
        } else {
            dlg->SetDlgItemText(row.id, row.typed);
        }
        const auto held = dlg->settings();
        fwtest::BoxWatch boxes(dlg.get());
        this->Click(IDC_SEND);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, "Invalid Entry");
        EXPECT_EQ(boxes.boxes[0].type, ui::kMbOk | ui::kMbIconExclamation);
        EXPECT_TRUE(boxes.boxes[0].text.startsWith(row.text)) << boxes.boxes[0].text.toStdString();
        EXPECT_TRUE(boxes.buttonsEnabled[0]);
        EXPECT_EQ(dlg->settings(), held);
        if (!row.act) {
            EXPECT_EQ(this->Text(row.id), row.typed);
        }
        EXPECT_TRUE(dlg->GetDlgItem(IDC_SEND)->isEnabled());
    }
    QTest::qWait(200);
    EXPECT_TRUE(this->sim->Settings().empty());
}

REGISTER_TYPED_TEST_SUITE_P(ConfigDlg, OpeningWithoutAModuleShowsTheDefaultsAndOneCommError,
                            OkEndsTheModalRunAndSendsNothing, RefreshShowsWhatTheModuleHolds,
                            SendThenRefreshRoundTripsWithTheExactCommands,
                            KeyFilterThroughTheWindowHandle,
                            RefusesValuesThatWouldArriveAsAnotherNumber);

}  // namespace
