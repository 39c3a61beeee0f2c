// Other holders of a serial device, found through /proc/<pid>/fd.

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "serial/PortHolder.h"

namespace portmap {
namespace {

// Unix98 pseudo-terminal slaves have majors 136 to 143, 256 ptys to a major; their masters
// are descriptors of /dev/ptmx (5, 2).
constexpr unsigned kPtySlaveFirstMajor = 136;
constexpr unsigned kPtySlaveLastMajor = 143;
const dev_t kPtmx = makedev(5, 2);

std::optional<int> PtyIndex(dev_t device) {
    const unsigned maj = major(device);
    if (maj < kPtySlaveFirstMajor || maj > kPtySlaveLastMajor) {
        return std::nullopt;
    }
    return static_cast<int>((maj - kPtySlaveFirstMajor) * 256 + minor(device));
}

// The pty a master descriptor belongs to, from its "tty-index:" line in fdinfo.
std::optional<int> MasterIndex(const std::string& fdinfo) {
    std::ifstream in(fdinfo);
    std::string key;
    while (in >> key) {
        if (key == "tty-index:") {
            int index = -1;
            if (in >> index) {
                return index;
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool IsNumber(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') {
            return false;
        }
    }
    return true;
}

struct Holding {
    bool device = false;  // some descriptor is the device
    bool farEnd = false;  // some descriptor is the master of the device's pty
};

// What process `pid` holds, looking only at descriptors whose target is a path (sockets,
// pipes and anonymous inodes read "socket:[...]" and the like and are skipped unexamined).
Holding Inspect(const std::string& pid, dev_t device, std::optional<int> ptyIndex) {
    Holding holding;
    const std::string fdDir = "/proc/" + pid + "/fd";
    DIR* dir = opendir(fdDir.c_str());
    if (dir == nullptr) {
        return holding;  // gone meanwhile, or not ours to inspect
    }
    while (const dirent* entry = readdir(dir)) {
        if (!IsNumber(entry->d_name)) {
            continue;
        }
        const std::string fd = fdDir + "/" + entry->d_name;
        char target[16];
        const ssize_t n = readlink(fd.c_str(), target, sizeof target);
        if (n <= 0 || target[0] != '/') {
            continue;
        }
        struct stat st;
        if (stat(fd.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
            continue;
        }
        if (st.st_rdev == device) {
            holding.device = true;
        } else if (ptyIndex && st.st_rdev == kPtmx &&
                   MasterIndex("/proc/" + pid + "/fdinfo/" + entry->d_name) == ptyIndex) {
            holding.farEnd = true;
        }
    }
    closedir(dir);
    return holding;
}

std::string CommandName(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name.empty() ? "process" : name;
}

}  // namespace

std::string OtherHolder(const std::string& device) {
    struct stat st;
    if (stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return {};
    }
    const std::optional<int> ptyIndex = PtyIndex(st.st_rdev);
    const std::string self = std::to_string(getpid());
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return {};
    }
    // /proc lists processes in ascending pid order.
    std::string found;
    while (const dirent* entry = readdir(proc)) {
        if (!IsNumber(entry->d_name) || self == entry->d_name) {
            continue;
        }
        const Holding holding = Inspect(entry->d_name, st.st_rdev, ptyIndex);
        if (holding.device && !holding.farEnd) {
            found = CommandName(entry->d_name) + " (pid " + entry->d_name + ")";
            break;
        }
    }
    closedir(proc);
    return found;
}

std::string InUseText(const std::string& holder) {
    return "The port is in use by " + (holder.empty() ? std::string("another program") : holder) +
           ".";
}

}  // namespace portmap
