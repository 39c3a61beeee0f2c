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

}  // namespace

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
