// The program's own serial port and protocol classes against the real fernwell-sim, over a
// pseudo-terminal, in --fast mode.

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/Decode.h"
#include "protocol/Device.h"
#include "serial/SerialPort.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ScopedBytePause.h"
#include "tests/common/SimProcess.h"
#include "tests/sim/SimRecords.h"

namespace {

using simtest::Fresh612;
using simtest::Fresh640;
using simtest::Single;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class SimOverPty : public ::testing::Test {
protected:
    static constexpr int kPort = 7;

    void SetUp() override { ASSERT_TRUE(ports_.Ok()); }
    void TearDown() override { port_.Close(); }

    // Starts the simulator as COM kPort with `args` and opens the port at `baud`.
    void Start(std::vector<std::string> args, int baud) {
        sim_.emplace(fwtest::SimProcess::Options{
            .args = std::move(args), .port = kPort, .portsDir = ports_.PortsDir()});
        ASSERT_TRUE(sim_->Ok()) << sim_->Error();
        ASSERT_EQ(port_.Open(kPort, baud, 'N', 8, 1), 0) << port_.LastErrorText();
        online_ = 1;
    }

    fwtest::ScopedPortsDir ports_;
    std::optional<fwtest::SimProcess> sim_;
    CSerialPort port_;
    int online_ = 0;
    fwtest::ScopedOpenDelay openDelay_{10};
    // Shorter than the module's 50 ms, but long enough for the simulator to read each byte
    // before the purge of the next write.
    fwtest::ScopedBytePause bytePause_{20};
};

TEST_F(SimOverPty, ReadAllOfBothModels) {
    struct Case {
        const char* model;
        int baud;
        bool is612;
    };
    const std::vector<Case> cases = {
        {"auto", 1200, true}, {"auto", 4800, false}, {"612", 1200, true}, {"640", 4800, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " at " + std::to_string(c.baud));
        Start({"--model", c.model, "--flow", "42.5"}, c.baud);
        if (c.is612) {
            ModuleData612 d;
            EXPECT_EQ(CDevice612(port_, online_).ReadAll(d), kLinkOk);
            EXPECT_EQ(d, Fresh612());
        } else {
            ModuleData640 d;
            EXPECT_EQ(CDevice640(port_, online_).ReadAll(d), kLinkOk);
            EXPECT_EQ(d, Fresh640());
        }
        port_.Close();
        sim_.reset();
    }
}

TEST_F(SimOverPty, FlowAndStatusQueries) {
    struct Case {
        std::vector<std::string> args;
        double flow;
        std::uint32_t highMask, high, lowMask, low;
    };
    const std::vector<Case> cases = {
        {{"--flow", "-12.5", "--high-status", "05000101", "--low-status", "0x28000001"},
         -12.5,
         ~0u,
         0x05000101,
         ~0u,
         0x28000001},
        // Below the low set point the low alarm's set delay runs at once; 5 s to go.
        {{"--flow", "2"}, 2, ~0u, 0, 0xFFFFu, 0x0001},
        {{"--flow", "125"}, 125, 0xFFFFu, 0x0001, ~0u, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        auto args = c.args;
        args.insert(args.end(), {"--model", "640"});
        Start(args, 4800);
        std::this_thread::sleep_for(milliseconds(300));  // past the first tick
        CDevice640 dev(port_, online_);
        double flow = 0;
        std::uint32_t high = 0xDEAD, low = 0xDEAD;
        ASSERT_EQ(dev.ReadFlow(flow), kLinkOk);
        ASSERT_EQ(dev.ReadHighStatus(high), kLinkOk);
        ASSERT_EQ(dev.ReadLowStatus(low), kLinkOk);
        EXPECT_EQ(flow, c.flow);
        EXPECT_EQ(high & c.highMask, c.high) << std::hex << high;
        EXPECT_EQ(low & c.lowMask, c.low) << std::hex << low;
        port_.Close();
        sim_.reset();
    }
}

// The module echoes the query; the reply the program reads starts with it and still decodes.
TEST_F(SimOverPty, RepliesCarryTheEchoAndStillDecode) {
    Start({"--model", "640", "--flow", "42.5"}, 4800);
    int count = 2;
    ASSERT_EQ(port_.Write("f\r", count), 0);
    char buffer[17] = {};
    count = 16;
    ASSERT_EQ(port_.Read(buffer, count), 0);
    const std::string reply(buffer, static_cast<std::size_t>(count));
    EXPECT_EQ(reply, "f\rf=" + EncodeModuleFloat(42.5) + "\r\n");
    // A setting's echo is still in the line when the next query goes out: the purge drops it.
    CDevice640 dev(port_, online_);
    EXPECT_EQ(dev.SendCommand("k=2.000000\r"), 0);
    double flow = 0;
    EXPECT_EQ(dev.ReadFlow(flow), kLinkOk);
    EXPECT_EQ(flow, 42.5);
    ModuleData640 d;
    EXPECT_EQ(dev.ReadAll(d), kLinkOk);
    EXPECT_EQ(d.kFactor, 2.0);
}

TEST_F(SimOverPty, OfflineReturnsOneAndSendsNothing) {
    Start({"--model", "640"}, 4800);
    online_ = 0;
    CDevice640 dev640(port_, online_);
    CDevice612 dev612(port_, online_);
    ModuleData640 d640;
    double flow = 0;
    std::uint32_t status = 0;
    EXPECT_EQ(dev640.ReadAll(d640), kLinkOffline);
    EXPECT_EQ(dev640.ReadFlow(flow), kLinkOffline);
    EXPECT_EQ(dev640.ReadHighStatus(status), kLinkOffline);
    EXPECT_EQ(dev640.ReadLowStatus(status), kLinkOffline);
    EXPECT_EQ(dev640.SendConfig(Defaults640()), kLinkOffline);
    EXPECT_EQ(dev612.SendConfig(Defaults612()), kLinkOffline);
    // The module echoes whatever reaches it: silence means nothing was sent.
    char buffer[65];
    int count = 64;
    ASSERT_EQ(port_.Read(buffer, count), 0);
    EXPECT_EQ(count, 0);
}

TEST_F(SimOverPty, UploadIsReadBackAsSent612) {
    Start({"--model", "612", "--flow", "42.5"}, 1200);
    CDevice612 dev(port_, online_);
    ModuleData612 sent = Fresh612();
    sent.SensorCode = 0x0105;   // goes out as "u=0261"
    sent.PulseUnitCode = 0x21;  // goes out as "d=0021"
    sent.kFactor = 2.5;
    sent.offset = -0.059;
    sent.pulseValue = 3;
    sent.pulseWidth = 250;
    ASSERT_EQ(dev.SendConfig(sent), kLinkOk);
    ModuleData612 got;
    ASSERT_EQ(dev.ReadAll(got), kLinkOk);
    ModuleData612 want = sent;
    want.PulseUnitCode = 21;  // the module's decimal reading of the hex digits
    want.offset = Single(-0.059);
    want.word12 = 0x00010000;  // one "s=0000"
    EXPECT_EQ(got, want);
}

TEST_F(SimOverPty, UploadIsReadBackAsSent640) {
    Start({"--model", "640", "--flow", "42.5"}, 4800);
    CDevice640 dev(port_, online_);
    ModuleData640 sent = Fresh640();
    sent.variantChar = 'p';  // "s=0000", "s=0001", "s=0002"
    sent.SensorCode = 0x0251;
    sent.kFactor = 3.5;
    sent.offset = -0.059;
    sent.unitFactor = 60;
    sent.highSetPoint = 99;
    sent.highReleasePoint = 90;
    sent.lowSetPoint = 3;
    sent.lowReleasePoint = 7.5;
    sent.highAlarmMode = 2;
    sent.lowAlarmMode = 0;
    sent.highSetDelay = 7;
    sent.highReleaseDelay = 12;
    sent.lowSetDelay = 3;
    sent.lowReleaseDelay = 20;
    ASSERT_EQ(dev.SendConfig(sent), kLinkOk);
    ModuleData640 got;
    ASSERT_EQ(dev.ReadAll(got), kLinkOk);
    ModuleData640 want = sent;
    want.variantChar = '4';  // the module's own
    want.offset = Single(-0.059);
    want.word10 = 0x00030002;  // three "s=" commands, the last "s=0002"
    EXPECT_EQ(got, want);
}

TEST_F(SimOverPty, FaultsGiveTheirResults) {
    struct Case {
        std::vector<std::string> args;
        bool is612;
        LinkResult result;
    };
    const std::vector<Case> cases = {
        {{"--silent"}, false, kLinkShortReply},
        {{"--silent"}, true, kLinkShortReply},
        {{"--truncate-dump", "100"}, true, kLinkShortReply},
        {{"--truncate-dump", "170"}, true, kLinkMissingSeparator},
        {{"--drop-separator", "7"}, false, kLinkMissingSeparator},
        {{"--drop-separator", "15"}, true, kLinkMissingSeparator},
        // A pause longer than the read's two empty 100 ms reads ends the reply half way.
        {{"--pause-ms", "400"}, false, kLinkShortReply},
        {{"--pause-ms", "60"}, false, kLinkOk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "") +
                     (c.is612 ? " 612" : " 640"));
        auto args = c.args;
        args.insert(args.end(), {"--model", c.is612 ? "612" : "640"});
        Start(args, c.is612 ? 1200 : 4800);
        ModuleData612 d612;
        ModuleData640 d640;
        EXPECT_EQ(c.is612 ? CDevice612(port_, online_).ReadAll(d612)
                          : CDevice640(port_, online_).ReadAll(d640),
                  c.result);
        if (c.args[0] == "--silent" && !c.is612) {
            double flow = 0;
            EXPECT_EQ(CDevice640(port_, online_).ReadFlow(flow), kLinkShortReply);
        }
        port_.Close();
        sim_.reset();
    }
}

TEST_F(SimOverPty, NoiseBetweenExchangesIsPurged) {
    Start({"--model", "640", "--flow", "42.5", "--noise"}, 4800);
    CDevice640 dev(port_, online_);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        std::this_thread::sleep_for(milliseconds(1100));  // noise comes 0.3 s to 1 s after
        ModuleData640 d;
        EXPECT_EQ(dev.ReadAll(d), kLinkOk);
        EXPECT_EQ(d, Fresh640());
        double flow = 0;
        std::uint32_t status = 1;
        EXPECT_EQ(dev.ReadFlow(flow), kLinkOk);
        EXPECT_EQ(flow, 42.5);
        EXPECT_EQ(dev.ReadHighStatus(status), kLinkOk);
        EXPECT_EQ(status, 0u);
    }
    // The noise was there to be purged.
    std::this_thread::sleep_for(milliseconds(1100));
    char buffer[65];
    int count = 64;
    ASSERT_EQ(port_.Read(buffer, count), 0);
    EXPECT_GT(count, 0);
}

TEST_F(SimOverPty, HangUpEndsTheReadAndTheSimulator) {
    Start({"--model", "640", "--hangup-after", "1"}, 4800);
    CDevice640 dev(port_, online_);
    ModuleData640 d;
    ASSERT_EQ(dev.ReadAll(d), kLinkOk);
    const auto before = Clock::now();
    EXPECT_EQ(dev.ReadAll(d), kLinkShortReply);
    double flow = 0;
    EXPECT_EQ(dev.ReadFlow(flow), kLinkShortReply);
    EXPECT_LT(Clock::now() - before, milliseconds(1500));
    EXPECT_EQ(sim_->WaitExit(3000), std::optional<int>(0));
    EXPECT_FALSE(std::filesystem::is_symlink(sim_->LinkPath()));
}

// The simulator reads the program's line settings from its side of the pseudo-terminal: a
// 612 poll of a 640 (1200 baud), or the right rate with two stop bits, meets a silent module.
// (A Linux pseudo-terminal keeps 8 bits and no parity whatever is asked; stop bits it keeps.)
TEST_F(SimOverPty, SilentOnAnotherModelsLineSettings) {
    struct Row {
        int baud;
        int stopBits;
    } rows[] = {{1200, 1}, {4800, 2}, {4800, 1}};
    Start({"--model", "640"}, 4800);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.baud) + " 8N" + std::to_string(row.stopBits));
        port_.Close();
        ASSERT_EQ(port_.Open(kPort, row.baud, 'N', 8, row.stopBits), 0);
        CDevice640 dev(port_, online_);
        ModuleData640 d;
        EXPECT_EQ(dev.ReadAll(d),
                  row.baud == 4800 && row.stopBits == 1 ? kLinkOk : kLinkShortReply);
    }
}

// One simulator a port: a second one refuses to start and names the first, which goes on
// answering; once the first is killed (leaving its link behind) a new one starts.
TEST_F(SimOverPty, SecondSimulatorOnAPortIsRefused) {
    Start({"--model", "612"}, 1200);
    fwtest::SimProcess second(fwtest::SimProcess::Options{
        .args = {"--model", "612"}, .port = kPort, .portsDir = ports_.PortsDir()});
    EXPECT_FALSE(second.Ok());
    EXPECT_NE(second.Error().find("(exit 2)"), std::string::npos) << second.Error();
    EXPECT_EQ(std::filesystem::read_symlink(sim_->LinkPath()).string(), sim_->DevicePath());
    CDevice612 dev(port_, online_);
    ModuleData612 d;
    EXPECT_EQ(dev.ReadAll(d), kLinkOk);
    port_.Close();
    sim_->Signal(SIGKILL);
    sim_->WaitExit(3000);
    Start({"--model", "612"}, 1200);
    EXPECT_EQ(CDevice612(port_, online_).ReadAll(d), kLinkOk);
}

TEST_F(SimOverPty, LinkLivesAsLongAsTheSimulator) {
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        // A link left by a simulator that was killed is taken over.
        ASSERT_TRUE(ports_.Link(kPort, "/dev/pts/does-not-exist"));
        Start({}, 4800);
        EXPECT_EQ(std::filesystem::read_symlink(sim_->LinkPath()).string(), sim_->DevicePath());
        port_.Close();
        sim_->Signal(sig);
        EXPECT_EQ(sim_->WaitExit(3000), std::optional<int>(0));
        EXPECT_FALSE(std::filesystem::is_symlink(sim_->LinkPath()));
        sim_.reset();
    }
}

// The program closes and reopens the port (a change of model does). On a pseudo-terminal the
// exclusive-use flag the port sets outlives its close; the simulator clears it, or any
// unprivileged reopen would fail with EBUSY.
TEST_F(SimOverPty, PortReopensAfterExclusiveUse) {
    Start({"--flow", "42.5"}, 1200);
    ModuleData612 d612;
    ModuleData640 d640;
    EXPECT_EQ(CDevice612(port_, online_).ReadAll(d612), kLinkOk);
    port_.Close();
    ASSERT_EQ(port_.Open(kPort, 4800, 'N', 8, 1), 0) << port_.LastErrorText();
    EXPECT_EQ(CDevice640(port_, online_).ReadAll(d640), kLinkOk);
    EXPECT_EQ(d640, Fresh640());
    port_.Close();

    // Privileged users pass the flag; check the way an unprivileged one meets the line.
    const std::string device = sim_->DevicePath();
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(device.c_str(), 0666), 0);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(100);
        }
        for (int round = 0; round < 3; ++round) {
            int fd = -1;
            for (int tries = 0; tries < 100 && fd < 0; ++tries) {  // up to 1 s
                fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                if (fd < 0) {
                    usleep(10000);
                }
            }
            if (fd < 0) {
                _exit(errno == EBUSY ? 101 : 102);
            }
            ioctl(fd, TIOCEXCL);
            close(fd);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "101: EBUSY, the flag stayed; 102: other open error";
}

}  // namespace
