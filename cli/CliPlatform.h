#pragma once
// What fernwell-cli does differently per platform: CliPlatform_posix.cpp, CliPlatform_win32.cpp.

#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>

// Whether `stream` writes to a terminal (upload progress is shown only there).
bool IsTerminal(std::FILE* stream);

// Ctrl-C (and, on POSIX, SIGTERM) for the commands that talk to a module: while an object
// lives, the signal no longer ends the process; it sets a flag that the command looks at, so
// it can finish the line it is writing and stop. Handed to the port
// (CSerialPort::SetCancelFlag), the flag also ends an exchange within 100 ms, and an upload
// after its current byte. One object at a time.
class StopRequest {
public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    bool Requested() const;
    // The flag the signal sets, for CSerialPort::SetCancelFlag.
    const std::atomic<bool>* Flag() const;
};
