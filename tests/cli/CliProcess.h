#pragma once
// Runs the built fernwell-cli as a child process with the test's environment, collecting its
// standard output, standard error and exit status. Never leaves the child behind: a run that
// outlasts its time-out is killed and reported with exit code -1.

#include <sys/types.h>

#include <string>
#include <vector>

namespace clitest {

struct CliOutcome {
    int exitCode = -1;  // -signal when a signal ended it
    std::string out;
    std::string err;
};

class CliProcess {
public:
    // `closed`: descriptors the child starts without (1: standard output closed, `>&-`).
    explicit CliProcess(const std::vector<std::string>& args, const std::vector<int>& closed = {});
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // Standard output collected so far, waiting up to `ms` for more.
    const std::string& ReadOut(int ms);
    // Reads both streams to their end and reaps the child.
    CliOutcome Finish(int timeoutMs = 20000);

private:
    void Pump(int ms);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    CliOutcome outcome_;
};

inline CliOutcome RunCli(const std::vector<std::string>& args, int timeoutMs = 20000) {
    return CliProcess(args).Finish(timeoutMs);
}

}  // namespace clitest
