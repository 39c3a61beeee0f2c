#include <windows.h>
// After windows.h:
#include <lmcons.h>

#include "records/LoginName.h"

std::string LoginName() {
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(name, &size)) {
        return {};
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name, -1, text.data(), length, nullptr, nullptr);
    text.pop_back();  // the terminating zero
    return text;
}
