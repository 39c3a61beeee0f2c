#include "tests/common/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fwtest {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PtyPair::PtyPair() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error_ = std::string("posix_openpt: ") + std::strerror(errno);
        return;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        error_ = std::string("pseudo-terminal set-up: ") + std::strerror(errno);
        close(master);
        return;
    }
    const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error_ = std::string("open ") + name + ": " + std::strerror(errno);
        close(master);
        return;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slave_ = slave;
    slavePath_ = name;
}

PtyPair::~PtyPair() {
    ReleaseSlave();
    CloseMaster();
}

bool PtyPair::WriteMaster(std::string_view bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{master_, POLLOUT, 0};
            if (poll(&p, 1, MsLeft(deadline)) == 0) {
                return false;
            }
        } else {
            return false;
        }
    }
    return done == bytes.size();
}

std::string PtyPair::ReadMaster(std::size_t count, int timeoutMs) {
    std::string out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (master_ >= 0 && out.size() < count) {
        pollfd p{master_, POLLIN, 0};
        const int ready = poll(&p, 1, MsLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        char buffer[4096];
        const std::size_t want = std::min(sizeof buffer, count - out.size());
        const ssize_t n = read(master_, buffer, want);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
        } else if (!(n < 0 && (errno == EAGAIN || errno == EINTR))) {
            break;  // EIO: no slave open any more
        }
    }
    return out;
}

std::string PtyPair::ReadMasterUntilQuiet(int quietMs) {
    std::string out;
    for (;;) {
        std::string more = ReadMaster(4096, quietMs);
        if (more.empty()) {
            return out;
        }
        out += more;
    }
}

std::size_t PtyPair::SlaveInputPending() const {
    int pending = 0;
    if (slave_ < 0 || ioctl(slave_, FIONREAD, &pending) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(pending);
}

bool PtyPair::WaitSlaveInput(std::size_t count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (SlaveInputPending() >= count) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::optional<termios> PtyPair::SlaveTermios() const {
    termios t{};
    if (master_ < 0 || tcgetattr(master_, &t) != 0) {
        return std::nullopt;
    }
    return t;
}

bool PtyPair::SetSlaveTermios(const termios& t) {
    return master_ >= 0 && tcsetattr(master_, TCSANOW, &t) == 0;
}

void PtyPair::CloseMaster() {
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

void PtyPair::ReleaseSlave() {
    if (slave_ >= 0) {
        close(slave_);
        slave_ = -1;
    }
}

HoldingProcess::HoldingProcess(const std::vector<std::string>& argv, const std::string& port,
                               int master) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!port.empty()) {
        posix_spawn_file_actions_addopen(&actions, 0, port.c_str(), O_RDWR | O_NOCTTY, 0);
    }
    if (master >= 0) {
        posix_spawn_file_actions_adddup2(&actions, master, 3);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    if (argv.empty() ||
        posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

HoldingProcess::~HoldingProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

}  // namespace fwtest
