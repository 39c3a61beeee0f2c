// COM numbers on Windows: COM N is the device \\.\COMN; the system keeps the list itself.

#include <windows.h>

#include <cstdio>

#include "serial/PortMap.h"

namespace portmap {

std::string PortsDirectory() {
    return {};
}

std::string DevicePath(int portNumber) {
    if (portNumber < kFirstPort || portNumber > kLastPort) {
        return {};
    }
    char device[50];
    std::snprintf(device, sizeof device, "\\\\.\\COM%d", portNumber);
    return device;
}

bool PortExists(int portNumber) {
    const std::string device = DevicePath(portNumber);
    if (device.empty()) {
        return false;
    }
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    // Present but in use (the program's own open port answers so) or not permitted.
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_GEN_FAILURE ||
           error == ERROR_SHARING_VIOLATION;
}

// The system's message for the error, without the line break FormatMessage ends it with.
std::string OpenErrorText(int error, const std::string& /*device*/) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text = length != 0 && buffer != nullptr ? std::string(buffer, length)
                                                        : "Error " + std::to_string(error);
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace portmap
