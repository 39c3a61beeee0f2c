#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/common/SimProcess.h"
#include "tests/common/WineUnix_win32.h"

namespace fwtest {

namespace {

using Clock = std::chrono::steady_clock;

int simCount = 0;

// The files through which the shell that runs one simulator reports back.
std::string Base(int pid) {
    return wine::ScratchDir() + "/sim" + std::to_string(pid);
}

}  // namespace

SimProcess::~SimProcess() {
    Stop();
}

bool SimProcess::Start(const Options& options) {
    const char* sim = std::getenv("FERNWELL_TEST_SIM");
    if (sim == nullptr || *sim == '\0') {
        error_ =
            "FERNWELL_TEST_SIM names no simulator: set it to the Linux fernwell-sim "
            "(scripts/check-windows.sh does)";
        return false;
    }
    portsDir_ = options.portsDir.empty() ? wine::DosDevices() : options.portsDir;
    if (portsDir_.empty()) {
        error_ = "not running under Wine: no dosdevices folder for the simulator's link";
        return false;
    }
    // Until the shell has written the simulator's pid, pid_ is the number of its files.
    pid_ = ++simCount;
    const std::string base = Base(pid_);
    std::string command = wine::ShellQuote(sim) + " --port " + std::to_string(options.port) +
                          " --ports-dir " + wine::ShellQuote(portsDir_);
    if (options.fast) {
        command += " --fast";
    }
    for (const std::string& arg : options.args) {
        command += " " + wine::ShellQuote(arg);
    }
    const std::string err =
        options.stderrFile.empty() ? std::string("/dev/null") : wine::UnixPath(options.stderrFile);
    command +=
        " </dev/null >" + wine::ShellQuote(base + ".out") + " 2>>" + wine::ShellQuote(err) + " &\n";
    command += "echo $! >" + wine::ShellQuote(base + ".pid") + "\n";
    command += "wait $!\necho $? >" + wine::ShellQuote(base + ".status.part") + "\n";
    command += "mv " + wine::ShellQuote(base + ".status.part") + " " +
               wine::ShellQuote(base + ".status") + "\n";
    if (!wine::StartScript(command)) {
        error_ = "cannot start /bin/sh for the simulator";
        return false;
    }

    // The first line on its standard output is the device path; the link exists by then.
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.startTimeoutMs);
    while (Clock::now() < deadline) {
        const std::optional<std::string> out = wine::ReadText(base + ".out");
        const std::size_t nl = out ? out->find('\n') : std::string::npos;
        if (nl != std::string::npos) {
            device_ = out->substr(0, nl);
            return !device_.empty();
        }
        if (wine::ReadText(base + ".status")) {
            Reap(false);
            error_ = "fernwell-sim ended before printing its device path (exit " +
                     std::to_string(exitCode_.value_or(-999)) + ")";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    error_ = "fernwell-sim printed no device path in time";
    return false;
}

// Here pid_ numbers the simulator's files; its Linux pid is in <base>.pid.
bool SimProcess::Reap(bool block) {
    if (pid_ <= 0) {
        return true;
    }
    const std::string status = Base(pid_) + ".status";
    std::optional<std::string> text = wine::ReadText(status);
    while (block && !text) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        text = wine::ReadText(status);
    }
    if (!text) {
        return false;
    }
    // The shell's $? of a program a signal ended is 128 + the signal.
    const int code = std::atoi(text->c_str());
    exitCode_ = code > 128 ? -(code - 128) : code;
    pid_ = -1;
    return true;
}

void SimProcess::Signal(int signal) {
    if (pid_ <= 0) {
        return;
    }
    const std::string pidFile = wine::ShellQuote(Base(pid_) + ".pid");
    wine::RunScript("[ -s " + pidFile + " ] && kill -" + std::to_string(signal) + " \"$(cat " +
                    pidFile + ")\"");
}

}  // namespace fwtest
