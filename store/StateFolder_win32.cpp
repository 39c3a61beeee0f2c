#include <windows.h>
// After windows.h:
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "store/StateFolder.h"

namespace {

std::string Utf8(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    text.pop_back();  // the terminating zero
    return text;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "C:\..." or "\\server\...": a drive-relative or relative value would put the folder
// wherever the program happens to run.
bool IsAbsolute(const wchar_t* path) {
    return path != nullptr && ((path[0] != L'\0' && path[1] == L':' && IsSeparator(path[2])) ||
                               (IsSeparator(path[0]) && IsSeparator(path[1])));
}

}  // namespace

// The variable first: it is what the user's session says, and what a test can point
// elsewhere; the known folder when it is missing.
std::string StateFolder() {
    std::string base;
    if (const wchar_t* variable = _wgetenv(L"LOCALAPPDATA"); IsAbsolute(variable)) {
        base = Utf8(variable);
    } else {
        PWSTR known = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known))) {
            base = Utf8(known);
        }
        CoTaskMemFree(known);
    }
    if (base.empty()) {
        return {};
    }
    if (base.back() != '\\' && base.back() != '/') {
        base += '\\';
    }
    return base + "Fernwell";
}
