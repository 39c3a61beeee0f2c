// The alarm status window against a scripted module on a pseudo-terminal, where a test needs
// query counts, failures or two different flow readings (the pseudo-terminal is the test's own,
// so these run on POSIX only).
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QLabel>
#include <QTest>
#include <atomic>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include "protocol/Commands.h"
#include "protocol/Decode.h"
#include "protocol/Device.h"
#include "tests/common/PtyPair.h"
#include "tests/toolwindows/AlarmWindowRig.h"

namespace {

using namespace alarmtest;

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
    const HalfShown before{kGrey, kOrange, kGrey, "10", ""};
    const HalfShown after{kRed, kGrey, kOrange, "", "1"};
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

}  // namespace
