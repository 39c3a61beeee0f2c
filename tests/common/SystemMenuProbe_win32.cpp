#include <windows.h>

#include "tests/common/SystemMenuProbe.h"

namespace fwtest {

std::wstring LastSystemMenuItem(std::uintptr_t winId) {
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId), FALSE);
    const int count = menu != nullptr ? GetMenuItemCount(menu) : 0;
    if (count <= 0) {
        return {};
    }
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(count - 1), text, 128, MF_BYPOSITION);
    return text;
}

}  // namespace fwtest
