#include "tests/common/SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace fwtest {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

SimProcess::~SimProcess() {
    Stop();
    if (stdoutFd_ >= 0) {
        close(stdoutFd_);
    }
    if (!configHome_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(configHome_, ec);
    }
}

bool SimProcess::Start(const Options& options) {
    if (options.portsDir.empty()) {
        char pattern[] = "/tmp/fernwell-sim-test-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            error_ = std::string("mkdtemp: ") + std::strerror(errno);
            return false;
        }
        configHome_ = pattern;
        portsDir_ = configHome_ + "/fernwell/ports";
    } else {
        portsDir_ = options.portsDir;
    }

    std::vector<std::string> args = {FERNWELL_BIN_DIR "/fernwell-sim", "--port",
                                     std::to_string(options.port), "--ports-dir", portsDir_};
    if (options.fast) {
        args.push_back("--fast");
    }
    args.insert(args.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    if (!options.stderrFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, options.stderrFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
    }
    // A test process may block or ignore signals; the simulator starts with a clean slate.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawn(&pid_, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(pipeFds[1]);
    stdoutFd_ = pipeFds[0];
    if (rc != 0) {
        pid_ = -1;
        error_ = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
        return false;
    }

    // The first line on its standard output is the device path; the link exists by then.
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.startTimeoutMs);
    std::string line;
    for (;;) {
        const std::size_t nl = line.find('\n');
        if (nl != std::string::npos) {
            device_ = line.substr(0, nl);
            if (device_.empty()) {
                error_ = "fernwell-sim printed an empty line";
                return false;
            }
            return true;
        }
        pollfd p{stdoutFd_, POLLIN, 0};
        const int ready = poll(&p, 1, MsLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            error_ = "fernwell-sim printed no device path in time";
            return false;
        }
        char buf[256];
        const ssize_t n = read(stdoutFd_, buf, sizeof buf);
        if (n <= 0) {
            Reap(true);
            error_ = "fernwell-sim ended before printing its device path (exit " +
                     std::to_string(exitCode_.value_or(-999)) + ")";
            return false;
        }
        line.append(buf, static_cast<std::size_t>(n));
    }
}

bool SimProcess::Reap(bool block) {
    if (pid_ <= 0) {
        return true;
    }
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) {
        return false;
    }
    if (r == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    pid_ = -1;
    return true;
}

void SimProcess::Signal(int signal) {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

}  // namespace fwtest
