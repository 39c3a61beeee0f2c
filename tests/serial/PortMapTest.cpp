// COM numbers to devices: links, fixed driver ranges (on fake /dev and /sys trees), and the
// existence rules of the port probe.

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/PortMap.h"
#include "serial/SerialPort.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ScopedWaits.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Sets or unsets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

TEST(PortMap, PortsDirectoryFollowsXdgConfigHome) {
    struct Case {
        const char* name;
        const char* xdg;  // nullptr: unset
        std::string expected;
    };
    const Case cases[] = {
        {"absolute XDG_CONFIG_HOME", "/cfg", "/cfg/fernwell/ports"},
        {"unset", nullptr, "/home/tech/.config/fernwell/ports"},
        {"empty counts as unset", "", "/home/tech/.config/fernwell/ports"},
        {"relative is ignored", "cfg", "/home/tech/.config/fernwell/ports"},
    };
    ScopedEnv home("HOME", "/home/tech");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(portmap::PortsDirectory(), c.expected);
    }
}

TEST(PortMap, DevicePathFromLinksThenFixedRanges) {
    fwtest::ScopedPortsDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string dev = dir.DevRoot() + "/";
    const std::string usb = dir.MakeFakeDevice("ttyUSB7");
    ASSERT_TRUE(dir.Link(2, usb));
    ASSERT_TRUE(dir.Link(120, usb));
    ASSERT_TRUE(dir.Link(255, usb));
    ASSERT_TRUE(dir.Link(256, usb));  // no port number: never followed
    ASSERT_TRUE(dir.Link(4, dir.Root() + "/unplugged"));
    struct Case {
        int port;
        std::string expected;
    };
    const Case cases[] = {
        {1, dev + "ttyS0"},
        {2, usb},                       // the link wins over ttyS1
        {4, dir.PortsDir() + "/com4"},  // dangling: still the link, never ttyS3
        {32, dev + "ttyS31"},
        {33, dev + "ttyUSB0"},
        {64, dev + "ttyUSB31"},
        {65, dev + "ttyACM0"},
        {96, dev + "ttyACM31"},
        {97, ""},
        {120, usb},  // links reach beyond the fixed ranges
        {255, usb},  // the last port
        {0, ""},
        {256, ""},
        {-1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        EXPECT_EQ(portmap::DevicePath(c.port), c.expected);
    }
}

TEST(PortMap, EnumerateAppliesExistenceRules) {
    fwtest::ScopedPortsDir dir;
    ASSERT_TRUE(dir.Ok());
    fwtest::PtyPair pty;
    ASSERT_TRUE(pty.Ok()) << pty.Error();

    dir.MakeFakeDevice("ttyS0");
    ASSERT_TRUE(dir.SetUartType("ttyS0", "4"));  // a 16550A
    const std::string empty = dir.MakeFakeDevice("ttyS1");
    ASSERT_TRUE(dir.SetUartType("ttyS1", "0"));  // slot without a UART
    dir.MakeFakeDevice("ttyS2");                 // no sysfs entry: the open decides
    dir.MakeFakeDevice("ttyUSB0");
    dir.MakeFakeDevice("ttyACM31");
    ASSERT_EQ(mkdir((dir.DevRoot() + "/ttyUSB1").c_str(), 0755), 0);  // opens for nobody
    ASSERT_TRUE(dir.Link(100, pty.SlavePath()));
    ASSERT_TRUE(dir.Link(255, pty.SlavePath()));
    ASSERT_TRUE(dir.Link(256, pty.SlavePath()));
    ASSERT_TRUE(dir.Link(150, empty));  // no UART behind it through a link either
    ASSERT_TRUE(dir.Link(90, dir.Root() + "/gone"));
    ASSERT_TRUE(dir.Link(4, dir.DevRoot() + "/gone"));
    dir.MakeFakeDevice("ttyS3");  // a dangling com4 does not fall back to it

    std::vector<unsigned> ports{7};
    EXPECT_EQ(EnumerateComPorts(ports), 1);
    EXPECT_EQ(ports, (std::vector<unsigned>{1, 3, 33, 96, 100, 255}));
}

TEST(PortMap, DescriptionSaysWhatTheDeviceIs) {
    fwtest::ScopedPortsDir dir;
    ASSERT_TRUE(dir.Ok());
    fwtest::PtyPair pty;
    ASSERT_TRUE(pty.Ok()) << pty.Error();
    for (const char* name : {"ttyS0", "ttyS1", "ttyUSB0", "ttyUSB1", "ttyACM0"}) {
        dir.MakeFakeDevice(name);
    }
    dir.AddSysfsTty("ttyS0", "serial8250", {});
    ASSERT_TRUE(dir.SetUartType("ttyS0", "4"));
    ASSERT_TRUE(dir.SetUartType("ttyS1", "0"));
    dir.AddSysfsTty("ttyUSB0", "ftdi_sio",
                    {{"idVendor", "0403"},
                     {"idProduct", "6001"},
                     {"manufacturer", "FTDI"},
                     {"product", "FT232R USB UART"},
                     {"serial", "A12345"}});
    dir.AddSysfsTty("ttyACM0", "cdc_acm", {{"idVendor", "2341"}, {"idProduct", "0043"}});
    ASSERT_TRUE(dir.Link(100, pty.SlavePath()));
    ASSERT_TRUE(dir.Link(101, dir.MakeFakeDevice("plain")));
    ASSERT_TRUE(dir.Link(102, dir.DevRoot() + "/ttyUSB0"));  // as /dev/serial/by-id does

    struct Case {
        int port;
        std::string expected;
    };
    const Case cases[] = {
        {1, "built-in serial port"},
        {2, ""},  // ttyS1 without a UART
        {33, "FT232R USB UART (FTDI, A12345)"},
        {34, ""},                                        // ttyUSB1 has no sysfs entry
        {35, ""},                                        // no device at all
        {65, "USB serial adapter 2341:0043 (cdc_acm)"},  // reports no names
        {100, "pseudo-terminal"},
        {101, ""},
        {102, "FT232R USB UART (FTDI, A12345)"},
        {200, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        EXPECT_EQ(portmap::PortDescription(c.port), c.expected);
    }
}

// Against the machine's own records through udev: devices without hardware behind them say
// nothing, a pty is named as such, and a fitted UART at ttyS0 is a built-in serial port.
TEST(PortMap, DescriptionFromUdev) {
    fwtest::ScopedPortsDir dir(/*isolateFixedDevices=*/false);
    ASSERT_TRUE(dir.Ok());
    fwtest::PtyPair pty;
    ASSERT_TRUE(pty.Ok()) << pty.Error();
    ASSERT_TRUE(dir.Link(100, pty.SlavePath()));
    ASSERT_TRUE(dir.Link(101, "/dev/tty"));
    ASSERT_TRUE(dir.Link(102, "/dev/null"));
    EXPECT_EQ(portmap::PortDescription(100), "pseudo-terminal");
    EXPECT_EQ(portmap::PortDescription(101), "");
    EXPECT_EQ(portmap::PortDescription(102), "");
    std::ifstream type("/sys/class/tty/ttyS0/type");
    int uart = 0;
    if ((type >> uart) && uart != 0 && access("/dev/ttyS0", F_OK) == 0) {
        EXPECT_EQ(portmap::PortDescription(1), "built-in serial port");
    }
}

TEST(PortMap, OpenErrorTextGivesTheReason) {
    fwtest::ScopedPortsDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string device = dir.MakeFakeDevice("ttyUSB0");
    // Give the device a group other than ours where we may, so the name must come from it;
    // where we may not, it keeps our group, which is read back the same way.
    if (const group* gr = getgrnam("dialout")) {
        [[maybe_unused]] const int given =
            chown(device.c_str(), static_cast<uid_t>(-1), gr->gr_gid);
    }
    ASSERT_EQ(chmod(device.c_str(), 0660), 0);
    const std::string rootOnly = dir.MakeFakeDevice("ttyUSB1");
    ASSERT_EQ(chmod(rootOnly.c_str(), 0600), 0);
    const std::string file = dir.MakeFakeDevice("notatty");
    struct stat st;
    ASSERT_EQ(stat(device.c_str(), &st), 0);
    const group* owner = getgrgid(st.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string groupName = owner->gr_name;

    struct Case {
        int error;
        std::string device;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {EACCES,
         device,
         {"Permission denied", "\"" + groupName + "\"", "log in again"},
         {"Another", "Only root"}},
        {EPERM, device, {"not permitted", "\"" + groupName + "\"", "log in again"}, {"Another"}},
        // A group that may not read and write is no help: say who may, and how to change it.
        {EACCES,
         rootOnly,
         {"Only root may open", "udev rule", "MODE=\"0660\"", "dialout"},
         {"\"" + groupName + "\":"}},
        {EBUSY, device, {"The port is in use by another program."}, {"group"}},
        {ENOENT, device, {"No such file or directory"}, {"group", "Another"}},
        {ENOTTY, file, {"Inappropriate ioctl", file + " is not a serial port."}, {"group"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device + " " + std::to_string(c.error));
        const std::string text = portmap::OpenErrorText(c.error, c.device);
        for (const std::string& part : c.present) {
            EXPECT_TRUE(Contains(text, part)) << text << " lacks " << part;
        }
        for (const std::string& part : c.absent) {
            EXPECT_FALSE(Contains(text, part)) << text << " has " << part;
        }
    }
}

TEST(PortMap, DeviceWithoutRightsIsListedButDoesNotOpen) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root opens any device; run the suite as an ordinary user for this case";
    }
    fwtest::ScopedPortsDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string device = dir.MakeFakeDevice("ttyUSB4");
    ASSERT_EQ(chmod(device.c_str(), 0), 0);

    EXPECT_TRUE(portmap::PortExists(37));
    CSerialPort port;
    {
        const fwtest::ScopedOpenDelay noDelay(0);
        EXPECT_EQ(port.Open(37, 1200, 'N', 8, 1), CSerialPort::kOpenDeviceFailed);
    }
    EXPECT_EQ(port.LastError(), EACCES);
    EXPECT_TRUE(Contains(port.LastErrorText(), "log in again")) << port.LastErrorText();
}

}  // namespace
