// COM numbers to devices off Windows: links in the ports directory first, then the fixed
// ranges of the usual Linux serial drivers.

#include <fcntl.h>
#include <grp.h>
#include <libudev.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "serial/PortHolder.h"
#include "serial/PortMap.h"
#include "store/ConfigFolder.h"

namespace portmap {
namespace {

namespace fs = std::filesystem;

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] != '\0') ? value : fallback;
}

bool SysfsIsReal() {
    const char* value = std::getenv("FERNWELL_SYSFS_ROOT");
    return value == nullptr || value[0] == '\0';
}

std::string DevRoot() {
    return EnvOr("FERNWELL_DEV_ROOT", "/dev");
}
std::string SysfsRoot() {
    return EnvOr("FERNWELL_SYSFS_ROOT", "/sys");
}

// 32 numbers per driver: ttyS for on-board UARTs, ttyUSB for USB adapters with their own
// chip driver (FTDI, CP210x, PL2303), ttyACM for CDC-ACM adapters.
struct Range {
    int firstPort;
    const char* name;
};
constexpr Range kRanges[] = {{1, "ttyS"}, {33, "ttyUSB"}, {65, "ttyACM"}};
constexpr int kRangeSize = 32;

// Linux creates ttyS0-ttyS31 whether or not a UART is fitted, and such a ttyS opens without
// complaint; only /sys/class/tty/ttySn/type tells, reading 0 (PORT_UNKNOWN) for an empty slot.
bool IsTtySWithoutUart(const std::string& device) {
    const std::string name = fs::path(device).filename().string();
    if (name.size() <= 4 || name.compare(0, 4, "ttyS") != 0 ||
        name.find_first_not_of("0123456789", 4) != std::string::npos) {
        return false;
    }
    std::ifstream type(SysfsRoot() + "/class/tty/" + name + "/type");
    int value = -1;
    return (type >> value) && value == 0;
}

// What the system's records say about the device behind a tty.
struct DeviceFacts {
    bool backed = false;  // a device stands behind the tty (not a console or a virtual tty)
    bool usb = false;     // ... and it sits on USB; the names below are the USB device's
    std::string product;
    std::string manufacturer;
    std::string serial;
    std::string vendorId;
    std::string productId;
    std::string driver;  // of the device behind the tty: ftdi_sio, cp210x, cdc_acm, ...
};

std::string Trimmed(std::string text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// "FT232R USB UART (FTDI, A12345)": the product, then its maker and serial number as far as
// the device reports them. A USB device without a product name shows its ids and driver.
std::string Describe(const DeviceFacts& facts) {
    if (!facts.backed) {
        return {};
    }
    if (!facts.usb) {
        return "built-in serial port";
    }
    std::string title = facts.product;
    std::vector<std::string> details;
    for (const std::string* part : {&facts.manufacturer, &facts.serial}) {
        if (!part->empty()) {
            details.push_back(*part);
        }
    }
    if (title.empty()) {
        title = "USB serial adapter";
        if (!facts.vendorId.empty()) {
            title += " " + facts.vendorId + ":" + facts.productId;
        }
        if (!facts.driver.empty()) {
            details.push_back(facts.driver);
        }
    }
    if (details.empty()) {
        return title;
    }
    std::string text = title + " (";
    for (std::size_t i = 0; i < details.size(); ++i) {
        text += (i > 0 ? ", " : "") + details[i];
    }
    return text + ")";
}

std::string Text(const char* value) {
    return value != nullptr ? Trimmed(value) : std::string();
}

// The facts from udev, for the character device `number`. The sysfs attributes of the USB
// device come first (what the device itself reports); the names udev's hardware database
// gives for its ids are used where the device reports none (only when udevd has run).
DeviceFacts FactsFromUdev(dev_t number) {
    DeviceFacts facts;
    udev* context = udev_new();
    if (context == nullptr) {
        return facts;
    }
    if (udev_device* tty = udev_device_new_from_devnum(context, 'c', number)) {
        if (udev_device* parent = udev_device_get_parent(tty)) {
            facts.backed = true;
            facts.driver = Text(udev_device_get_driver(parent));
        }
        if (udev_device* usb =
                udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device")) {
            facts.usb = true;
            facts.product = Text(udev_device_get_sysattr_value(usb, "product"));
            facts.manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
            facts.serial = Text(udev_device_get_sysattr_value(usb, "serial"));
            facts.vendorId = Text(udev_device_get_sysattr_value(usb, "idVendor"));
            facts.productId = Text(udev_device_get_sysattr_value(usb, "idProduct"));
            if (facts.product.empty()) {
                facts.product = Text(udev_device_get_property_value(tty, "ID_MODEL_FROM_DATABASE"));
            }
            if (facts.manufacturer.empty()) {
                facts.manufacturer =
                    Text(udev_device_get_property_value(tty, "ID_VENDOR_FROM_DATABASE"));
            }
        }
        udev_device_unref(tty);
    }
    udev_unref(context);
    return facts;
}

std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    return Trimmed(value);
}

// The same facts read from a sysfs tree at FERNWELL_SYSFS_ROOT. libudev only accepts device
// paths below the real /sys (it has no way to point it elsewhere), so a fake tree laid out
// by the tests is read here by hand: the tty's `device` link, that device's `driver` link,
// and the attributes of the first ancestor that is a USB device (has idVendor).
DeviceFacts FactsFromSysfsTree(const std::string& ttyName) {
    DeviceFacts facts;
    std::error_code ec;
    const fs::path root = fs::canonical(SysfsRoot(), ec);
    const fs::path device = fs::canonical(root / "class" / "tty" / ttyName / "device", ec);
    if (ec) {
        return facts;
    }
    facts.backed = true;
    facts.driver = fs::read_symlink(device / "driver", ec).filename().string();
    for (fs::path p = device; p != root && p.has_relative_path() && p != p.parent_path();
         p = p.parent_path()) {
        if (fs::exists(p / "idVendor", ec)) {
            facts.usb = true;
            facts.product = ReadAttribute(p / "product");
            facts.manufacturer = ReadAttribute(p / "manufacturer");
            facts.serial = ReadAttribute(p / "serial");
            facts.vendorId = ReadAttribute(p / "idVendor");
            facts.productId = ReadAttribute(p / "idProduct");
            break;
        }
    }
    return facts;
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have majors 136 to 143; sysfs has no entry for
// them, so udev knows nothing about them.
bool IsPseudoTerminal(const struct stat& st) {
    return S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

}  // namespace

std::string PortsDirectory() {
    return ConfigFolder() + "/ports";
}

std::string DevicePath(int portNumber) {
    if (portNumber < kFirstPort || portNumber > kLastPort) {
        return {};
    }
    // A link names the device even when it dangles: the port is then absent rather than
    // falling back to a fixed device the user did not mean.
    const std::string link = PortsDirectory() + "/com" + std::to_string(portNumber);
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) {
        std::error_code ec;
        const fs::path target = fs::canonical(link, ec);
        return ec ? link : target.string();
    }
    for (const Range& r : kRanges) {
        if (portNumber >= r.firstPort && portNumber < r.firstPort + kRangeSize) {
            return DevRoot() + "/" + r.name + std::to_string(portNumber - r.firstPort);
        }
    }
    return {};
}

bool PortExists(int portNumber) {
    const std::string device = DevicePath(portNumber);
    if (device.empty() || IsTtySWithoutUart(device)) {
        return false;
    }
    // The probe takes no flock and sets no TIOCEXCL, and closing a second descriptor of a tty
    // leaves the first one alone, so probing the port the program holds does not disturb it.
    // That port answers EBUSY (TIOCEXCL) or, for root, opens: listed either way.
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return true;
    }
    return errno == EACCES || errno == EPERM || errno == EBUSY;
}

std::string PortDescription(int portNumber) {
    const std::string device = DevicePath(portNumber);
    struct stat st;
    if (device.empty() || stat(device.c_str(), &st) != 0 || IsTtySWithoutUart(device)) {
        return {};
    }
    if (IsPseudoTerminal(st)) {
        return "pseudo-terminal";
    }
    if (SysfsIsReal()) {
        return S_ISCHR(st.st_mode) ? Describe(FactsFromUdev(st.st_rdev)) : std::string();
    }
    return Describe(FactsFromSysfsTree(fs::path(device).filename().string()));
}

std::string OpenErrorText(int error, const std::string& device) {
    if (error == EBUSY) {
        return InUseText(OtherHolder(device));
    }
    std::string text = SystemErrorText(error);
    if (error == EACCES || error == EPERM) {
        struct stat st;
        std::error_code ec;
        const fs::path real = fs::canonical(device, ec);
        const std::string shown = ec ? device : real.string();
        constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
        if (stat(device.c_str(), &st) != 0) {
            text +=
                ". The user must be a member of the group that owns the device (usually "
                "\"dialout\") and log in again.";
        } else if ((st.st_mode & kGroupReadWrite) == kGroupReadWrite) {
            const group* gr = getgrgid(st.st_gid);
            const std::string name = gr != nullptr ? gr->gr_name : std::to_string(st.st_gid);
            text += ". The device " + shown + " belongs to the group \"" + name +
                    "\": the user must be a member of it (sudo usermod -aG " + name +
                    " $USER) and log in again.";
        } else {
            // Joining the owning group would not help: the group may not read and write.
            text += ". Only root may open " + shown +
                    ". To give users access, add a udev rule that sets GROUP=\"dialout\", "
                    "MODE=\"0660\" for the device, make the user a member of dialout (sudo "
                    "usermod -aG dialout $USER) and log in again.";
        }
    } else if (error == ENOTTY || error == EISDIR) {
        // A link to a file, a FIFO or /dev/null opens but has no line settings.
        text += ". " + device + " is not a serial port.";
    } else if (error == ENOENT) {
        // Name the device tried: a COM number's default device is not obvious.
        text += ": " + device;
    }
    return text;
}

std::string SystemErrorText(int error) {
    return std::generic_category().message(error);
}

OpenFailure ClassifyOpenError(int error) {
    switch (error) {
        case EBUSY:
            return OpenFailure::kInUse;
        case EACCES:
        case EPERM:
            return OpenFailure::kNoPermission;
        case ENOTTY:
        case EISDIR:
            return OpenFailure::kNotSerial;
        default:
            return OpenFailure::kOther;
    }
}

namespace {

// Whether the character device `rdev` belongs to a tty driver, by the kernel's list of them
// (/proc/tty/drivers: "serial  /dev/ttyS  4 64-111 serial"). True when the list cannot be read.
bool IsTtyDevice(dev_t rdev) {
    std::ifstream drivers("/proc/tty/drivers");
    if (!drivers) {
        return true;
    }
    const unsigned maj = major(rdev);
    const unsigned min = minor(rdev);
    for (std::string line; std::getline(drivers, line);) {
        std::istringstream fields(line);
        std::string name, path, range;
        unsigned driverMajor = 0;
        if (!(fields >> name >> path >> driverMajor >> range) || driverMajor != maj) {
            continue;
        }
        const std::size_t dash = range.find('-');
        const unsigned long first = std::strtoul(range.c_str(), nullptr, 10);
        const unsigned long last =
            dash == std::string::npos ? first : std::strtoul(range.c_str() + dash + 1, nullptr, 10);
        if (min >= first && min <= last) {
            return true;
        }
    }
    return false;
}

// Whether another process holds a lock on the device node (st_dev, st_ino), by the kernel's
// list of locks ("1: FLOCK  ADVISORY  WRITE 2262 00:05:1234 0 EOF"): a program that locks
// the port, whoever's it is, even where its descriptors cannot be inspected.
bool LockedByAnother(const struct stat& node) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, file;
        long pid = 0;
        if (!(fields >> id >> kind)) {
            continue;
        }
        if (kind == "->") {  // a waiter: "1: -> FLOCK ADVISORY WRITE ..."
            fields >> kind;
        }
        if (!(fields >> mode >> access >> pid >> file) || pid == getpid()) {
            continue;
        }
        unsigned maj = 0;
        unsigned min = 0;
        unsigned long long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &maj, &min, &inode) == 3 &&
            makedev(maj, min) == node.st_dev && inode == node.st_ino) {
            return true;
        }
    }
    return false;
}

}  // namespace

PortState LookAtPort(int portNumber) {
    const std::string device = DevicePath(portNumber);
    struct stat node {};
    if (device.empty() || ::stat(device.c_str(), &node) != 0 || !S_ISCHR(node.st_mode) ||
        !IsTtyDevice(node.st_rdev)) {
        return PortState::kNotSerial;
    }
    if (::access(device.c_str(), R_OK | W_OK) != 0) {
        return errno == EACCES || errno == EPERM ? PortState::kNoPermission : PortState::kNotSerial;
    }
    if (!OtherHolder(device).empty() || LockedByAnother(node)) {
        return PortState::kInUse;
    }
    return PortState::kFree;
}

}  // namespace portmap
