// The 612 configuration dialog, offscreen, against fernwell-sim (fast mode) on COM1 or with
// no module at all. The dialog runs modeless here so the test can act on it; "Parameters"
// runs the same code modally.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/FernwellDlg.h"
#include "config/Config612Dlg.h"
#include "protocol/Commands.h"
#include "tests/common/GuiTest.h"
#include "tests/config/ConfigDlgCases.h"
#include "tests/config/ConfigDlgRig.h"
#include "texts/Resource.h"

namespace {

using fwtest::Strings;

// The defaults as the module receives them.
const Strings kDefaultUpload = {"d=0051",     "o=0.059000", "k=1.696500", "x=2.000000",
                                "w=100.0000", "s=0000",     "u=0032"};

// Keys of the key rows.
constexpr auto kMinus = Qt::Key_Minus;
constexpr auto kPoint = Qt::Key_Period;
constexpr Qt::KeyboardModifiers kKeypad = Qt::KeypadModifier;

class Config612Test : public fwtest::ConfigDlgRig<CConfig612Dlg, 612, 1200> {
protected:
    QStringList Items(int id) const {
        QStringList items;
        for (int i = 0; i < List(id)->count(); ++i) {
            items << List(id)->itemText(i);
        }
        return items;
    }

    // What the shared cases (ConfigDlgCases.h) need of the 612.
    static constexpr int kWhiteOnGreen[] = {IDC_SENSOR_TEE};
    static constexpr int kBlackOnWhite[] = {IDC_K_FACTOR, IDC_PULSE_VALUE, IDC_PULSE_WIDTH,
                                            IDC_TEE_LIST};
    void ExpectDefaults() const {
        EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_SENSOR_WSS));
        EXPECT_FALSE(dlg->IsDlgButtonChecked(IDC_SENSOR_TEE));
        EXPECT_FALSE(dlg->IsDlgButtonChecked(IDC_SENSOR_INSERTION));
        EXPECT_FALSE(Shown(IDC_PIPE_LIST) || Shown(IDC_TEE_LIST) || Shown(IDC_CALCULATE));
        EXPECT_EQ(Items(IDC_UNIT_OF_MEASURE), QStringList({"mph", "km/h"}));
        EXPECT_EQ(Text(IDC_UNIT_OF_MEASURE), "mph");
        EXPECT_EQ(Items(IDC_PULSE_UNITS), QStringList({"km/h", "mph"}));
        EXPECT_EQ(Text(IDC_PULSE_UNITS), "mph");
        EXPECT_EQ(Text(IDC_K_FACTOR), "1.696500");
        EXPECT_EQ(Text(IDC_OFFSET), "0.059000");
        EXPECT_EQ(Text(IDC_PULSE_VALUE), "2.000000");
        EXPECT_EQ(Text(IDC_PULSE_WIDTH), "100");
        EXPECT_EQ(List(IDC_PULSE_WIDTH)->count(), 100);
        EXPECT_EQ(List(IDC_PULSE_WIDTH)->itemText(99), "5000");
        EXPECT_EQ(List(IDC_PIPE_LIST)->count(), 13);
        EXPECT_EQ(List(IDC_TEE_LIST)->count(), 5);
    }

    static constexpr std::pair<int, const char*> kOpensWith{IDC_K_FACTOR, "1.696500"};

    struct RefreshRow {
        int line;
        int sensorCode, pulseUnitSent;
        double width;
        int radio;
        const char* rowText;  // in the row list shown, "" for none
        const char* unit;
        const char* widthText;
        const char* pulseUnit;
    };
    static constexpr RefreshRow kRefreshRows[] = {
        {__LINE__, 0x0214, 0x31, 175.0, IDC_SENSOR_TEE, "KV200-2\"", "l/min", "150", "Liters"},
        {__LINE__, 0x0C01, 0x21, 20.0, IDC_SENSOR_INSERTION, "12\" Class 200\"", "gpm", "",
         "Gallons"},
        {__LINE__, 0x0029, 0x41, 5000.0, IDC_SENSOR_WSS, "", "km/h", "5000", "km/h"},
        // Type digit 3: the sensor controls and the pulse unit stay as the defaults left them.
        {__LINE__, 0x0030, 0x01, 100.0, IDC_SENSOR_WSS, "", "mph", "100", "mph"},
    };
    void StoreInModule(const RefreshRow& row) {
        ModuleData612 stored = Defaults612();
        stored.SensorCode = row.sensorCode;
        stored.PulseUnitCode = row.pulseUnitSent;
        stored.pulseWidth = row.width;
        stored.kFactor = 2.725;
        stored.pulseValue = 12.5;
        OnLink([&stored](CSerialPort& port, const int& online) {
            CDevice612(port, online).SendConfig(stored);
        });
    }
    void ExpectShown(const RefreshRow& row) const {
        EXPECT_EQ(Text(IDC_PULSE_WIDTH), row.widthText);
        EXPECT_EQ(Text(IDC_PULSE_UNITS), row.pulseUnit);
        EXPECT_EQ(Text(IDC_PULSE_VALUE), "12.500000");
    }

    void FillIn() {
        Click(IDC_SENSOR_INSERTION);
        Choose(IDC_PIPE_LIST, 7);
        Choose(IDC_UNIT_OF_MEASURE, 3);  // "l/min"
        dlg->SetDlgItemText(IDC_K_FACTOR, "40.5");
        dlg->SetDlgItemText(IDC_OFFSET, "-0.25");
        dlg->SetDlgItemText(IDC_PULSE_VALUE, "250.5");
        Choose(IDC_PULSE_UNITS, 2);  // "Gallons"
        Choose(IDC_PULSE_WIDTH, 4);  // "250"
    }
    // Pulse unit 2 as hex digits "0021"; row 7, Insertion, "l/min" = 0x0704 sent as 1796.
    static inline const Strings kRoundTrip = {
        "d=0021", "o=-0.25000", "k=40.50000", "x=250.5000", "w=250.0000", "s=0000", "u=1796"};
    void ExpectHeldAfterSend() const {
        EXPECT_EQ(dlg->settings().PulseUnitCode, 21);
        EXPECT_EQ(dlg->settings().pulseWidth, 250.0);
        EXPECT_EQ(dlg->settings().SensorCode, 0x0704);
        EXPECT_EQ(Text(IDC_K_FACTOR), "40.5") << "Send keeps what was typed";
    }
    void ExpectReadBack(const ModuleData612& /*sent*/) const {
        EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_SENSOR_INSERTION));
        EXPECT_EQ(Text(IDC_PIPE_LIST), "8\" Class 160\"");
        EXPECT_EQ(Text(IDC_UNIT_OF_MEASURE), "l/min");
        EXPECT_EQ(Text(IDC_K_FACTOR), "40.500000");
        EXPECT_EQ(Text(IDC_OFFSET), "-0.250000");
        EXPECT_EQ(Text(IDC_PULSE_VALUE), "250.500000");
        EXPECT_EQ(Text(IDC_PULSE_UNITS), "Gallons");
        EXPECT_EQ(Text(IDC_PULSE_WIDTH), "250");
        EXPECT_EQ(dlg->settings().PulseUnitCode, 21);
    }

    static constexpr fwtest::KeyRow kKeyRows[] = {
        {__LINE__, IDC_K_FACTOR, "1.500000", 0, 8, kMinus, {}, "-", 1, 1},
        {__LINE__, IDC_K_FACTOR, "", 0, 0, kMinus, kKeypad, "-", 1, 1},
        {__LINE__, IDC_K_FACTOR, "1.500000", 2, 2, kMinus, {}, "-1.500000", 3, 3},
        {__LINE__, IDC_K_FACTOR, "-1.500000", 3, 3, kMinus, kKeypad, "1.500000", 2, 2},
        {__LINE__, IDC_OFFSET, "0.5", 1, 3, kMinus, {}, "-0.500000", 2, 4},
        {__LINE__, IDC_PULSE_VALUE, "2.000000", 3, 3, kMinus, {}, "2.000000", 3, 3},
        {__LINE__, IDC_PULSE_VALUE, "2.000000", 0, 8, kMinus, {}, "-", 1, 1},
        // Only 31 characters are read: a longer text is never "all selected", and is kept.
        {__LINE__,
         IDC_PULSE_VALUE,
         "1234567890123456789012345678901234",
         0,
         34,
         kMinus,
         {},
         "1234567890123456789012345678901234",
         0,
         34},
        {__LINE__, IDC_K_FACTOR, "1.5", 3, 3, kPoint, {}, "1.5", 3, 3},
        {__LINE__, IDC_OFFSET, "1.5", 3, 3, kPoint, kKeypad, "1.5", 3, 3},
        {__LINE__, IDC_K_FACTOR, "1.5", 0, 3, kPoint, {}, ".", 1, 1},  // the point selected
        {__LINE__, IDC_K_FACTOR, "15", 2, 2, kPoint, {}, "15.", 3, 3},
        {__LINE__, IDC_PULSE_VALUE, "2.5", 3, 3, kPoint, {}, "2.5.", 4, 4},
        {__LINE__, IDC_K_FACTOR, "1", 1, 1, Qt::Key_7, {}, "17", 2, 2},
        {__LINE__, IDC_K_FACTOR, "1", 1, 1, Qt::Key_7, kKeypad, "17", 2, 2},
        {__LINE__, IDC_K_FACTOR, "17", 2, 2, Qt::Key_Backspace, {}, "1", 1, 1},
        {__LINE__, IDC_K_FACTOR, "17", 2, 2, Qt::Key_Home, {}, "17", 0, 0},
        {__LINE__, IDC_K_FACTOR, "1", 1, 1, Qt::Key_A, {}, "1", 1, 1},
        {__LINE__, IDC_PULSE_VALUE, "1", 1, 1, Qt::Key_E, {}, "1", 1, 1},
        {__LINE__, IDC_OFFSET, "1", 1, 1, Qt::Key_Space, {}, "1", 1, 1},
        {__LINE__, IDC_OFFSET, "1", 1, 1, Qt::Key_Plus, {}, "1", 1, 1},
    };
    static constexpr int kKeyFocus[] = {IDC_K_FACTOR, IDOK, IDC_PULSE_WIDTH};

    std::vector<fwtest::Refusal> RefusedEntries() {
        return {
            {__LINE__, IDC_K_FACTOR, "123456789", {}, "K cannot be sent"},
            {__LINE__, IDC_OFFSET, "-10000000", {}, "Offset cannot be sent"},
            {__LINE__, IDC_PULSE_VALUE, "100000000.5", {}, "Pulse Value cannot be sent"},
            // A held pulse unit the list has no place for (as the module may report) leaves it
            // blank. (A click of another sensor radio selects the new list's first unit.)
            {__LINE__, 0, nullptr, [&] { List(IDC_PULSE_UNITS)->setCurrentIndex(-1); },
             "Select a pulse unit before sending."},
            {__LINE__, 0, nullptr, [&] { List(IDC_UNIT_OF_MEASURE)->setCurrentIndex(-1); },
             "Select a unit of measure before sending."},
            {__LINE__, 0, nullptr, [&] { List(IDC_PULSE_WIDTH)->setCurrentIndex(-1); },
             "Select a pulse width before sending."},
            {__LINE__, 0, nullptr,
             [&] {
                 Click(IDC_SENSOR_TEE);
                 List(IDC_TEE_LIST)->setCurrentIndex(-1);
             },
             "Select a tee sensor before sending."},
        };
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Config612, ConfigDlg, Config612Test);

// After a Send and before the next read, a row or radio choice shows the settings again: the
// pulse unit that was sent must still be the one selected.
TEST_F(Config612Test, PulseUnitSentStaysSelectedUntilTheNextRead) {
    StartMain(std::nullopt);  // an upload offline sends nothing and says so
    Open();
    guitest::MessageBoxRecorder boxes;
    struct Row {
        int radio;
        int position;
        const char* unit;
        int held;
    } rows[] = {
        {IDC_SENSOR_INSERTION, 0, "Cubic Feet", 1},
        {IDC_SENSOR_INSERTION, 1, "Cubic Meters", 11},
        {IDC_SENSOR_INSERTION, 2, "Gallons", 21},
        {IDC_SENSOR_INSERTION, 3, "Liters", 31},
        {IDC_SENSOR_WSS, 0, "km/h", 41},
        {IDC_SENSOR_WSS, 1, "mph", 51},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.unit);
        Click(row.radio);
        Choose(IDC_PULSE_UNITS, row.position);
        Click(IDC_SEND);
        EXPECT_EQ(dlg->settings().PulseUnitCode, row.held);
        if (row.radio == IDC_SENSOR_INSERTION) {
            Choose(IDC_PIPE_LIST, 3);
        } else {
            Click(IDC_SENSOR_WSS);
        }
        EXPECT_EQ(Text(IDC_PULSE_UNITS), row.unit);
    }
}

TEST_F(Config612Test, SensorControlsApplyTheRowAndRadioRules) {
    StartMain(std::nullopt);
    Open();
    struct Step {
        int line;
        std::function<void()> act;
        const char* k;
        int sensorCode;
        const char* unit;
        int rowList;  // the row list shown, 0 for none
    } steps[] = {
        {__LINE__, [&] { Click(IDC_SENSOR_TEE); }, "0.414470", 0x0011, "gpm", IDC_TEE_LIST},
        {__LINE__, [&] { Choose(IDC_UNIT_OF_MEASURE, 6); }, "0.414470", 0x0017, "m3/sec",
         IDC_TEE_LIST},
        {__LINE__, [&] { Click(IDC_SENSOR_INSERTION); }, "1.000000", 0x0001, "gpm", IDC_PIPE_LIST},
        {__LINE__, [&] { Choose(IDC_UNIT_OF_MEASURE, 6); }, "1.000000", 0x0007, "m3/sec",
         IDC_PIPE_LIST},
        // A typed K is discarded by the row choice.
        {__LINE__,
         [&] {
             dlg->SetDlgItemText(IDC_K_FACTOR, "5");
             Choose(IDC_PIPE_LIST, 12);
         },
         "88.842000", 0x0C01, "gpm", IDC_PIPE_LIST},
        {__LINE__, [&] { Click(IDC_SENSOR_WSS); }, "1.696500", 0x0C20, "mph", 0},
        {__LINE__, [&] { Choose(IDC_UNIT_OF_MEASURE, 1); }, "1.696500", 0x0029, "km/h", 0},
        {__LINE__, [&] { Click(IDC_SENSOR_TEE); }, "0.414470", 0x0011, "gpm", IDC_TEE_LIST},
        {__LINE__, [&] { Click(IDC_SENSOR_WSS); }, "1.696500", 0x0020, "mph", 0},
        {__LINE__, [&] { Click(IDC_SENSOR_INSERTION); }, "1.000000", 0x0001, "gpm", IDC_PIPE_LIST},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.line);
        step.act();
        EXPECT_EQ(Text(IDC_K_FACTOR), step.k);
        EXPECT_EQ(dlg->settings().SensorCode, step.sensorCode);
        EXPECT_EQ(Text(IDC_UNIT_OF_MEASURE), step.unit);
        EXPECT_EQ(Shown(IDC_PIPE_LIST), step.rowList == IDC_PIPE_LIST);
        EXPECT_EQ(Shown(IDC_TEE_LIST), step.rowList == IDC_TEE_LIST);
        EXPECT_EQ(Shown(IDC_CALCULATE), step.rowList == IDC_PIPE_LIST);
        EXPECT_EQ(Items(IDC_PULSE_UNITS).size(), step.rowList ? 4 : 2);
        // A change of sensor family never leaves the pulse unit blank: the new list's first.
        EXPECT_NE(Text(IDC_PULSE_UNITS), "");
        guitest::ExpectTidyLayout(dlg.get());
        guitest::SaveScreenshot(dlg.get(), "sensor");
    }
}

// The wheel over a list that does not have the focus changes nothing; with the focus it
// turns the list, and the row rule runs as for any choice.
TEST_F(Config612Test, WheelTurnsOnlyTheFocusedList) {
    StartMain(std::nullopt);
    Open();
    Click(IDC_SENSOR_INSERTION);
    Edit(IDC_K_FACTOR)->setFocus();
    dlg->SetDlgItemText(IDC_K_FACTOR, "5");
    auto wheel = [&] {
        QComboBox* list = List(IDC_PIPE_LIST);
        const QPointF at = QRectF(list->rect()).center();
        QWheelEvent event(at, list->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list, &event);
    };
    wheel();
    EXPECT_EQ(Text(IDC_PIPE_LIST), "Other (Unlisted)");
    EXPECT_EQ(Text(IDC_K_FACTOR), "5");
    List(IDC_PIPE_LIST)->setFocus();
    wheel();
    EXPECT_EQ(Text(IDC_PIPE_LIST), "3\" Class 160\"");
    EXPECT_EQ(Text(IDC_K_FACTOR), "4.902000");
}

// Assistive tools: each edit is named after the label before it, and a radio pressed through
// its accessibility action runs the dialog's click rule.
TEST_F(Config612Test, AccessibleNamesAndActions) {
    StartMain(std::nullopt);
    Open();
    guitest::ExpectNamedControls(dlg.get());
    for (const auto& [id, name] : {std::pair{IDC_K_FACTOR, "K ="},
                                   {IDC_OFFSET, "Offset ="},
                                   {IDC_PULSE_VALUE, "1 Pulse ="}}) {
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(dlg->GetDlgItem(id));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->text(QAccessible::Name), name);
    }
    // A list's value is its name on Linux; its label is in a relation.
    const auto labels = QAccessible::queryAccessibleInterface(dlg->GetDlgItem(IDC_PULSE_UNITS))
                            ->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->text(QAccessible::Name), "Units");
    QAccessibleInterface* tee =
        QAccessible::queryAccessibleInterface(dlg->GetDlgItem(IDC_SENSOR_TEE));
    ASSERT_NE(tee->actionInterface(), nullptr);
    tee->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(guitest::WaitUntil([&] { return dlg->IsDlgButtonChecked(IDC_SENSOR_TEE); }));
    EXPECT_TRUE(Shown(IDC_TEE_LIST));
    EXPECT_EQ(Text(IDC_K_FACTOR), "0.414470");
    EXPECT_TRUE(tee->state().checked);

    // A press returns before what it opens runs: "Send" without a module ends in a box.
    guitest::MessageBoxRecorder boxes;
    QAccessible::queryAccessibleInterface(dlg->GetDlgItem(IDC_SEND))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(guitest::WaitUntil([&] { return !boxes.boxes.empty(); }));
}

TEST_F(Config612Test, CalculateTakesKAndOffsetAndKeepsThePipeRow) {
    StartMain(std::nullopt);
    Open();
    Click(IDC_SENSOR_INSERTION);
    Choose(IDC_PIPE_LIST, 5);
    struct Row {
        const char* diameter;
        int press;
        const char* k;
        const char* offset;
    } rows[] = {
        {"8", IDOK, "40.291000", "0.281587"},
        {"20", IDCANCEL, "40.291000", "0.281587"},
        {"2", IDOK, "40.291000", "0.281587"},  // the calculator's own message, then Cancel
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.diameter);
        guitest::MessageBoxRecorder boxes;
        guitest::NextModal calculator([&](QWidget* modal) {
            auto* calc = static_cast<CDialog*>(modal);
            // The calculator keeps the system's colours inside the green dialog.
            EXPECT_NE(calc->palette().color(QPalette::Window), QColor(0, 155, 89));
            calc->SetDlgItemText(IDC_PIPE_DIAMETER, row.diameter);
            calc->GetDlgItemAs<QPushButton>(row.press)->click();
        });
        Click(IDC_CALCULATE);
        EXPECT_EQ(Text(IDC_K_FACTOR), row.k);
        EXPECT_EQ(Text(IDC_OFFSET), row.offset);
        EXPECT_EQ(Text(IDC_PIPE_LIST), "6\" Class 160\"");
        EXPECT_EQ(dlg->settings().SensorCode, 0x0501);
    }
}

// Down moves the sensor choice; Tab leaves the group and Shift+Tab comes back on the checked
// radio, not the group's first.
TEST_F(Config612Test, ArrowsMoveTheSensorChoiceAndShiftTabReturnsToIt) {
    StartMain(std::nullopt);
    Open();
    ASSERT_TRUE(guitest::ShowActive(dlg.get()));
    ASSERT_EQ(QApplication::focusWidget(), dlg->GetDlgItem(IDC_SENSOR_WSS));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_SENSOR_TEE));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), dlg->GetDlgItem(IDC_SENSOR_TEE));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), dlg->GetDlgItem(IDC_SENSOR_TEE));
}

// Space does nothing in an edit or a list; on a button it presses it: a radio, "Defaults",
// then "OK". Each button also has its Alt+letter, wherever the focus is.
TEST_F(Config612Test, SpaceAndAccessKeysPressTheButtons) {
    StartMain(std::nullopt);
    Open();
    for (int focus : {IDC_K_FACTOR, IDC_PULSE_WIDTH}) {
        SCOPED_TRACE(focus);
        dlg->GetDlgItem(focus)->setFocus();
        QTest::keyClick(dlg->windowHandle(), Qt::Key_Space);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->result(), 0);
    }
    dlg->GetDlgItem(IDC_SENSOR_INSERTION)->setFocus();
    QTest::keyClick(dlg->windowHandle(), Qt::Key_Space);
    EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_SENSOR_INSERTION));
    Click(IDC_DEFAULTS);
    const QString defaultK = Edit(IDC_K_FACTOR)->text();
    Edit(IDC_K_FACTOR)->setText("9");
    dlg->GetDlgItem(IDC_DEFAULTS)->setFocus();
    QTest::keyClick(dlg->windowHandle(), Qt::Key_Space);
    EXPECT_EQ(Edit(IDC_K_FACTOR)->text(), defaultK);
    guitest::ExpectKeyboardAndNames(dlg.get());
    Edit(IDC_K_FACTOR)->setText("9");
    Edit(IDC_K_FACTOR)->setFocus();
    ASSERT_TRUE(guitest::ShowActive(dlg.get()));  // an access key works in the active window
    QTest::keyClick(dlg->windowHandle(), Qt::Key_D, Qt::AltModifier);
    // An access key clicks the button as a mouse would, pressed for a moment.
    EXPECT_TRUE(guitest::WaitUntil([&] { return Edit(IDC_K_FACTOR)->text() == defaultK; }));
    dlg->GetDlgItem(IDOK)->setFocus();
    QTest::keyClick(dlg->windowHandle(), Qt::Key_Space);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(Config612Test, NoInputReachesAnyWindowWhileAnUploadRuns) {
    StartMain(Strings{});
    ASSERT_TRUE(Open().empty());
    Edit(IDC_K_FACTOR)->setFocus();
    Edit(IDC_K_FACTOR)->end(false);

    struct Seen {
        bool fired = false;
        bool anyButtonEnabled = true;
        int value = 0, maximum = 0;
    } seen;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        QProgressBar* bar = dlg->uploadProgress();
        if (seen.fired || !bar || !bar->isVisible() || bar->value() < 10) {
            return;
        }
        seen.fired = true;
        seen.anyButtonEnabled = false;
        for (int id : {IDOK, IDC_SEND, IDC_REFRESH, IDC_DEFAULTS}) {
            seen.anyButtonEnabled |= dlg->GetDlgItem(id)->isEnabled();
        }
        seen.value = bar->value();
        seen.maximum = bar->maximum();
        guitest::SaveScreenshot(dlg.get(), "uploading");
        // A click and a key as the window system delivers them, the same posted, and a close.
        QTest::mouseClick(dlg->GetDlgItem(IDC_SENSOR_TEE), Qt::LeftButton);
        QTest::keyClick(dlg->windowHandle(), Qt::Key_7);
        QWidget* insertion = dlg->GetDlgItem(IDC_SENSOR_INSERTION);
        const QPointF centre = QRectF(insertion->rect()).center();
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(
                insertion, new QMouseEvent(type, centre, insertion->mapToGlobal(centre),
                                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        }
        QCoreApplication::postEvent(Edit(IDC_K_FACTOR),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_8, {}, "8"));
        dlg->close();
    });
    during.start(2);
    Click(IDC_SEND);
    during.stop();

    // The timer fired mid-upload: the window's thread runs while the line works.
    ASSERT_TRUE(seen.fired) << "the upload ended before the test could act";
    EXPECT_FALSE(seen.anyButtonEnabled);
    EXPECT_GT(seen.maximum, seen.value);
    QTest::qWait(100);  // anything held back would act now
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_SENSOR_WSS));
    EXPECT_EQ(Text(IDC_K_FACTOR), "1.696500");
    EXPECT_FALSE(dlg->uploadProgress()->isVisible());
    for (int id : {IDOK, IDC_SEND, IDC_REFRESH, IDC_DEFAULTS}) {
        EXPECT_TRUE(dlg->GetDlgItem(id)->isEnabled()) << id;
    }
    EXPECT_EQ(sim->WaitSettings(7), kDefaultUpload);
    QTest::qWait(300);
    EXPECT_EQ(sim->Settings().size(), kDefaultUpload.size()) << "one upload, nothing after it";
    // The dialog takes input again.
    QTest::mouseClick(dlg->GetDlgItem(IDC_SENSOR_TEE), Qt::LeftButton);
    EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_SENSOR_TEE));
}

}  // namespace

namespace {

// A Send the module did not take whole is reported once the buttons are back: an upload cut
// by a hang-up (where it stopped, what went out whole), a byte lost on the line (seen in the
// read-back), a module that is gone (nothing sent).
TEST_F(Config612Test, SendReportsWhatTheModuleDidNotTake) {
    struct Row {
        int line;
        std::optional<Strings> simArgs;  // nullopt: no module, the port is offline
        std::string box;
    };
    // "v\r" of the opening read is bytes 1-2, "d=0051\r" 3-9, "o=0.059000\r" 10-20.
    const Row rows[] = {
        {__LINE__, Strings{"--hangup-after-bytes", "25"},
         "Error Communicating to Module, Check Serial and Power Cables\n"
         "The upload stopped at k=1.696500\\r (a byte could not be sent: <system error>). "
         "Sent whole: d=0051\\r o=0.059000\\r.\n"
         "The module may now hold part of the new settings."},
        {__LINE__, std::nullopt, "Error Communicating to Module, Check Serial and Power Cables"},
        {__LINE__, Strings{"--drop-byte", "14"},
         "The module does not hold what was sent:\n"
         "Offset: sent 0.059000, the module holds 0.590000"},
        {__LINE__, Strings{}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        StartMain(row.simArgs);
        Open();
        guitest::MessageBoxRecorder boxes;
        Click(IDC_SEND);
        if (row.box.empty()) {
            EXPECT_TRUE(boxes.boxes.empty());
        } else {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            // The system's own words for the hang-up differ (EIO's text on Linux, Wine's
            // "Not ready.").
            const QString text =
                QString(boxes.boxes[0].text)
                    .replace(QRegularExpression("(could not be sent: )[^)]*"), "\\1<system error>");
            EXPECT_EQ(text.toStdString(), row.box);
            EXPECT_EQ(boxes.boxes[0].caption, "Comm Error");
        }
        for (int id : {IDC_SEND, IDC_REFRESH, IDC_DEFAULTS, IDOK}) {
            EXPECT_TRUE(dlg->GetDlgItem(id)->isEnabled()) << id;
        }
    }
}

}  // namespace
