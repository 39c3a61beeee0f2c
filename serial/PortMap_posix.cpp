// COM numbers to devices off Windows: links in the ports directory first, then the fixed
// ranges of the usual Linux serial drivers.

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "serial/PortMap.h"

namespace portmap {
namespace {

namespace fs = std::filesystem;

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] != '\0') ? value : fallback;
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

}  // namespace

std::string PortsDirectory() {
    // A relative XDG_CONFIG_HOME is invalid by the XDG rules and ignored like an unset one.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* pw = getpwuid(getuid());
            home = pw != nullptr ? pw->pw_dir : "";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/fernwell/ports";
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

std::string OpenErrorText(int error, const std::string& device) {
    std::string text = std::generic_category().message(error);
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
    } else if (error == EBUSY) {
        text += ". Another program is using the port.";
    } else if (error == ENOTTY || error == EISDIR) {
        // A link to a file, a FIFO or /dev/null opens but has no line settings.
        text += ". " + device + " is not a serial port.";
    }
    return text;
}

}  // namespace portmap
