// The system menu of a Windows window: the About item goes after a separator at its end,
// and its clicks come back as WM_SYSCOMMAND with the item's identifier in wParam.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "app/SystemMenu.h"

bool AppendNativeSystemMenuItem(std::uintptr_t winId, int id, const std::wstring& text) {
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId), FALSE);
    if (menu == nullptr) {
        return false;
    }
    // A system command's low four bits belong to the system; the item's identifier keeps them
    // clear, and the handler masks them off before comparing.
    return AppendMenuW(menu, MF_SEPARATOR, 0, nullptr) &&
           AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), text.c_str());
}

bool NativeSystemCommand(void* message, int* id) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg == nullptr || msg->message != WM_SYSCOMMAND) {
        return false;
    }
    *id = static_cast<int>(msg->wParam);
    return true;
}
