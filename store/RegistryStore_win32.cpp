// The registry itself. Every call opens its key with the access it needs and closes it again
// before returning. Paths and names arrive as UTF-8 and go to the wide-character calls.

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "store/RegistryStore.h"

namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

}  // namespace

int CRegistryStore::SetKey(const std::string& path, int create) {
    if (path.empty()) {
        keyPath_.clear();
        return 1;
    }
    const std::wstring subKey = Widen(path);
    HKEY key = nullptr;
    if (create) {
        // Opens the key when it exists already; no class, kept across restarts.
        if (RegCreateKeyExW(rootKey_, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            return 0;
        }
    } else {
        lastError_ = RegOpenKeyExW(rootKey_, subKey.c_str(), 0, KEY_ALL_ACCESS, &key);
        if (lastError_ != ERROR_SUCCESS) {
            return 0;
        }
    }
    keyPath_ = path;
    if (lazyWrite_ == 0) {
        RegFlushKey(key);
    }
    RegCloseKey(key);
    return 1;
}

int CRegistryStore::ValueExists(const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey_, Widen(keyPath_).c_str(), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
        return 0;
    }
    // No type, data or size wanted: the query only says whether the value is there.
    const LSTATUS result =
        RegQueryValueExW(key, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryStore::ReadInt(const std::string& name, int defaultValue) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey_, Widen(keyPath_).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return defaultValue;
    }
    // Data longer than the 4-byte buffer fails with ERROR_MORE_DATA; shorter data fills the
    // low bytes. Whatever the stored type, the bytes are taken as they are.
    BYTE bytes[4] = {0, 0, 0, 0};
    DWORD size = sizeof bytes;
    int result = defaultValue;
    if (RegQueryValueExW(key, Widen(name).c_str(), nullptr, nullptr, bytes, &size) ==
        ERROR_SUCCESS) {
        result = static_cast<int>(static_cast<std::uint32_t>(bytes[0]) |
                                  static_cast<std::uint32_t>(bytes[1]) << 8 |
                                  static_cast<std::uint32_t>(bytes[2]) << 16 |
                                  static_cast<std::uint32_t>(bytes[3]) << 24);
    }
    RegCloseKey(key);
    return result;
}

int CRegistryStore::WriteInt(const std::string& name, int value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey_, Widen(keyPath_).c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
        return 0;
    }
    const auto bits = static_cast<std::uint32_t>(value);
    const BYTE bytes[4] = {static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8),
                           static_cast<BYTE>(bits >> 16), static_cast<BYTE>(bits >> 24)};
    const LSTATUS result =
        RegSetValueExW(key, Widen(name).c_str(), 0, REG_BINARY, bytes, sizeof bytes);
    if (lazyWrite_ == 0) {
        RegFlushKey(key);
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}

std::string CRegistryStore::ReadString(const std::string& name, const std::string& defaultValue) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey_, Widen(keyPath_).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return defaultValue;
    }
    // RegGetValueW checks the type and gives the text with its NUL, however it was stored.
    std::string result = defaultValue;
    DWORD size = 0;
    const std::wstring valueName = Widen(name);
    if (RegGetValueW(key, nullptr, valueName.c_str(),
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, nullptr,
                     &size) == ERROR_SUCCESS) {
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegGetValueW(key, nullptr, valueName.c_str(),
                         RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text.data(),
                         &size) == ERROR_SUCCESS) {
            text.resize(wcsnlen(text.c_str(), text.size()));
            result = Narrow(text);
        }
    }
    RegCloseKey(key);
    return result;
}

int CRegistryStore::WriteString(const std::string& name, const std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey_, Widen(keyPath_).c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
        return 0;
    }
    const std::wstring text = Widen(value);
    const LSTATUS result = RegSetValueExW(key, Widen(name).c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(text.c_str()),
                                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (lazyWrite_ == 0) {
        RegFlushKey(key);
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}
