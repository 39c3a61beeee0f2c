// The alarm status window: what status words and settings come to (no widgets), then the
// window against fernwell-sim with forced status words and against a scripted module on a
// pseudo-terminal where a test needs query counts, failures or two different flow readings.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include "app/FernwellDlg.h"
#include "protocol/Commands.h"
#include "protocol/Decode.h"
#include "protocol/Device.h"
#include "res/Resource.h"
#include "res/Templates.h"
#include "rules/AlarmStatus.h"
#include "tests/common/GuiTest.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ScopedWaits.h"
#include "tests/common/SimProcess.h"
#include "ui/Bitmaps.h"
#include "windows/Alarm640Dlg.h"

namespace {

constexpr int kOrange = IDB_LAMP_ORANGE, kRed = IDB_LAMP_RED, kBlue = IDB_LAMP_BLUE,
              kGreen = IDB_LAMP_GREEN, kGrey = IDB_LAMP_GREY;
constexpr int kCom = 7;

// ---- Without widgets ---------------------------------------------------------------------

TEST(AlarmStatusWord, LampsAndDelayBoxes) {
    struct Row {
        const char* line;
        std::uint32_t status;
        AlarmStatusView expected;
    };
    const Row rows[] = {
        {"quiet", 0x00000000, {kGrey, kGrey, kGrey, "", ""}},
        {"set delay, 40 ticks = 10.49 s", 0x28000001, {kGrey, kOrange, kGrey, "10", ""}},
        {"release delay, 5 ticks = 1.31 s", 0x05000101, {kRed, kGrey, kOrange, "", "1"}},
        {"activated only", 0x00000100, {kRed, kGrey, kGrey, "", ""}},
        {"a counter without a running delay shows nothing",
         0x28000100,
         {kRed, kGrey, kGrey, "", ""}},
        {"byte 2 means nothing", 0x00FF0000, {kGrey, kGrey, kGrey, "", ""}},
        {"any nonzero byte counts, counter 0", 0x0000FF80, {kRed, kGrey, kOrange, "", "0"}},
        {"2 ticks = 0.52 s rounds up", 0x02000001, {kGrey, kOrange, kGrey, "1", ""}},
        {"longest delay, 255 ticks = 66.85 s", 0xFF00FF01, {kRed, kGrey, kOrange, "", "67"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        EXPECT_EQ(InterpretAlarmStatus(r.status), r.expected);
    }
}

TEST(AlarmReference, ModesPointsAndDelays) {
    struct Row {
        int mode;
        double setPoint;
        int setDelay;
        double releasePoint;
        AlarmReferenceView expected;
    };
    const Row rows[] = {
        {0, 120, 5, 110, {kGrey, "NO", "120", "5", "110", "10"}},
        {1, 99.7, 0, 0.4, {kGreen, "NO", "100", "0", "0", "10"}},
        {2, -5.5, -3, 2.5, {kGreen, "YES", "-6", "-3", "2", "10"}},  // C library: half to even
        {3, 1e7, 9999, 12.5, {kGreen, "YES", "10000000", "9999", "12", "10"}},
        {-1, 0, 0, 0, {kGreen, "YES", "0", "0", "0", "10"}},  // compared unsigned
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        EXPECT_EQ(InterpretAlarmReference(r.mode, r.setPoint, r.setDelay, r.releasePoint, 10),
                  r.expected);
    }
    EXPECT_EQ(FlowRateText(42.5), "42.50");
    EXPECT_EQ(FlowRateText(12.345), "12.35") << "12.345 is held as 12.3450000000000006";
    EXPECT_EQ(FlowRateText(-0.004), "-0.00");
}

// ---- The window --------------------------------------------------------------------------

// Plays a 640 on the master of a pseudo-terminal, in a thread of its own (the window's queries
// block the test's thread): echoes what it receives, answers "v", "h", "l", "f" from its
// script and records every command line.
class ScriptedModule {
public:
    struct Script {
        bool plugged = true;  // false: no echo, no answer
        ModuleData640 data = Defaults640();
        double flow = 56.78;  // the "f" answer (the dump's own is data.flowRate)
        std::uint32_t high = 0, low = 0;
        char garbled = 0;  // this query's answer lacks its marker
        char silent = 0;   // this query gets no answer
    };

    explicit ScriptedModule(fwtest::PtyPair& pty) : pty_(pty), thread_([this] { Run(); }) {}
    ~ScriptedModule() {
        stop_ = true;
        thread_.join();
    }
    void Set(const Script& s) {
        std::lock_guard lock(mutex_);
        script_ = s;
    }
    std::string TakeQueries() {
        std::lock_guard lock(mutex_);
        return std::exchange(queries_, std::string());
    }

private:
    // The 640 dump as the module sends it; the window reads the flow, the alarm points, modes
    // and delays from it.
    static std::string Dump(const ModuleData640& d) {
        std::string dump = "\r\n* FERNWELL 640\r\nREV 2.20\r\nc=00000000\r\n4\r\n";
        auto line = [&dump](const std::string& value) { dump += "x=" + value + "\r\n"; };
        for (double v : {d.kFactor, d.offset, d.nValue, d.flowRate, d.value9}) {
            line(EncodeModuleFloat(v));
        }
        line(EncodeHexWord(d.word10));
        line(Encode16Bit(d.SensorCode));
        for (double v :
             {d.unitFactor, d.highSetPoint, d.highReleasePoint, d.lowSetPoint, d.lowReleasePoint}) {
            line(EncodeModuleFloat(v));
        }
        line(EncodeTopByte(d.highAlarmMode));
        line(EncodeTopByte(d.lowAlarmMode));
        for (int delay : {d.highSetDelay, d.highReleaseDelay, d.lowSetDelay, d.lowReleaseDelay}) {
            line(Encode16Bit(delay));
        }
        return dump;
    }
    std::string Answer(const std::string& line, const Script& s) {
        const char letter = line.size() == 1 ? line[0] : 0;
        if (letter == s.silent) {
            return "";
        }
        const std::string marker = letter == s.garbled ? "?=" : std::string{letter, '='};
        switch (letter) {
            case 'v':
                return Dump(s.data);
            case 'f':
                return marker + EncodeModuleFloat(s.flow) + "\r\n";
            case 'h':
                return marker + EncodeHexWord(s.high) + "\r\n";
            case 'l':
                return marker + EncodeHexWord(s.low) + "\r\n";
        }
        return "";
    }
    void Run() {
        std::string line;
        while (!stop_) {
            pollfd p{pty_.MasterFd(), POLLIN, 0};
            char buffer[256];
            const ssize_t n = poll(&p, 1, 20) > 0 ? read(p.fd, buffer, sizeof buffer) : 0;
            for (ssize_t i = 0; i < n; ++i) {
                std::lock_guard lock(mutex_);
                if (buffer[i] != '\r') {
                    line += buffer[i];
                    continue;
                }
                queries_ += line + ' ';
                if (script_.plugged) {
                    pty_.WriteMaster(line + "\r" + Answer(line, script_));
                }
                line.clear();
            }
        }
    }

    fwtest::PtyPair& pty_;
    std::mutex mutex_;
    Script script_;
    std::string queries_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The window with the timer handler reachable: tests tick it themselves.
class AlarmWindow : public CAlarm640Dlg {
public:
    void Tick() {
        OnTimer(ID_TIMER_ALARM_STATUS);
        WaitAnswers();
    }
    // The status refresh, waiting for its answers.
    void Refresh() {
        RefreshAlarmStatus();
        WaitAnswers();
    }
    void WaitAnswers() {
        EXPECT_TRUE(guitest::WaitUntil([this] { return pendingReads() == 0; }));
    }
    int Lamp(int id) const { return ui::BitmapOf(itemAs<QLabel>(id)); }
    std::string Text(int id) const { return GetDlgItemText(id).toStdString(); }
    // The status lamps and delay boxes of the high or low half, as the view has them.
    AlarmStatusView Half(bool high) const {
        return high ? AlarmStatusView{Lamp(1049), Lamp(1051), Lamp(1052), Text(1056), Text(1057)}
                    : AlarmStatusView{Lamp(1053), Lamp(1054), Lamp(1055), Text(1058), Text(1059)};
    }
};

class AlarmWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ports.Ok());
        {
            guitest::MessageBoxRecorder startup;  // whatever the start-up says about ports
            ASSERT_TRUE(main.Create());
        }
        main.KillTimer(ID_TIMER_POLL);
        main.model = 640;
        main.busy = 1;  // as the Alarm Status command has it
    }
    void TearDown() override { main.link().Close(); }
    void OpenPort() {
        std::string error;
        ASSERT_EQ(main.link().OpenNow(kCom, 4800, &error), 0) << error;
    }
    // Creates and shows `w` as the main window's Alarm Status command would (initialisation
    // included) and stops its timer, so only the test's ticks talk to the module.
    void Open(AlarmWindow& w) {
        w.link = &main.link();
        w.colours = &main.colours();
        ASSERT_TRUE(w.Create());
        w.KillTimer(ID_TIMER_ALARM_STATUS);
        w.WaitAnswers();
        w.show();
    }
    std::unique_ptr<fwtest::SimProcess> StartSim(std::vector<std::string> args) {
        args.insert(args.begin(), {"--model", "640", "--flow", "42.5"});
        auto sim = std::make_unique<fwtest::SimProcess>(
            fwtest::SimProcess::Options{.args = args, .port = kCom, .portsDir = ports.PortsDir()});
        EXPECT_TRUE(sim->Ok()) << sim->Error();
        return sim;
    }

    fwtest::ScopedPortsDir ports;
    CFernwellDlg main;
    fwtest::ScopedOpenDelay openDelay{0};
    fwtest::ScopedBytePause bytePause{1};
};

TEST_F(AlarmWindowTest, TemplateAndFirstSettingsRead) {
    auto sim = StartSim({});
    OpenPort();
    AlarmWindow w;
    w.link = &main.link();
    w.colours = &main.colours();
    ASSERT_TRUE(w.Create());
    w.WaitAnswers();
    EXPECT_EQ(w.windowTitle(), "Alarm Status");
    EXPECT_EQ(w.size(), w.MapDialogRect(QRect(0, 0, 303, 220)).size());
    EXPECT_EQ(w.GetDlgItemText(IDOK), "E&xit");
    EXPECT_TRUE(w.itemAs<QPushButton>(IDOK)->isDefault());
    EXPECT_EQ(w.Text(1048), "gpm");  // the module's unit; the template says "gal/min."
    QTimer* timer = w.timer(ID_TIMER_ALARM_STATUS);
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_EQ(timer->objectName(), "alarmStatusTimer");
    w.KillTimer(ID_TIMER_ALARM_STATUS);

    // The module's defaults: both alarms on, not latched, 120/110 and 5/10, delays 5 and 10.
    EXPECT_EQ(w.referenceLoaded, 1);
    EXPECT_EQ(w.Text(1006), "42.50");
    EXPECT_EQ((std::vector<int>{w.Lamp(1070), w.Lamp(1071), w.Lamp(1072), w.Lamp(1073)}),
              (std::vector<int>{kGreen, kGreen, kGrey, kGrey}));
    EXPECT_EQ(w.Half(true), (AlarmStatusView{kGrey, kGrey, kGrey, "", ""}));
    EXPECT_EQ(w.Half(false), (AlarmStatusView{kGrey, kGrey, kGrey, "", ""}));
    std::vector<std::string> reference;
    for (int id = 1060; id <= 1069; ++id) {
        reference.push_back(w.Text(id));
    }
    EXPECT_EQ(reference, (std::vector<std::string>{"NO", "NO", "120", "5", "5", "5", "110", "10",
                                                   "10", "10"}));

    // In the template the low half repeats the high half 149 units to the right; value box
    // 1058 and the label "Set Point Delay" sit a unit lower.
    std::vector<const res::ControlTemplate*> high, low;
    for (const res::ControlTemplate& c : w.dialogTemplate()->controls) {
        if (c.y > 20 && c.y < 195) {
            (c.x < 150 ? high : low).push_back(&c);
        }
    }
    ASSERT_EQ(high.size(), low.size());
    const std::map<int, int> lowOf = {{1070, 1071}, {1049, 1053}, {1051, 1054}, {1052, 1055},
                                      {1056, 1058}, {1057, 1059}, {1060, 1061}, {1062, 1063},
                                      {1064, 1065}, {1066, 1067}, {1068, 1069}};
    for (std::size_t i = 0; i < high.size(); ++i) {
        const res::ControlTemplate &h = *high[i], &l = *low[i];
        SCOPED_TRACE(l.text);
        EXPECT_EQ(l.id, h.id == IDC_STATIC ? IDC_STATIC : lowOf.at(h.id));
        const bool lower = l.id == 1058 || std::string(l.text) == "Set Point Delay";
        EXPECT_EQ(QRect(l.x, l.y, l.w, l.h), QRect(h.x + 149, h.y + lower, h.w, h.h));
        EXPECT_EQ(std::string(l.text), l.kind == res::ControlKind::GroupBox
                                           ? "Low" + std::string(h.text).substr(4)
                                           : std::string(h.text));
    }
    ASSERT_TRUE(guitest::ShowActive(&w));
    guitest::ExpectTidyLayout(&w);
}

// Forced status words: each row's words on both halves after one refresh.
TEST_F(AlarmWindowTest, StatusWordsFromTheModule) {
    struct Row {
        const char* high;
        const char* low;
        AlarmStatusView highView, lowView;
    };
    const Row rows[] = {
        {"28000001", "00000000", {kGrey, kOrange, kGrey, "10", ""}, {kGrey, kGrey, kGrey, "", ""}},
        {"05000101", "00000100", {kRed, kGrey, kOrange, "", "1"}, {kRed, kGrey, kGrey, "", ""}},
        {"00000100", "28000001", {kRed, kGrey, kGrey, "", ""}, {kGrey, kOrange, kGrey, "10", ""}},
        {"00000000", "0A000301", {kGrey, kGrey, kGrey, "", ""}, {kRed, kGrey, kOrange, "", "3"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.high) + " " + r.low);
        auto sim = StartSim({"--high-status", r.high, "--low-status", r.low});
        OpenPort();
        AlarmWindow w;
        Open(w);
        w.Refresh();
        EXPECT_EQ(w.Half(true), r.highView);
        EXPECT_EQ(w.Half(false), r.lowView);
        EXPECT_EQ(w.Lamp(1072), kGrey);
        EXPECT_EQ(w.Lamp(1073), kGrey);
        EXPECT_EQ(w.Text(1006), "42.50");
    }
}

TEST_F(AlarmWindowTest, AlarmModesAndSettingsFromTheModule) {
    auto sim = StartSim({});
    OpenPort();
    auto send = [this](const std::vector<std::string>& commands) {
        main.link().Call([&commands](CSerialPort& port, const int& online) {
            CDevice640 module(port, online);
            for (const std::string& c : commands) {
                module.SendCommand(c);
            }
        });
    };
    send({NumberCommand('e', 150.4), NumberCommand('g', 99.7), NumberCommand('j', 3.2),
          NumberCommand('d', 12.5), DecimalCodeCommand('$', 7), DecimalCodeCommand('#', 0),
          DecimalCodeCommand('%', 12), DecimalCodeCommand('&', 3), HexCodeCommand('u', 0x0421)});
    struct Row {
        int high, low;
        int highLamp, lowLamp;
        const char *highLatch, *lowLatch;
    };
    const Row rows[] = {
        {2, 0, kGreen, kGrey, "YES", "NO"},
        {1, 2, kGreen, kGreen, "NO", "YES"},
        {0, 1, kGrey, kGreen, "NO", "NO"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.high << "/" << r.low);
        send({DecimalCodeCommand('p', r.high), DecimalCodeCommand('q', r.low)});
        AlarmWindow w;
        Open(w);
        EXPECT_EQ(w.Lamp(1070), r.highLamp);
        EXPECT_EQ(w.Lamp(1071), r.lowLamp);
        EXPECT_EQ(w.Text(1048), "l/min");  // the unit the module reports
        EXPECT_EQ(w.Text(1060), r.highLatch);
        EXPECT_EQ(w.Text(1061), r.lowLatch);
        EXPECT_EQ(w.Text(1062) + " " + w.Text(1064) + " " + w.Text(1066) + " " + w.Text(1068),
                  "150 7 100 0");
        EXPECT_EQ(w.Text(1063) + " " + w.Text(1065) + " " + w.Text(1067) + " " + w.Text(1069),
                  "3 12 12 3");  // 12.5 rounds to even
    }
}

class ScriptedAlarmWindowTest : public AlarmWindowTest {
protected:
    void SetUp() override {
        AlarmWindowTest::SetUp();
        ASSERT_TRUE(pty.Ok()) << pty.Error();
        ASSERT_TRUE(ports.Link(kCom, pty.SlavePath()));
        OpenPort();
        script.data.flowRate = 12.34;
    }
    fwtest::PtyPair pty;
    ScriptedModule module{pty};
    ScriptedModule::Script script;
};

// Unplugged at first: the settings read is tried at opening and on every tick, and the first
// answer fills everything at once; after that only the status is read. Both flow readings of
// that tick land in 1006, the flow query's last.
TEST_F(ScriptedAlarmWindowTest, ModuleUnpluggedAtFirstAnswersLater) {
    script.plugged = false;
    module.Set(script);
    AlarmWindow w;
    // What the flow trend is told: "gap", or the flow with the dump's points or the status
    // refresh's activated flags.
    std::string trendFeed;
    w.onFlowReading = [&trendFeed](const trend::FlowReading& r) {
        std::ostringstream text;
        text << (r.ok ? "" : "gap");
        if (r.ok) {
            text << r.flow << (r.points ? " points " + std::to_string(r.points->highSet) : "");
        }
        if (r.highActivated != trend::kUnknown) {
            text << " " << int(r.highActivated) << int(r.lowActivated);
        }
        trendFeed += text.str() + "; ";
    };
    Open(w);
    EXPECT_EQ(module.TakeQueries(), "v ");
    EXPECT_EQ(w.referenceLoaded, 0);
    EXPECT_EQ(w.Lamp(1073), kRed);
    EXPECT_EQ(w.Lamp(1070), kGrey);
    EXPECT_EQ(w.Text(1006), "---");
    EXPECT_EQ(w.Text(1060) + w.Text(1062) + w.Text(1069), "");

    w.Tick();
    EXPECT_EQ(module.TakeQueries(), "v h ");
    EXPECT_EQ(w.Lamp(1072), kBlue);
    EXPECT_EQ(w.Lamp(1073), kRed);
    EXPECT_EQ(w.Text(1006), "---");
    guitest::SaveScreenshot(&w, QStringLiteral("unplugged"));

    script.plugged = true;
    script.high = 0x00000100;
    module.Set(script);
    w.Tick();
    EXPECT_EQ(module.TakeQueries(), "v h l f ");
    EXPECT_EQ(w.referenceLoaded, 1);
    EXPECT_EQ(w.Text(1006), "56.78") << "the settings read showed 12.34 first";
    EXPECT_EQ(w.Text(1062) + " " + w.Text(1069), "120 10");
    EXPECT_EQ(w.Lamp(1070), kGreen);
    EXPECT_EQ(w.Lamp(1049), kRed);
    EXPECT_EQ(w.Lamp(1072), kGrey);
    EXPECT_EQ(w.Lamp(1073), kGrey);
    EXPECT_EQ(trendFeed, "gap; gap; gap; 12.34 points 120.000000; 56.78 10; ");

    w.Tick();
    EXPECT_EQ(module.TakeQueries(), "h l f ");
}

// A failed query ends the refresh: later queries are not sent, what was shown before stays,
// Retrieving Data stays blue and Comm Error turns red, until a refresh gets through.
TEST_F(ScriptedAlarmWindowTest, FailedQueryEndsTheRefresh) {
    struct Row {
        const char* how;
        char garbled, silent;
        const char* queries;
        bool highShown, lowShown, flowShown;
    };
    const Row rows[] = {
        {"high status without its marker", 'h', 0, "h ", false, false, false},
        {"high status: echo, no answer", 0, 'h', "h ", false, false, false},
        {"low status without its marker", 'l', 0, "h l ", true, false, false},
        {"flow without its marker", 'f', 0, "h l f ", true, true, false},
    };
    const AlarmStatusView before{kGrey, kOrange, kGrey, "10", ""};
    const AlarmStatusView after{kRed, kGrey, kOrange, "", "1"};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.how);
        script.high = script.low = 0x28000001;
        script.flow = 56.78;
        module.Set(script);
        AlarmWindow w;
        Open(w);
        w.Refresh();
        module.TakeQueries();

        ScriptedModule::Script next = script;
        next.high = next.low = 0x05000101;
        next.flow = 77.5;
        next.garbled = r.garbled;
        next.silent = r.silent;
        module.Set(next);
        w.Refresh();
        EXPECT_EQ(module.TakeQueries(), r.queries);
        EXPECT_EQ(w.Half(true), r.highShown ? after : before);
        EXPECT_EQ(w.Half(false), r.lowShown ? after : before);
        EXPECT_EQ(w.Text(1006), r.flowShown ? "77.50" : "56.78");
        EXPECT_EQ(w.Lamp(1072), kBlue);
        EXPECT_EQ(w.Lamp(1073), kRed);

        next.garbled = next.silent = 0;
        module.Set(next);
        w.Refresh();
        EXPECT_EQ(w.Half(true), after);
        EXPECT_EQ(w.Lamp(1072), kGrey);
        EXPECT_EQ(w.Lamp(1073), kGrey);
    }
}

// The real modal run with its one-second timer, as the main window runs it.
TEST_F(AlarmWindowTest, ModalRunRefreshesEverySecondUntilExit) {
    auto sim = StartSim({"--high-status", "05000101", "--low-status", "28000001"});
    OpenPort();
    CAlarm640Dlg dlg;
    dlg.link = &main.link();
    dlg.colours = &main.colours();
    guitest::NextModal exit([&](QWidget*) {
        auto lamp = [&](int id) { return ui::BitmapOf(dlg.itemAs<QLabel>(id)); };
        EXPECT_TRUE(QTest::qWaitFor([&] { return lamp(1054) == kOrange; }, 4000));
        EXPECT_EQ(lamp(1049), kRed);
        EXPECT_EQ(lamp(1052), kOrange);
        EXPECT_EQ(dlg.GetDlgItemText(1057), "1");
        EXPECT_EQ(dlg.GetDlgItemText(1058), "10");
        EXPECT_EQ(lamp(1073), kGrey);
        // White text on green everywhere but the flow box, black on white.
        const QImage shot = dlg.grab().toImage();
        EXPECT_EQ(shot.pixelColor(2, 2), QColor(0, 155, 89));
        const QRect flow = dlg.item(1006)->geometry();
        EXPECT_EQ(shot.pixelColor(flow.left() + 3, flow.bottom() - 3), QColor(Qt::white));
        const QRect box = dlg.item(1062)->geometry();
        // (The style shades the inside of a group box a little; the box shows what is around it.)
        EXPECT_EQ(shot.pixelColor(box.left() + 3, box.bottom() - 3),
                  shot.pixelColor(box.left() - 3, box.bottom() - 3));
        EXPECT_NE(shot.pixelColor(box.left() + 3, box.bottom() - 3), QColor(Qt::white));
        EXPECT_EQ(dlg.item(1062)->palette().color(QPalette::WindowText), QColor(Qt::white));
        EXPECT_EQ(dlg.item(1006)->palette().color(QPalette::WindowText), QColor(Qt::black));
        guitest::SaveScreenshot(&dlg, QStringLiteral("live"));
        // Each lamp shows the one shared copy of its image.
        for (int id : {1049, 1051, 1052, 1053, 1054, 1055, 1070, 1071, 1072, 1073}) {
            SCOPED_TRACE(id);
            EXPECT_EQ(dlg.itemAs<QLabel>(id)->pixmap().cacheKey(),
                      ui::BitmapResource(lamp(id)).cacheKey());
        }
        dlg.itemAs<QPushButton>(IDOK)->click();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(dlg.timer(ID_TIMER_ALARM_STATUS)->isActive());
}

}  // namespace
