// The 640 configuration dialog, offscreen, against fernwell-sim --model 640 (fast mode) on
// COM1 or with no module at all. The dialog runs modeless here so the test can act on it;
// "Parameters" runs the same code modally.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <climits>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "app/FernwellDlg.h"
#include "config/Config640Dlg.h"
#include "tests/common/GuiTest.h"
#include "tests/config/ConfigDlgCases.h"
#include "tests/config/ConfigDlgRig.h"
#include "texts/Resource.h"

namespace {

using fwtest::BoxWatch;
using fwtest::Strings;

constexpr int kUnitLabels[] = {IDC_HIGH_SET_UNITS, IDC_HIGH_RELEASE_UNITS, IDC_LOW_SET_UNITS,
                               IDC_LOW_RELEASE_UNITS};

// Keys of the key rows.
constexpr auto kMinus = Qt::Key_Minus;
constexpr auto kPoint = Qt::Key_Period;
constexpr Qt::KeyboardModifiers kKeypad = Qt::KeypadModifier;

const char* const kHighMessage =
    "For High Alarms, Activation Value Should Be Greater Than The Release Value.\n"
    "Invalid Values Have Been Set To Defaults, And No Settings Have Been Sent";
const char* const kLowMessage =
    "For Low Alarms, Activation Value Should Be Less Than The Release Value.\n"
    "Invalid Values Have Been Set To Defaults, And No Settings Have Been Sent";

// The controls of one alarm, so that a case runs for both.
struct Alarm {
    const char* name;
    int enable, latched, setPoint, releasePoint, setDelay, releaseDelay;
    int ModuleData640::*mode;
};
const Alarm kHigh{"high",
                  IDC_HIGH_ENABLE,
                  IDC_HIGH_LATCHED,
                  IDC_HIGH_SET_POINT,
                  IDC_HIGH_RELEASE_POINT,
                  IDC_HIGH_SET_DELAY,
                  IDC_HIGH_RELEASE_DELAY,
                  &ModuleData640::highAlarmMode};
const Alarm kLow{"low",
                 IDC_LOW_ENABLE,
                 IDC_LOW_LATCHED,
                 IDC_LOW_SET_POINT,
                 IDC_LOW_RELEASE_POINT,
                 IDC_LOW_SET_DELAY,
                 IDC_LOW_RELEASE_DELAY,
                 &ModuleData640::lowAlarmMode};

class Config640Test : public fwtest::ConfigDlgRig<CConfig640Dlg, 640, 4800> {
protected:
    // Stores settings in the module with only the commands given, as another program would.
    void Store(const Strings& commands) {
        OnLink([&commands](CSerialPort& port, const int& online) {
            CDevice640 device(port, online);
            for (const std::string& c : commands) {
                device.SendCommand(c);
            }
        });
        sim->WaitSettings(commands.size());
    }

    bool Enabled(int id) const { return dlg->GetDlgItem(id)->isEnabled(); }
    bool Checked(int id) const { return dlg->IsDlgButtonChecked(id); }
    void Type(int id, const char* text) { dlg->SetDlgItemText(id, text); }
    QStringList Labels() const {
        QStringList labels;
        for (int id : kUnitLabels) {
            labels << Text(id);
        }
        return labels;
    }
    // Set point, release point, set delay, release delay as shown.
    QStringList AlarmTexts(const Alarm& a) const {
        return {Text(a.setPoint), Text(a.releasePoint), Text(a.setDelay), Text(a.releaseDelay)};
    }

    // What the shared cases (ConfigDlgCases.h) need of the 640.
    static constexpr int kWhiteOnGreen[] = {IDC_HIGH_ENABLE, IDC_LOW_LATCHED, IDC_SENSOR_TEE,
                                            IDC_HIGH_SET_UNITS};
    static constexpr int kBlackOnWhite[] = {IDC_HIGH_SET_POINT,    IDC_HIGH_SET_DELAY,
                                            IDC_LOW_RELEASE_DELAY, IDC_K_FACTOR,
                                            IDC_UNIT_OF_MEASURE,   IDC_TEE_LIST};
    void ExpectDefaults() const {
        EXPECT_TRUE(Checked(IDC_SENSOR_INSERTION));
        EXPECT_FALSE(Checked(IDC_SENSOR_TEE) || Checked(IDC_SENSOR_WSS));
        EXPECT_TRUE(Shown(IDC_PIPE_LIST) && Shown(IDC_CALCULATE));
        EXPECT_FALSE(Shown(IDC_TEE_LIST));
        EXPECT_EQ(Text(IDC_PIPE_LIST), "3\" Class 200\"");
        EXPECT_EQ(List(IDC_UNIT_OF_MEASURE)->count(), 11);
        EXPECT_EQ(List(IDC_UNIT_OF_MEASURE)->itemText(10), "m3/hr");
        EXPECT_EQ(Text(IDC_UNIT_OF_MEASURE), "gpm");
        EXPECT_EQ(Labels(), QStringList({"gpm", "gpm", "gpm", "gpm"}));
        // The wind-speed constants, not pipe row 2's own K and offset.
        EXPECT_EQ(Text(IDC_K_FACTOR), "1.696500");
        EXPECT_EQ(Text(IDC_OFFSET), "0.059000");
        EXPECT_EQ(AlarmTexts(kHigh), QStringList({"120", "110", "5", "10"}));
        EXPECT_EQ(AlarmTexts(kLow), QStringList({"5", "10", "5", "10"}));
        for (const Alarm& a : {kHigh, kLow}) {
            SCOPED_TRACE(a.name);
            EXPECT_TRUE(Checked(a.enable));
            EXPECT_FALSE(Checked(a.latched));
            EXPECT_TRUE(Enabled(a.releasePoint) && Enabled(a.releaseDelay));
        }
        EXPECT_EQ(dlg->settings(), Defaults640());
        // The release edits of a latched alarm are disabled: their text must not stay black.
        EXPECT_NE(dlg->GetDlgItem(IDC_HIGH_RELEASE_POINT)
                      ->palette()
                      .color(QPalette::Disabled, QPalette::Text),
                  Qt::black);
    }

    static constexpr std::pair<int, const char*> kOpensWith{IDC_HIGH_SET_POINT, "120"};

    struct RefreshRow {
        int line;
        const char* code;  // as the module holds it
        int highMode, lowMode;
        int radio;
        const char* rowText;  // in the row list shown, "" for none
        const char* unit;
        const char* label;
    };
    static constexpr RefreshRow kRefreshRows[] = {
        {__LINE__, "0251", 2, 0, IDC_SENSOR_INSERTION, "6\" Class 160\"", "gph", "gph"},
        {__LINE__, "1531", 0, 2, IDC_SENSOR_TEE, "KV300-3\"", "l/hr", "l/hr"},
        {__LINE__, "2001", 2, 2, IDC_SENSOR_WSS, "", "mph", "mph"},
        // Type digit 3: the sensor controls stay as the defaults left them, the labels empty.
        {__LINE__, "3120", 1, 1, IDC_SENSOR_INSERTION, "3\" Class 200\"", "gpm", ""},
    };
    void StoreInModule(const RefreshRow& row) {
        Strings stored = {std::string("u=") + row.code, "p=000" + std::to_string(row.highMode),
                          "q=000" + std::to_string(row.lowMode)};
        stored.insert(stored.end(), {"k=2.725000", "e=150.4000", "g=140.6000", "j=3.000000",
                                     "d=8.000000", "$=0007", "#=0012", "%=0003", "&=0020"});
        for (std::string& c : stored) {
            c += '\r';
        }
        Store(stored);
    }
    void ExpectShown(const RefreshRow& row) const {
        EXPECT_EQ(Labels(), QStringList(4, row.label));
        EXPECT_EQ(AlarmTexts(kHigh), QStringList({"150", "141", "7", "12"}));
        EXPECT_EQ(AlarmTexts(kLow), QStringList({"3", "8", "3", "20"}));
        for (const auto& [a, mode] : {std::pair{kHigh, row.highMode}, {kLow, row.lowMode}}) {
            SCOPED_TRACE(a.name);
            EXPECT_EQ(Checked(a.enable), mode > 0);
            EXPECT_EQ(Checked(a.latched), mode > 1);
            // A latched alarm's release point and delay are disabled.
            EXPECT_EQ(Enabled(a.releasePoint), mode < 2);
            EXPECT_EQ(Enabled(a.releaseDelay), mode < 2);
            EXPECT_EQ(dlg->settings().*a.mode, mode);
        }
    }

    void FillIn() {
        Click(IDC_SENSOR_TEE);
        Choose(IDC_TEE_LIST, 3);
        Choose(IDC_UNIT_OF_MEASURE, 4);  // "l/hr"
        Type(IDC_K_FACTOR, "8.5");
        Type(IDC_OFFSET, "-0.25");
        Click(IDC_HIGH_LATCHED);
        Click(IDC_LOW_ENABLE);
        const std::pair<int, const char*> typed[] = {
            {IDC_HIGH_SET_POINT, "150"}, {IDC_HIGH_RELEASE_POINT, "140.25"},
            {IDC_LOW_SET_POINT, "3"},    {IDC_LOW_RELEASE_POINT, "8"},
            {IDC_HIGH_SET_DELAY, "7"},   {IDC_HIGH_RELEASE_DELAY, "12"},
            {IDC_LOW_SET_DELAY, "3"},    {IDC_LOW_RELEASE_DELAY, "20"},
        };
        for (const auto& [id, text] : typed) {
            Type(id, text);
        }
    }
    // Tee row 3 with "l/hr": 0x1001 + 5 * 256 + 3 * 16.
    static inline const Strings kRoundTrip = {
        "o=-0.25000", "k=8.500000", "u=1531",     "s=0002",     "n=1.000000", "m=227.1247",
        "e=150.0000", "g=140.2500", "j=3.000000", "d=8.000000", "p=0002",     "q=0000",
        "$=0007",     "#=0012",     "%=0003",     "&=0020"};
    void ExpectHeldAfterSend() const {
        EXPECT_EQ(Text(IDC_K_FACTOR), "8.5") << "Send keeps what was typed";
    }
    void ExpectReadBack(const ModuleData640& sent) const {
        EXPECT_TRUE(Checked(IDC_SENSOR_TEE));
        EXPECT_EQ(Text(IDC_TEE_LIST), "KV300-3\"");
        EXPECT_EQ(Text(IDC_UNIT_OF_MEASURE), "l/hr");
        EXPECT_EQ(Labels(), QStringList(4, "l/hr"));
        EXPECT_EQ(Text(IDC_K_FACTOR), "8.500000");
        EXPECT_EQ(Text(IDC_OFFSET), "-0.250000");
        EXPECT_EQ(AlarmTexts(kHigh), QStringList({"150", "140", "7", "12"}));
        EXPECT_EQ(AlarmTexts(kLow), QStringList({"3", "8", "3", "20"}));
        EXPECT_TRUE(Checked(IDC_HIGH_ENABLE) && Checked(IDC_HIGH_LATCHED));
        EXPECT_FALSE(Checked(IDC_LOW_ENABLE) || Checked(IDC_LOW_LATCHED));
        EXPECT_FALSE(Enabled(IDC_HIGH_RELEASE_POINT) || Enabled(IDC_HIGH_RELEASE_DELAY));
        EXPECT_TRUE(Enabled(IDC_LOW_RELEASE_POINT) && Enabled(IDC_LOW_RELEASE_DELAY));

        // The module's floats are single precision; the codes and whole numbers come back as
        // sent.
        const ModuleData640& read = dlg->settings();
        EXPECT_EQ(read.SensorCode, sent.SensorCode);
        EXPECT_NEAR(read.unitFactor, sent.unitFactor, 1e-4);
        EXPECT_EQ(read.highReleasePoint, 140.25);
        EXPECT_EQ(std::tie(read.highAlarmMode, read.lowAlarmMode, read.highSetDelay,
                           read.highReleaseDelay, read.lowSetDelay, read.lowReleaseDelay),
                  std::tie(sent.highAlarmMode, sent.lowAlarmMode, sent.highSetDelay,
                           sent.highReleaseDelay, sent.lowSetDelay, sent.lowReleaseDelay));
    }

    // The set and release points take one decimal point like K and offset, but "-" negates K
    // and offset only; the delays take digits only.
    static constexpr fwtest::KeyRow kKeyRows[] = {
        {__LINE__, IDC_HIGH_SET_POINT, "99.7", 4, 4, kPoint, {}, "99.7", 4, 4},
        {__LINE__, IDC_HIGH_RELEASE_POINT, "99.7", 4, 4, kPoint, kKeypad, "99.7", 4, 4},
        {__LINE__, IDC_LOW_SET_POINT, "9.5", 1, 1, kPoint, {}, "9.5", 1, 1},
        {__LINE__, IDC_LOW_RELEASE_POINT, "1.5", 0, 3, kPoint, {}, ".", 1, 1},
        {__LINE__, IDC_LOW_RELEASE_POINT, "15", 2, 2, kPoint, {}, "15.", 3, 3},
        {__LINE__, IDC_HIGH_SET_POINT, "120", 1, 1, kMinus, {}, "120", 1, 1},
        {__LINE__, IDC_LOW_SET_POINT, "5", 0, 0, kMinus, kKeypad, "5", 0, 0},
        {__LINE__, IDC_HIGH_SET_POINT, "120", 0, 3, kMinus, {}, "-", 1, 1},
        {__LINE__, IDC_HIGH_SET_POINT, "", 0, 0, kMinus, {}, "-", 1, 1},
        {__LINE__, IDC_K_FACTOR, "1.500000", 2, 2, kMinus, {}, "-1.500000", 3, 3},
        {__LINE__, IDC_OFFSET, "1.5", 3, 3, kPoint, {}, "1.5", 3, 3},
        {__LINE__, IDC_HIGH_SET_POINT, "12", 2, 2, Qt::Key_5, {}, "125", 3, 3},
        {__LINE__, IDC_HIGH_SET_POINT, "12", 2, 2, Qt::Key_E, {}, "12", 2, 2},
        {__LINE__, IDC_HIGH_SET_DELAY, "5", 1, 1, Qt::Key_0, kKeypad, "50", 2, 2},
        {__LINE__, IDC_HIGH_SET_DELAY, "5", 1, 1, kPoint, {}, "5", 1, 1},
        {__LINE__, IDC_LOW_RELEASE_DELAY, "10", 2, 2, kMinus, {}, "10", 2, 2},
        {__LINE__, IDC_LOW_RELEASE_DELAY, "10", 2, 2, Qt::Key_S, {}, "10", 2, 2},
        {__LINE__, IDC_LOW_SET_DELAY, "10", 0, 2, kMinus, {}, "-", 1, 1},
    };
    static constexpr int kKeyFocus[] = {IDC_HIGH_SET_POINT, IDC_LOW_ENABLE, IDOK};

    std::vector<fwtest::Refusal> RefusedEntries() {
        return {
            {__LINE__, IDC_K_FACTOR, "123456789", {}, "K cannot be sent"},
            {__LINE__, IDC_HIGH_SET_POINT, "123456789", {}, "High Set Point cannot be sent"},
            {__LINE__,
             IDC_LOW_RELEASE_POINT,
             "100000000.5",
             {},
             "Low Release Point cannot be sent"},
            // A unit list without a selection would build unit digit 0.
            {__LINE__, 0, nullptr, [&] { List(IDC_UNIT_OF_MEASURE)->setCurrentIndex(-1); },
             "Select a unit of measure before sending."},
        };
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Config640, ConfigDlg, Config640Test);
// Send reads every edit, then checks the two alarm pairs, enabled or not: a pair in the
// wrong order is put back to its defaults with its own message and nothing is sent, without
// the buttons ever being disabled; everything else typed stays held and shown.
TEST_F(Config640Test, SendChecksTheAlarmPairs) {
    StartMain(Strings{});
    ASSERT_TRUE(Open().empty());
    struct Row {
        int line;
        const char *highSet, *highRelease, *lowSet, *lowRelease;
        bool alarmsOff;
        const char* message;  // nullptr: accepted and sent
        QStringList highShown, lowShown;
    } rows[] = {
        {__LINE__, "90", "100", "3", "8", false, kHighMessage, {"120", "110"}, {"3", "8"}},
        {__LINE__, "120", "110", "20", "10", false, kLowMessage, {"120", "110"}, {"5", "10"}},
        // Only the first pair that fails is reset, even with both wrong.
        {__LINE__, "90", "100", "20", "10", false, kHighMessage, {"120", "110"}, {"20", "10"}},
        {__LINE__, "99.9", "100", "3", "8", false, kHighMessage, {"120", "110"}, {"3", "8"}},
        {__LINE__, "120", "110", "8.5", "8.4", false, kLowMessage, {"120", "110"}, {"5", "10"}},
        // Disabled alarms are checked all the same.
        {__LINE__, "1", "2", "3", "8", true, kHighMessage, {"120", "110"}, {"3", "8"}},
        {__LINE__, "120", "110", "3", "2", true, kLowMessage, {"120", "110"}, {"5", "10"}},
        // Equal points pass.
        {__LINE__, "100", "100", "10", "10", false, nullptr, {"100", "100"}, {"10", "10"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        Click(IDC_DEFAULTS);
        const std::size_t sentBefore = sim->Settings().size();
        if (row.alarmsOff) {
            Click(IDC_HIGH_ENABLE);
            Click(IDC_LOW_ENABLE);
        }
        Type(IDC_K_FACTOR, "2.5");
        Type(IDC_HIGH_SET_DELAY, "7");
        Type(IDC_LOW_RELEASE_DELAY, "12");
        Type(IDC_HIGH_SET_POINT, row.highSet);
        Type(IDC_HIGH_RELEASE_POINT, row.highRelease);
        Type(IDC_LOW_SET_POINT, row.lowSet);
        Type(IDC_LOW_RELEASE_POINT, row.lowRelease);
        BoxWatch boxes(dlg.get());
        Click(IDC_SEND);

        if (row.message) {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].text, row.message);
            EXPECT_EQ(boxes.boxes[0].caption, "Invalid Entry");
            EXPECT_EQ(boxes.boxes[0].type, ui::kMbOk);
            EXPECT_TRUE(boxes.buttonsEnabled[0]) << "buttons disabled on the refusal path";
            // Shown again from what is held: the reset pair, and the rest as read.
            EXPECT_EQ(Text(IDC_K_FACTOR), "2.500000");
            EXPECT_EQ(dlg->settings().highSetDelay, 7);
            EXPECT_EQ(dlg->settings().lowReleaseDelay, 12);
            QTest::qWait(200);
            EXPECT_EQ(sim->Settings().size(), sentBefore) << "nothing may be sent";
        } else {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(Text(IDC_K_FACTOR), "2.5") << "Send keeps what was typed";
            // SensorCode as Send builds it from the controls, d3 = 1: the default 0x0120
            // goes out as 0121.
            const Strings sent = sim->WaitSettings(sentBefore + 16);
            ASSERT_EQ(sent.size(), sentBefore + 16);
            EXPECT_EQ(Strings(sent.begin() + sentBefore, sent.end()),
                      Strings({"o=0.059000", "k=2.500000", "u=0121", "s=0002", "n=1.000000",
                               "m=1.000000", "e=100.0000", "g=100.0000", "j=10.00000", "d=10.00000",
                               "p=0001", "q=0001", "$=0007", "#=0010", "%=0005", "&=0012"}));
        }
        EXPECT_EQ(QStringList({Text(IDC_HIGH_SET_POINT), Text(IDC_HIGH_RELEASE_POINT)}),
                  row.highShown);
        EXPECT_EQ(QStringList({Text(IDC_LOW_SET_POINT), Text(IDC_LOW_RELEASE_POINT)}),
                  row.lowShown);
        for (int id : kButtons) {
            EXPECT_TRUE(Enabled(id)) << id;
        }
    }
}

TEST_F(Config640Test, SetPointSentWithItsDecimalsAndShownRounded) {
    StartMain(Strings{});
    ASSERT_TRUE(Open().empty());
    Type(IDC_HIGH_SET_POINT, "99.7");
    Type(IDC_HIGH_RELEASE_POINT, "90");
    Click(IDC_SEND);
    const Strings sent = sim->WaitSettings(16);
    ASSERT_EQ(sent.size(), 16u);
    EXPECT_EQ(sent[6], "e=99.70000");
    EXPECT_EQ(dlg->settings().highSetPoint, 99.7);
    EXPECT_EQ(Text(IDC_HIGH_SET_POINT), "99.7");

    Click(IDC_SENSOR_INSERTION);  // shows the settings again
    EXPECT_EQ(Text(IDC_HIGH_SET_POINT), "100");
    EXPECT_EQ(Text(IDC_HIGH_RELEASE_POINT), "90");
    EXPECT_EQ(dlg->settings().highSetPoint, 99.7);
}

// The alarm switch rule: the mode follows the two boxes at once, "Latched" cannot stay checked
// on a disabled alarm, and the release edits follow the latch only at the next ShowSettings.
TEST_F(Config640Test, AlarmSwitchesSetTheModeAndTheLatchLocksTheReleaseEdits) {
    StartMain(std::nullopt);
    Open();
    for (const Alarm& a : {kHigh, kLow}) {
        SCOPED_TRACE(a.name);
        const Alarm& other = a.enable == kHigh.enable ? kLow : kHigh;
        Click(IDC_DEFAULTS);
        struct Step {
            int line;
            std::function<void()> act;
            bool enabled, latched;
            int mode;
            bool releaseEditable;
        } steps[] = {
            {__LINE__, [&] { Click(a.latched); }, true, true, 2, true},
            {__LINE__, [&] { Click(IDC_SENSOR_WSS); }, true, true, 2, false},
            {__LINE__, [&] { Click(a.latched); }, true, false, 1, false},
            {__LINE__, [&] { Click(IDC_SENSOR_INSERTION); }, true, false, 1, true},
            {__LINE__, [&] { Click(a.latched); }, true, true, 2, true},
            {__LINE__, [&] { Click(a.enable); }, false, false, 0, true},
            {__LINE__, [&] { Click(a.latched); }, false, false, 0, true},
            {__LINE__, [&] { Click(IDC_DEFAULTS); }, true, false, 1, true},
        };
        for (const Step& step : steps) {
            SCOPED_TRACE(step.line);
            step.act();
            EXPECT_EQ(Checked(a.enable), step.enabled);
            EXPECT_EQ(Checked(a.latched), step.latched);
            EXPECT_EQ(dlg->settings().*a.mode, step.mode);
            EXPECT_EQ(Enabled(a.releasePoint), step.releaseEditable);
            EXPECT_EQ(Enabled(a.releaseDelay), step.releaseEditable);
            EXPECT_TRUE(Enabled(a.setPoint) && Enabled(a.setDelay));
            // The other alarm is left alone.
            EXPECT_TRUE(Checked(other.enable));
            EXPECT_FALSE(Checked(other.latched));
            EXPECT_EQ(dlg->settings().*other.mode, 1);
            EXPECT_TRUE(Enabled(other.releasePoint));
            if (!step.releaseEditable) {
                guitest::SaveScreenshot(dlg.get(), QString("latched-") + a.name);
            }
        }
    }
}

// List 1037 names the unit in the four labels at once; Send takes its factor from unit table
// 640. Offline, so the upload sends nothing and only what Send took over is looked at.
TEST_F(Config640Test, UnitChoiceSetsTheLabelsAndSendTakesItsFactor) {
    StartMain(std::nullopt);
    Open();
    struct Step {
        int line;
        std::function<void()> act;
        const char* unit;
        int sensorCode;
        double factor;  // 0: the module cannot hold the code, Send refuses it
    } steps[] = {
        {__LINE__, [&] { Choose(IDC_UNIT_OF_MEASURE, 10); }, "m3/hr", 0x0B21, 0},
        {__LINE__, [&] { Choose(IDC_UNIT_OF_MEASURE, 1); }, "gph", 0x0221, 60.0},
        {__LINE__, [&] { Choose(IDC_UNIT_OF_MEASURE, 4); }, "l/hr", 0x0521, 227.1247},
        {__LINE__, [&] { Click(IDC_SENSOR_TEE); }, "gpm", 0x1101, 1.0},
        {__LINE__, [&] { Choose(IDC_UNIT_OF_MEASURE, 7); }, "ft3/hr", 0x1801, 8.020833},
        {__LINE__, [&] { Choose(IDC_TEE_LIST, 4); }, "gpm", 0x1141, 1.0},
        {__LINE__, [&] { Click(IDC_SENSOR_WSS); }, "mph", 0x2001, 1.0},
        {__LINE__, [&] { Choose(IDC_UNIT_OF_MEASURE, 1); }, "km/h", 0x2D01, 0},
        {__LINE__, [&] { Click(IDC_SENSOR_INSERTION); }, "gpm", 0x0101, 1.0},
        {__LINE__, [&] { Choose(IDC_PIPE_LIST, 10); }, "gpm", 0x01A1, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.line);
        step.act();
        EXPECT_EQ(Text(IDC_UNIT_OF_MEASURE), step.unit);
        EXPECT_EQ(Labels(), QStringList(4, step.unit));
        EXPECT_EQ(dlg->settings().SensorCode, step.sensorCode);
        const double factorBefore = dlg->settings().unitFactor;
        guitest::MessageBoxRecorder boxes;
        Click(IDC_SEND);
        EXPECT_EQ(dlg->settings().SensorCode, step.sensorCode);
        EXPECT_EQ(dlg->settings().unitFactor, step.factor != 0 ? step.factor : factorBefore);
        // Offline, a Send that passes the checks says the module was not reached.
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, step.factor != 0 ? "Comm Error" : "Invalid Entry");
        if (step.factor == 0) {
            EXPECT_EQ(boxes.boxes[0].caption, "Invalid Entry");
            EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("The 640 cannot hold the ") +
                                                       (step.sensorCode == 0x01A1
                                                            ? "pipe size 10\" Class 200\""
                                                            : QString("unit ") + step.unit)))
                << boxes.boxes[0].text.toStdString();
        }
        guitest::ExpectTidyLayout(dlg.get());
    }
}

// "m3/hr" goes out as "u=0b21", which the module reads as the decimal number 0: refused
// before anything is sent, naming the unit. "l/hr" goes out, with its factor.
TEST_F(Config640Test, UnitFactorIsSent) {
    StartMain(Strings{});
    ASSERT_TRUE(Open().empty());
    Choose(IDC_UNIT_OF_MEASURE, 10);
    {
        guitest::MessageBoxRecorder boxes;
        Click(IDC_SEND);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text,
                  "The 640 cannot hold the unit m3/hr: its sensor code 0b21 reaches the module as "
                  "the number 0.\nChoose another unit. No settings have been sent.");
        EXPECT_EQ(boxes.boxes[0].caption, "Invalid Entry");
        EXPECT_TRUE(sim->WaitSettings(1, 300).empty());
    }
    Choose(IDC_UNIT_OF_MEASURE, 4);
    Click(IDC_SEND);
    const Strings sent = sim->WaitSettings(16);
    ASSERT_EQ(sent.size(), 16u);
    EXPECT_EQ(sent[2], "u=0521");
    EXPECT_EQ(sent[5], "m=227.1247");
    EXPECT_EQ(dlg->settings().unitFactor, 227.1247);
}

// The "s=" commands follow the variant character read from the module, all before "n=".
TEST_F(Config640Test, VariantPSendsThreeSCommandsBeforeN) {
    StartMain(Strings{"--variant", "p"});
    ASSERT_TRUE(Open().empty());
    EXPECT_EQ(dlg->settings().variantChar, 'p');
    Click(IDC_SEND);
    const Strings sent = sim->WaitSettings(18);
    ASSERT_EQ(sent.size(), 18u);
    EXPECT_EQ(Strings(sent.begin(), sent.begin() + 7),
              Strings({"o=0.059000", "k=1.696500", "u=0121", "s=0000", "s=0001", "s=0002",
                       "n=1.000000"}));
}

// Space in an edit is swallowed; on a check box it switches it. Each button has its
// Alt+letter, wherever the focus is: Alt+O is "OK". Each control has a name of its own ("High
// Alarm Set Point", "Low Alarm Latched").
TEST_F(Config640Test, SpaceAndAccessKeys) {
    StartMain(std::nullopt);
    Open();
    dlg->GetDlgItem(IDC_HIGH_SET_POINT)->setFocus();
    QTest::keyClick(dlg->windowHandle(), Qt::Key_Space);
    EXPECT_TRUE(Checked(IDC_LOW_ENABLE));
    dlg->GetDlgItem(IDC_LOW_ENABLE)->setFocus();
    QTest::keyClick(dlg->windowHandle(), Qt::Key_Space);
    EXPECT_FALSE(Checked(IDC_LOW_ENABLE));
    guitest::ExpectKeyboardAndNames(dlg.get());
    EXPECT_EQ(dlg->GetDlgItem(IDC_LOW_RELEASE_DELAY)->accessibleName(),
              "Low Alarm Release Point Delay");
    EXPECT_EQ(dlg->GetDlgItem(IDC_HIGH_LATCHED)->accessibleName(), "High Alarm Latched");
    dlg->GetDlgItem(IDC_HIGH_SET_POINT)->setFocus();
    ASSERT_TRUE(guitest::ShowActive(dlg.get()));  // an access key works in the active window
    QTest::keyClick(dlg->windowHandle(), Qt::Key_O, Qt::AltModifier);
    EXPECT_TRUE(guitest::WaitUntil([&] { return !dlg->isVisible(); }));
}

// Delays are read as the framework reads a signed integer from an edit.
TEST(DlgTextToIntTest, ReadsASignedDecimalPrefix) {
    struct Row {
        const char* text;
        int expected;
    } rows[] = {
        {"12", 12},
        {"  -5", -5},
        {"+7", 7},
        {"12 s", 12},
        {"007", 7},
        {"", 0},
        {"-", 0},
        {"sec", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", 0},
        {"99999999999999999999", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(DlgTextToInt(row.text), row.expected);
    }
}

}  // namespace
