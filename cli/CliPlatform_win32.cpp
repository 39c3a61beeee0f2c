#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
//
#include <io.h>

#include <cctype>
#include <string>

#include <atomic>

#include "cli/CliPlatform.h"
#include "serial/SerialPort.h"

namespace {

std::atomic<bool> gStop{false};
HANDLE gWake = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        gStop = true;
        if (gWake != nullptr) {
            SetEvent(gWake);
        }
        return TRUE;
    }
    return FALSE;
}

// "COM3", "com3" or "\\.\COM3": 3; anything else 0.
int ComNumberOf(std::string path) {
    const std::string prefix = "\\\\.\\";
    if (path.compare(0, prefix.size(), prefix) == 0) {
        path.erase(0, prefix.size());
    }
    if (path.size() < 4 || std::toupper(static_cast<unsigned char>(path[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(path[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(path[2])) != 'M') {
        return 0;
    }
    int number = 0;
    for (std::size_t i = 3; i < path.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(path[i])) || number > 255) {
            return 0;
        }
        number = number * 10 + (path[i] - '0');
    }
    return number;
}

}  // namespace

// Windows reaches a serial device by its COM name only, which CSerialPort opens by number.
int OpenDevicePath(CSerialPort& port, const std::string& path, int baudRate,
                   std::string& errorText) {
    const int number = ComNumberOf(path);
    if (number == 0) {
        errorText = "On Windows --device takes a COM name such as COM3 or \\\\.\\COM3.";
        return CSerialPort::kOpenDeviceFailed;
    }
    const int result = port.Open(number, baudRate, 'N', 8, 1);
    errorText = port.LastErrorText();
    return result;
}

bool IsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

StopRequest::StopRequest() {
    gStop = false;
    gWake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopRequest::~StopRequest() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    if (gWake != nullptr) {
        CloseHandle(gWake);
        gWake = nullptr;
    }
}

const std::atomic<bool>* StopRequest::Flag() const {
    return &gStop;
}

bool StopRequest::Requested() const {
    return gStop.load();
}

bool StopRequest::Wait(int ms) {
    if (!gStop.load()) {
        if (gWake != nullptr) {
            WaitForSingleObject(gWake, static_cast<DWORD>(ms < 0 ? 0 : ms));
        } else {
            Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms));
        }
    }
    return gStop.load();
}
