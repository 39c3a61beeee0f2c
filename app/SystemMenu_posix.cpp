// Off Windows a window has no system menu and no WM_SYSCOMMAND.

#include "app/SystemMenu.h"

bool AppendNativeSystemMenuItem(std::uintptr_t /*winId*/, int /*id*/,
                                const std::wstring& /*text*/) {
    return false;
}

bool NativeSystemCommand(void* /*message*/, int* /*id*/) {
    return false;
}
