#include "tests/cli/CliProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace clitest {

CliProcess::CliProcess(const std::vector<std::string>& args, const std::vector<int>& closed) {
    const std::string program = std::string(FERNWELL_BIN_DIR) + "/fernwell-cli";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        outcome_.err = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        outcome_.err = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    for (const int fd : closed) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    if (rc != 0) {
        pid_ = -1;
        outcome_.err = "posix_spawn " + program + ": " + std::strerror(rc);
    }
}

CliProcess::~CliProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {outFd_, errFd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

// Moves what the pipes hold into the outcome, waiting up to `ms` for the first bytes.
void CliProcess::Pump(int ms) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (poll(fds, 2, ms) <= 0) {
        return;
    }
    std::string* targets[2] = {&outcome_.out, &outcome_.err};
    int* owners[2] = {&outFd_, &errFd_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents == 0 || *owners[i] < 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(*owners[i], buffer, sizeof buffer);
        if (n > 0) {
            targets[i]->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            close(*owners[i]);
            *owners[i] = -1;
        }
    }
}

const std::string& CliProcess::ReadOut(int ms) {
    if (outFd_ >= 0) {
        Pump(ms);
    }
    return outcome_.out;
}

CliOutcome CliProcess::Finish(int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((outFd_ >= 0 || errFd_ >= 0) && Clock::now() < deadline) {
        Pump(50);
    }
    if (pid_ > 0) {
        if (outFd_ >= 0 || errFd_ >= 0) {
            kill(pid_, SIGKILL);  // still talking at the deadline
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        if (outFd_ >= 0 || errFd_ >= 0) {
            outcome_.exitCode = -1;
        } else if (WIFEXITED(status)) {
            outcome_.exitCode = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            outcome_.exitCode = -WTERMSIG(status);
        }
    }
    return outcome_;
}

}  // namespace clitest
