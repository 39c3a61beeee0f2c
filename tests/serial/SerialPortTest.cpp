// CSerialPort against a real pseudo-terminal: the port opens the slave through a link in a
// scratch ports directory, the test plays the module on the master.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "serial/PortHolder.h"
#include "serial/SerialPort.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ScopedWaits.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    return bytes;
}

// The peer's part of an exchange: after each delay, send the bytes.
struct PeerStep {
    int delayMs;
    std::string bytes;
};

class SerialPortOnPty : public ::testing::Test {
protected:
    static constexpr int kPort = 5;

    void SetUp() override {
        ASSERT_TRUE(ports_.Ok());
        ASSERT_TRUE(pty_.Ok()) << pty_.Error();
        ASSERT_TRUE(ports_.Link(kPort, pty_.SlavePath()));
    }
    void TearDown() override {
        if (peer_.joinable()) {
            peer_.join();
        }
    }

    int Open(CSerialPort& port, int baud = 1200) { return port.Open(kPort, baud, 'N', 8, 1); }

    void StartPeer(std::vector<PeerStep> steps) {
        peer_ = std::thread([this, steps = std::move(steps)] {
            for (const PeerStep& step : steps) {
                std::this_thread::sleep_for(milliseconds(step.delayMs));
                pty_.WriteMaster(step.bytes);
            }
        });
    }

    // Reads a reply of at most `want` bytes and checks the NUL behind it.
    static std::string ReadReply(CSerialPort& port, int want = 1024) {
        std::vector<char> buffer(static_cast<size_t>(want) + 1, 'x');
        int count = want;
        EXPECT_EQ(port.Read(buffer.data(), count), 0);
        EXPECT_GE(count, 0);
        EXPECT_LE(count, want);
        count = std::clamp(count, 0, want);
        EXPECT_EQ(buffer[static_cast<size_t>(count)], '\0');
        return std::string(buffer.data(), static_cast<size_t>(count));
    }

    static int WriteText(CSerialPort& port, const std::string& text) {
        int count = static_cast<int>(text.size());
        EXPECT_EQ(port.Write(text.data(), count), 0);
        return count;
    }

    int ExclusiveFlag() const {
        int flag = -1;
        ioctl(pty_.SlaveFd(), TIOCGEXCL, &flag);
        return flag;
    }

    fwtest::ScopedPortsDir ports_;
    fwtest::PtyPair pty_;
    std::thread peer_;
    fwtest::ScopedOpenDelay openDelay_{0};
};

TEST_F(SerialPortOnPty, WriteAndReadWithoutUsablePort) {
    struct Case {
        const char* name;
        std::function<void(CSerialPort&)> prepare;
        int expected;  // -1: no handle at all; 0: a failed open left a dead one
    };
    const Case cases[] = {
        {"never opened", [](CSerialPort&) {}, -1},
        {"closed after use",
         [this](CSerialPort& p) {
             ASSERT_EQ(Open(p), 0);
             p.Close();
         },
         -1},
        {"after a failed open", [](CSerialPort& p) { ASSERT_NE(p.Open(100, 1200, 'N', 8, 1), 0); },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSerialPort port;
        c.prepare(port);
        EXPECT_FALSE(port.IsOpen());

        int count = 2;
        EXPECT_EQ(port.Write("v\r", count), c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(count, 0);
        }
        char buffer[17] = "xxxxxxxxxxxxxxxx";
        count = 16;
        EXPECT_EQ(port.Read(buffer, count), c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(count, 0);
            EXPECT_EQ(buffer[0], '\0');
        }
        EXPECT_EQ(pty_.ReadMaster(1, 20), "");
    }
}

TEST_F(SerialPortOnPty, OpenFailsClearlyForPortsWithoutDevice) {
    // Links that must not be followed: 0 and 256 are no port numbers at all.
    ASSERT_TRUE(ports_.Link(0, pty_.SlavePath()));
    ASSERT_TRUE(ports_.Link(256, pty_.SlavePath()));
    ASSERT_TRUE(ports_.Link(6, ports_.Root() + "/unplugged"));
    struct Case {
        int number;
        int error;
        std::string reason;
    };
    const Case cases[] = {
        {0, EINVAL, "COM0 is not a valid port number: ports are numbered 1 to 255"},
        {256, EINVAL, "COM256 is not a valid port number"},
        {-3, EINVAL, "COM-3 is not a valid port number"},
        {100, ENOENT, "no link com100 in " + ports_.PortsDir()},
        {6, ENOENT, "No such file or directory"},  // the link dangles
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        CSerialPort port;
        EXPECT_EQ(port.Open(c.number, 1200, 'N', 8, 1), CSerialPort::kOpenDeviceFailed);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.LastError(), c.error);
        EXPECT_NE(port.LastErrorText().find(c.reason), std::string::npos) << port.LastErrorText();
        // The slave kept the kernel's cooked defaults: nobody configured it.
        EXPECT_TRUE(pty_.SlaveTermios()->c_lflag & ICANON);
    }
}

TEST_F(SerialPortOnPty, OpenSetsRawEightNoneOneWithoutFlowControl) {
    // A pseudo-terminal has no modem lines: raising RTS fails, and Open must shrug that off.
    int rts = TIOCM_RTS;
    ASSERT_NE(ioctl(pty_.SlaveFd(), TIOCMBIS, &rts), 0);
    ASSERT_TRUE(errno == ENOTTY || errno == EINVAL) << errno;

    struct Case {
        int baud;
        speed_t speed;
    };
    for (const Case& c : {Case{1200, B1200}, Case{4800, B4800}}) {
        SCOPED_TRACE(c.baud);
        // Start from a line set every wrong way, so each setting has to be made by Open. (A
        // pseudo-terminal always keeps CS8 without parity, so those two cannot be spoiled.)
        termios dirty = *pty_.SlaveTermios();
        dirty.c_cflag = (dirty.c_cflag & ~CLOCAL) | CSTOPB | CRTSCTS;
        dirty.c_iflag |= IXON | IXOFF | IXANY | ICRNL | ISTRIP;
        dirty.c_lflag |= ICANON | ECHO | ISIG;
        dirty.c_oflag |= OPOST | ONLCR;
        dirty.c_cc[VMIN] = 0;
        dirty.c_cc[VTIME] = 5;
        cfsetispeed(&dirty, B9600);
        cfsetospeed(&dirty, B9600);
        ASSERT_TRUE(pty_.SetSlaveTermios(dirty));
        ASSERT_EQ(pty_.SlaveTermios()->c_cflag & (CRTSCTS | CSTOPB | CLOCAL), CRTSCTS | CSTOPB);

        CSerialPort port;
        ASSERT_EQ(Open(port, c.baud), 0) << port.LastErrorText();
        const termios t = *pty_.SlaveTermios();
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 1);
        EXPECT_EQ(t.c_cc[VTIME], 0);
    }
}

TEST_F(SerialPortOnPty, LineDefinitions) {
    struct Case {
        const char* name;
        int baud;
        char parity;
        int dataBits;
        int stopBits;
        int expected;
        speed_t speed;  // what the master sees after a successful open (a pseudo-terminal
        bool twoStops;  // reports CS8 without parity whatever is asked, so only these show)
    };
    const Case cases[] = {
        {"even parity, 7 data, 2 stop", 9600, 'E', 7, 2, 0, B9600, true},
        {"non-standard baud", 1234, 'N', 8, 1, CSerialPort::kOpenBadDefinition, B0, false},
        {"unknown parity letter", 1200, 'X', 8, 1, CSerialPort::kOpenBadDefinition, B0, false},
        {"nine data bits", 1200, 'N', 9, 1, CSerialPort::kOpenBadDefinition, B0, false},
        {"three stop bits", 1200, 'N', 8, 3, CSerialPort::kOpenBadDefinition, B0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSerialPort port;
        EXPECT_EQ(port.Open(kPort, c.baud, c.parity, c.dataBits, c.stopBits), c.expected);
        if (c.expected == 0) {
            const termios t = *pty_.SlaveTermios();
            EXPECT_EQ(cfgetospeed(&t), c.speed);
            EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStops);
            continue;
        }
        EXPECT_FALSE(port.IsOpen());
        EXPECT_FALSE(port.LastErrorText().empty());
        // Nothing stays held: another object gets the port straight away.
        CSerialPort other;
        EXPECT_EQ(Open(other), 0) << other.LastErrorText();
    }
}

TEST_F(SerialPortOnPty, BytesPassUnchangedBothWays) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"query", "v\r"},
        {"line ends stay as they are", "a\nb\r\n"},
        {"every byte value, XON/XOFF and NUL included", AllByteValues()},
    };
    CSerialPort port;
    ASSERT_EQ(Open(port), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WriteText(port, c.bytes), static_cast<int>(c.bytes.size()));
        EXPECT_EQ(pty_.ReadMaster(c.bytes.size() + 1, 100), c.bytes);
        ASSERT_TRUE(pty_.WriteMaster(c.bytes));
        EXPECT_EQ(ReadReply(port, static_cast<int>(c.bytes.size())), c.bytes);
    }
}

TEST_F(SerialPortOnPty, ByteAtATimeWritesAllArrive) {
    // An upload is one Write per byte, each purging first; no purge may eat the byte before.
    CSerialPort port;
    ASSERT_EQ(Open(port), 0);
    std::string sent;
    for (int i = 0; i < 4000; ++i) {
        sent.push_back(static_cast<char>('A' + i % 26));
        ASSERT_EQ(WriteText(port, sent.substr(sent.size() - 1)), 1);
    }
    EXPECT_EQ(pty_.ReadMaster(sent.size(), 1000), sent);
}

TEST_F(SerialPortOnPty, WritePurgesBytesThatArrivedEarlier) {
    CSerialPort port;
    ASSERT_EQ(Open(port), 0);
    ASSERT_TRUE(pty_.WriteMaster("late echo"));
    ASSERT_TRUE(pty_.WaitSlaveInput(9, 1000));

    EXPECT_EQ(WriteText(port, "v\r"), 2);
    EXPECT_EQ(pty_.ReadMaster(2, 500), "v\r");
    ASSERT_TRUE(pty_.WriteMaster("reply\r\n"));
    EXPECT_EQ(ReadReply(port), "reply\r\n");
}

TEST_F(SerialPortOnPty, ReplyOfWantedCountEndsAtOnce) {
    CSerialPort port;
    ASSERT_EQ(Open(port), 0);
    ASSERT_TRUE(pty_.WriteMaster("0123456789ABCDEFtail"));
    ASSERT_TRUE(pty_.WaitSlaveInput(20, 1000));

    const auto start = Clock::now();
    EXPECT_EQ(ReadReply(port, 16), "0123456789ABCDEF");
    // No quiet spell (2 x 100 ms) is waited for once the count is complete.
    EXPECT_LT(Clock::now() - start, milliseconds(100));
    EXPECT_EQ(ReadReply(port, 16), "tail");  // what lay beyond the count is still there
}

TEST_F(SerialPortOnPty, ReplyEndsAfterTwoEmptyReads) {
    struct Case {
        const char* name;
        std::vector<PeerStep> peer;
        std::string expected;
    };
    const Case cases[] = {
        {"a pause of 150 ms inside the reply is bridged", {{20, "AB"}, {150, "CD"}}, "ABCD"},
        {"a pause of 250 ms ends the reply", {{20, "AB"}, {250, "CD"}}, "AB"},
        {"an answer starting after 150 ms is collected", {{150, "AB"}}, "AB"},
        {"an answer starting after 250 ms is too late: empty reply", {{250, "AB"}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSerialPort port;
        ASSERT_EQ(Open(port), 0);
        StartPeer(c.peer);
        EXPECT_EQ(ReadReply(port), c.expected);
        peer_.join();
    }
}

TEST_F(SerialPortOnPty, PeerHangingUpEndsTheReply) {
    CSerialPort port;
    ASSERT_EQ(Open(port), 0);
    peer_ = std::thread([this] {
        pty_.WriteMaster("AB");
        std::this_thread::sleep_for(milliseconds(50));
        pty_.CloseMaster();
    });
    const auto start = Clock::now();
    EXPECT_EQ(ReadReply(port), "AB");
    peer_.join();
    // The line is dead now: further exchanges end at once instead of hanging or failing.
    EXPECT_EQ(ReadReply(port), "");
    int count = 2;
    EXPECT_EQ(port.Write("v\r", count), 0);
    EXPECT_EQ(ReadReply(port), "");
    EXPECT_LT(Clock::now() - start, milliseconds(1500));
}

TEST_F(SerialPortOnPty, SecondOpenOfHeldPortFailsAsInUse) {
    CSerialPort holder;
    ASSERT_EQ(Open(holder), 0);
    EXPECT_EQ(ExclusiveFlag(), 1);

    CSerialPort second;
    EXPECT_EQ(Open(second), CSerialPort::kOpenDeviceFailed);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.LastError(), EBUSY);
    // The holder is this very process, which the search for holders leaves out.
    EXPECT_EQ(second.LastErrorText(), "The port is in use by another program.");

    // The failed attempt left the holder's exclusive open and its line alone.
    EXPECT_EQ(ExclusiveFlag(), 1);
    EXPECT_EQ(WriteText(holder, "v\r"), 2);
    EXPECT_EQ(pty_.ReadMaster(2, 500), "v\r");

    holder.Close();
    EXPECT_EQ(ExclusiveFlag(), 0);
    EXPECT_EQ(Open(second), 0) << second.LastErrorText();
}

// A port that another process has open, locked or not, is refused and the process named; the
// process holding the pty's master side is the line's far end (the simulator) and does not
// count.
TEST_F(SerialPortOnPty, PortHeldByAnotherProcessIsRefusedWithItsName) {
    const std::string slave = pty_.SlavePath();
    struct Row {
        const char* what;
        std::vector<std::string> argv;
        bool withMaster;
        const char* named;  // the process named, nullptr: the open succeeds
    };
    const Row rows[] = {
        {"reading it without a lock", {"sleep", "30"}, false, "sleep"},
        // flock(1) opens and locks the port itself, then (-F) becomes sleep.
        {"holding a lock on it", {"flock", "-F", slave, "sleep", "30"}, false, "sleep"},
        {"holding the master side too", {"sleep", "30"}, true, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const bool onStdin = r.argv[0] != "flock";
        const fwtest::HoldingProcess holder(r.argv, onStdin ? slave : "",
                                            r.withMaster ? pty_.MasterFd() : -1);
        ASSERT_GT(holder.pid(), 0);
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        // The holder opens the port before it becomes `sleep` (a forked copy of this test, or
        // flock before its exec): wait for the name, not only for a holder.
        while (r.named != nullptr && !portmap::OtherHolder(slave).starts_with(r.named) &&
               Clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(10));
        }
        CSerialPort port;
        if (r.named == nullptr) {
            EXPECT_EQ(Open(port), 0) << port.LastErrorText();
            continue;
        }
        EXPECT_EQ(Open(port), CSerialPort::kOpenDeviceFailed);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.LastError(), EBUSY);
        EXPECT_EQ(port.LastErrorText(), std::string("The port is in use by ") + r.named + " (pid " +
                                            std::to_string(holder.pid()) + ").");
        EXPECT_EQ(ExclusiveFlag(), 0);  // the refused open left no exclusive flag behind
    }
}

TEST_F(SerialPortOnPty, OpenClosesHeldPortThenWaitsDefaultDelay) {
    EXPECT_EQ(openDelay_.saved(), 500);  // the value before this fixture shortened it
    fwtest::PtyPair next;
    ASSERT_TRUE(next.Ok()) << next.Error();
    ASSERT_TRUE(ports_.Link(kPort + 1, next.SlavePath()));

    CSerialPort port;
    ASSERT_EQ(Open(port), 0);
    CSerialPort::SetOpenDelayMs(openDelay_.saved());

    // Half-way through the wait, the port held before must already be free.
    bool freeDuringWait = false;
    peer_ = std::thread([&] {
        std::this_thread::sleep_for(milliseconds(250));
        const int fd = open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        freeDuringWait = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0) {
            close(fd);
        }
    });
    const auto start = Clock::now();
    EXPECT_EQ(port.Open(kPort + 1, 1200, 'N', 8, 1), 0) << port.LastErrorText();
    EXPECT_GE(Clock::now() - start, milliseconds(500));
    peer_.join();
    EXPECT_TRUE(freeDuringWait);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortOnPty, EnumerateListsPortsAscendingWithoutDisturbingHeldOne) {
    fwtest::PtyPair other;
    ASSERT_TRUE(other.Ok()) << other.Error();
    ASSERT_TRUE(ports_.Link(200, other.SlavePath()));
    ASSERT_TRUE(ports_.Link(3, other.SlavePath()));
    ASSERT_TRUE(ports_.Link(4, ports_.Root() + "/gone"));

    CSerialPort holder;
    ASSERT_EQ(Open(holder), 0);
    const termios before = *pty_.SlaveTermios();

    std::vector<unsigned> ports{99, 98};
    EXPECT_EQ(EnumerateComPorts(ports), 1);
    EXPECT_EQ(ports, (std::vector<unsigned>{3, kPort, 200}));

    const termios after = *pty_.SlaveTermios();
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(ExclusiveFlag(), 1);
    ASSERT_TRUE(pty_.WriteMaster("still here"));
    EXPECT_EQ(ReadReply(holder), "still here");
}

}  // namespace
