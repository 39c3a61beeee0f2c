#pragma once
// Runs the built fernwell-sim for a test: starts it (in --fast mode unless told otherwise) with
// its comN link in a ports directory, reads the device path it prints, and stops it again on
// destruction (SIGTERM, then SIGKILL if it lingers; always reaped, never left a zombie).
//
//   fwtest::SimProcess sim({.args = {"--model", "640", "--flow", "42.5"}});
//   ASSERT_TRUE(sim.Ok()) << sim.Error();
//   setenv("XDG_CONFIG_HOME", sim.ConfigHome().c_str(), 1);  // or use ScopedPortsDir
//
// Without a ports directory of its own the helper makes a temporary config home holding
// fernwell/ports and removes it afterwards; point XDG_CONFIG_HOME at ConfigHome() and the
// program's COM port `port` is the simulator.
//
// Under Wine (the Windows build's tests) the helper starts the Linux simulator named by
// FERNWELL_TEST_SIM through /bin/sh (Wine runs Unix programs it is asked to start, without a
// process handle), with the prefix's dosdevices folder as its ports directory, so COM `port`
// of the program under test is the simulator there too. Its pid, exit status and output come
// back through files.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace fwtest {

class SimProcess {
public:
    struct Options {
        std::vector<std::string> args;  // more switches, e.g. {"--model", "640", "--silent"}
        int port = 1;                   // --port
        std::string portsDir;           // --ports-dir; empty: a fresh temporary one
        bool fast = true;               // --fast
        int startTimeoutMs = 5000;      // for the device path to appear
        std::string stderrFile = {};    // its standard error into this file; empty: inherited
    };

    SimProcess() : SimProcess(Options{}) {}
    explicit SimProcess(Options options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Started and its device path read. Otherwise Error() says why (the process is gone).
    bool Ok() const { return !device_.empty(); }
    const std::string& Error() const { return error_; }

    const std::string& DevicePath() const { return device_; }  // e.g. /dev/pts/4
    const std::string& PortsDir() const { return portsDir_; }
    // The temporary XDG_CONFIG_HOME whose fernwell/ports is PortsDir(); empty when the caller
    // chose the ports directory.
    const std::string& ConfigHome() const { return configHome_; }
    std::string LinkPath() const;  // <PortsDir>/com<port>
    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }

    // Sends `signal` to the simulator (while it runs).
    void Signal(int signal);
    // Waits up to `timeoutMs` for the simulator to end by itself. Returns its exit code (minus
    // the signal number when a signal ended it), or nullopt when it still runs.
    std::optional<int> WaitExit(int timeoutMs);
    // SIGTERM, wait up to `timeoutMs`, then SIGKILL. Returns what WaitExit returns.
    std::optional<int> Stop(int timeoutMs = 3000);

private:
    bool Start(const Options& options);
    bool Reap(bool block);

    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    int port_ = 1;
    std::string device_;
    std::string portsDir_;
    std::string configHome_;
    std::string error_;
    std::optional<int> exitCode_;
};

}  // namespace fwtest
