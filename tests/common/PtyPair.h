#pragma once
// Test helpers for the serial line: a pseudo-terminal pair whose slave stands in for a COM
// port (the code under test opens the slave path) while the test plays the peer on the
// master (the scratch ports directory that maps COM numbers to such devices is PortsDir.h).

#include <sys/types.h>
#include <termios.h>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/common/PortsDir.h"

namespace fwtest {

class PtyPair {
public:
    // Opens a master and keeps one descriptor of the slave open for the pair's lifetime, so
    // the master never sees a hang-up while the code under test closes and reopens the slave
    // (a Linux master reads EIO whenever no slave descriptor is open). The slave keeps the
    // kernel's default settings (canonical, echo, 38400 baud) until someone changes them.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // False when the pair could not be made; Error() says why.
    bool Ok() const { return master_ >= 0; }
    const std::string& Error() const { return error_; }

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    // The pair's own slave descriptor (-1 after ReleaseSlave), for ioctls on the slave tty.
    int SlaveFd() const { return slave_; }

    // Writes all of `bytes` to the master, i.e. sends them to whoever holds the slave.
    bool WriteMaster(std::string_view bytes);
    // Reads from the master until `count` bytes have arrived or `timeoutMs` has passed.
    std::string ReadMaster(std::size_t count, int timeoutMs);
    // Reads from the master until it has been silent for `quietMs` (or hung up).
    std::string ReadMasterUntilQuiet(int quietMs);
    // Waits until the slave's input queue holds at least `count` bytes (sent from the master
    // and not yet read by anyone). False after `timeoutMs`.
    bool WaitSlaveInput(std::size_t count, int timeoutMs);
    // Bytes waiting in the slave's input queue.
    std::size_t SlaveInputPending() const;

    // The slave's line settings as the kernel holds them (read and written through the
    // master, which shares them on Linux).
    std::optional<termios> SlaveTermios() const;
    bool SetSlaveTermios(const termios& t);

    // Hangs up the line: every slave descriptor then reads end of file.
    void CloseMaster();
    // Drops the pair's own slave descriptor.
    void ReleaseSlave();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string error_;
};

// Another process holding a port for the object's lifetime: `argv` (looked up in PATH) run with
// `port` (unless empty) open as its standard input and, for `master` >= 0, that descriptor
// (a pty's master side) as its descriptor 3. Killed and reaped on destruction.
class HoldingProcess {
public:
    HoldingProcess(const std::vector<std::string>& argv, const std::string& port, int master = -1);
    ~HoldingProcess();
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    pid_t pid() const { return pid_; }  // -1 when it could not be started

private:
    pid_t pid_ = -1;
};

}  // namespace fwtest
