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

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        gStop = true;
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
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopRequest::~StopRequest() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

const std::atomic<bool>* StopRequest::Flag() const {
    return &gStop;
}

bool StopRequest::Requested() const {
    return gStop.load();
}
