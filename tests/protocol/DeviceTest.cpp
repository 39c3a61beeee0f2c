// The protocol objects on a real serial line: a pseudo-terminal whose master plays the module.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/Device.h"
#include "serial/SerialPort.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ScopedBytePause.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCom = 17;

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ok()) << pty_.Error();
        ASSERT_TRUE(ports_.Ok());
        ASSERT_TRUE(ports_.Link(kCom, pty_.SlavePath()));
        ASSERT_EQ(port_.Open(kCom, 4800, 'N', 8, 1), 0) << port_.LastErrorText();
    }
    void TearDown() override { port_.Close(); }

    // Plays the module: waits for the query, then sends `reply`.
    std::future<std::string> Answer(std::string reply) {
        return std::async(std::launch::async, [this, reply] {
            std::string query = pty_.ReadMaster(2, 2000);
            pty_.WriteMaster(reply);
            return query;
        });
    }

    fwtest::PtyPair pty_;
    fwtest::ScopedPortsDir ports_;
    CSerialPort port_;
    int online_ = 1;
    // Put back after each test; the tests set the byte pause they need.
    fwtest::ScopedOpenDelay openDelay_{0};
    fwtest::ScopedBytePause bytePause_{DeviceBase::BytePauseMs()};
};

TEST_F(DeviceTest, OfflineSendsNothing) {
    online_ = 0;
    CDevice612 d612(port_, online_);
    CDevice640 d640(port_, online_);
    ModuleData612 data612 = Defaults612();
    ModuleData640 data640 = Defaults640();
    double flow = 0;
    std::uint32_t status = 0;
    int observed = 0;
    const auto observer = [&observed](int, int) { ++observed; };
    EXPECT_EQ(d612.SendConfig(data612, observer), kLinkOffline);
    EXPECT_EQ(d640.SendConfig(data640), kLinkOffline);
    EXPECT_EQ(d612.ReadAll(data612), kLinkOffline);
    EXPECT_EQ(d640.ReadAll(data640), kLinkOffline);
    EXPECT_EQ(d640.ReadFlow(flow), kLinkOffline);
    EXPECT_EQ(d640.ReadHighStatus(status), kLinkOffline);
    EXPECT_EQ(d640.ReadLowStatus(status), kLinkOffline);
    EXPECT_EQ(observed, 0);
    EXPECT_EQ(data612, Defaults612());
    EXPECT_EQ(pty_.ReadMasterUntilQuiet(150), "");
}

// "k=1.696500\r": 11 port writes of one byte, each followed by the pause.
TEST_F(DeviceTest, SendCommandWritesOneBytePerWrite) {
    // As shipped, until a test sets its own: a real module drops bytes that come faster.
    EXPECT_EQ(DeviceBase::BytePauseMs(), 50);
    constexpr int kPauseMs = 60;  // wide enough that the reader never sees two bytes at once
    DeviceBase::SetBytePauseMs(kPauseMs);
    auto reader = std::async(std::launch::async, [this] {
        std::vector<std::string> chunks;  // what each read() of the master returned
        for (std::string chunk; !(chunk = pty_.ReadMaster(1, 400)).empty();) {
            chunks.push_back(chunk);
        }
        return chunks;
    });
    CDevice612 device(port_, online_);
    const auto start = Clock::now();
    EXPECT_EQ(device.SendCommand("k=1.696500\r"), 0);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(11 * kPauseMs));

    const std::vector<std::string> chunks = reader.get();
    std::string joined;
    for (const std::string& chunk : chunks) {
        EXPECT_EQ(chunk.size(), 1u);
        joined += chunk;
    }
    EXPECT_EQ(joined, "k=1.696500\r");
    EXPECT_EQ(chunks.size(), 11u);
}

// The observer runs after each byte has gone out, with (bytes sent, bytes in all), and the
// line carries exactly the model's command table.
TEST_F(DeviceTest, SendConfigReportsEveryByte) {
    DeviceBase::SetBytePauseMs(0);
    ModuleData640 data = Defaults640();
    data.variantChar = 's';
    const std::vector<std::string> commands = ConfigCommands640(data);
    std::string expected;
    for (const std::string& command : commands) {
        expected += command;
    }
    const int total = static_cast<int>(expected.size());
    ASSERT_EQ(total, 137 + 14);

    std::string received;
    bool lagging = false;  // after the first miss, stop waiting for every byte
    std::vector<std::pair<int, int>> calls;
    const auto observer = [&](int sent, int all) {
        calls.emplace_back(sent, all);
        if (!lagging) {
            received += pty_.ReadMaster(sent - received.size(), 1000);
            lagging = received.size() != static_cast<std::size_t>(sent);
            EXPECT_FALSE(lagging) << "byte " << sent << " not on the line when reported";
        }
    };
    CDevice640 device(port_, online_);
    EXPECT_EQ(device.SendConfig(data, observer), kLinkOk);
    received += pty_.ReadMasterUntilQuiet(100);
    EXPECT_EQ(received, expected);
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i) {
        EXPECT_EQ(calls[i], std::make_pair(i + 1, total));
    }

    // Without an observer the same bytes go out.
    CDevice612 device612(port_, online_);
    EXPECT_EQ(device612.SendConfig(Defaults612()), kLinkOk);
    std::string expected612;
    for (const std::string& command : ConfigCommands612(Defaults612())) {
        expected612 += command;
    }
    EXPECT_EQ(pty_.ReadMasterUntilQuiet(300), expected612);
}

// Query framing: the two bytes of the command, and a read of exactly 16 characters for a
// single value (1024 for the dump), so a marker after them is not seen and the rest of the
// reply stays on the line. One character more would overrun the reply buffer.
TEST_F(DeviceTest, QueryAsksThePortForSixteenOr1024Characters) {
    const auto expectLeftOnLine = [this](std::size_t count) {
        EXPECT_TRUE(pty_.WaitSlaveInput(count, 1000));
        EXPECT_EQ(pty_.SlaveInputPending(), count);
    };
    CDevice640 device(port_, online_);
    double flow = -7;
    auto peer = Answer(std::string(15, 'x') + "f=7F000000");
    EXPECT_EQ(device.ReadFlow(flow), kLinkShortReply);
    EXPECT_EQ(peer.get(), "f\r");
    EXPECT_EQ(flow, -7);
    expectLeftOnLine(25 - 16);

    std::uint32_t status = 0;
    peer = Answer(std::string(12, 'x') + "l=05000101");
    EXPECT_EQ(device.ReadLowStatus(status), kLinkShortReply);  // "05": the rest was not read
    EXPECT_EQ(peer.get(), "l\r");
    EXPECT_EQ(status, 0u);
    expectLeftOnLine(22 - 16);

    ModuleData640 data;
    peer = Answer(std::string(1024, 'x') + "beyond");
    (void)device.ReadAll(data);
    EXPECT_EQ(peer.get(), "v\r");
    expectLeftOnLine(6);
}

// The read-back judges only a dump of the right shape: one stray line before it would shift
// every field and blame the module for values it holds. That is a garbled reply, not a list of
// differences.
TEST_F(DeviceTest, ReadBackJudgesOnlyAWholeDump) {
    std::string dump = "v\r\n";
    for (const char* line :
         {"> TEST 612", "REV 3.10", "> 00000612", "p", "> 7F5926E9", "> 7A71A9FC", "> 80000000",
          "> 85480000", "> 82480000", "> 84480000", "> 7FC00000", "> 0000ABCD", "> 80500000",
          "> 20010000", "> 15000000"}) {
        dump += std::string(line) + "\r\n";
    }
    struct Row {
        std::string reply;
        LinkResult result;
        bool listsFields;
    } rows[] = {{dump, kLinkOk, true}, {"\r\n" + dump, kLinkMissingSeparator, false}};
    CDevice612 device(port_, online_);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply.substr(0, 8));
        std::vector<ReadBackMismatch> mismatches;
        auto peer = Answer(row.reply);
        EXPECT_EQ(device.VerifyConfig(Defaults612(), mismatches), row.result);
        EXPECT_EQ(peer.get(), "v\r");
        EXPECT_EQ(!mismatches.empty(), row.listsFields);
    }
}

}  // namespace
