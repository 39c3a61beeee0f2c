#pragma once
// What fernwell-cli does differently per platform: CliPlatform_posix.cpp, CliPlatform_win32.cpp.

#include <cstdio>
#include <string>

class CSerialPort;

// Opens the device `path` (--device) with CSerialPort::Open and the program's line settings
// (`baudRate`, N, 8, 1). Returns Open's result; on failure `errorText` says why (the port's
// LastErrorText() as a rule).
int OpenDevicePath(CSerialPort& port, const std::string& path, int baudRate,
                   std::string& errorText);

// Whether `stream` writes to a terminal (upload progress is shown only there).
bool IsTerminal(std::FILE* stream);

// Ctrl-C (and, on POSIX, SIGTERM) for `watch`: while an object lives, the signal no longer ends
// the process; it sets a flag and ends a running Wait early, so the caller can finish the
// line it is writing and stop. One object at a time.
class StopRequest {
public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    bool Requested() const;
    // Sleeps `ms` milliseconds or until a stop is requested, whichever comes first.
    // Returns Requested().
    bool Wait(int ms);
};
