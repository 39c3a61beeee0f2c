#pragma once
// Small settings under one registry key: integers (the COM port number, value "CommPort" under
// HKEY_CURRENT_USER "Software\Fernwell\") and short texts (what the commissioning report
// remembers of the site).
//
// Every call opens the key, does its one thing and closes it again; nothing is held between
// calls, so a store is made on the stack for one use. Results are plain ints (1 or 0, or the
// caller's default for ReadInt); no failure is reported any further.
//
// Values are written as REG_BINARY of exactly 4 bytes, the integer little-endian. Reading
// does not look at the stored type: a 4-byte REG_DWORD reads the same, data longer than
// 4 bytes gives the default, and shorter data fills the low bytes (the rest zero).
//
// RegistryStore_win32.cpp works on the registry itself. RegistryStore_posix.cpp keeps each
// root in an INI file of its own under $XDG_CONFIG_HOME/fernwell/ (~/.config/fernwell/ when
// the variable is unset), named after the root: HKEY_CURRENT_USER.ini and so on. The file
// layout is described there.
//
// Text (paths, value names) is UTF-8. Key paths use backslashes ("Software\Fernwell\");
// key and value names compare without regard to case, as in the registry.

#include <cstdint>
#include <string>

#ifdef _WIN32
// HKEY without <windows.h>: this header reaches the window's code, whose methods (LoadString,
// SetDlgItemText, MessageBox...) <windows.h> would rename by its macros. The roots exactly as
// <winreg.h> spells them, so either may come first.
#include <windef.h>
// clang-format off
#ifndef HKEY_CLASSES_ROOT
#define HKEY_CLASSES_ROOT ((HKEY) (ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY) (ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY) (ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY) (ULONG_PTR)((LONG)0x80000003))
#endif
// clang-format on
#else
// The four predefined root keys with the handle values they have on Windows, so that code
// naming HKEY_CURRENT_USER builds everywhere. Any other value is not a root.
enum HKEY : std::uint32_t {};
inline constexpr HKEY HKEY_CLASSES_ROOT{0x80000000u};
inline constexpr HKEY HKEY_CURRENT_USER{0x80000001u};
inline constexpr HKEY HKEY_LOCAL_MACHINE{0x80000002u};
inline constexpr HKEY HKEY_USERS{0x80000003u};
#endif

class CRegistryStore {
public:
    // LastError() values. They are the Windows system error codes, so the number means the
    // same on every platform; on Windows any other code the registry returns can appear too.
    static constexpr std::int32_t kErrorNone = 0;          // ERROR_SUCCESS
    static constexpr std::int32_t kErrorKeyNotFound = 2;   // ERROR_FILE_NOT_FOUND
    static constexpr std::int32_t kErrorAccessDenied = 5;  // ERROR_ACCESS_DENIED

    CRegistryStore() = default;
    ~CRegistryStore() {
        keyPath_.clear();
        rootKey_ = HKEY_CURRENT_USER;
        lazyWrite_ = 1;
    }

    // Takes `root` when it is one of the four predefined roots and returns 1; otherwise
    // returns 0 and keeps the root it had.
    int SetRootKey(HKEY root) {
        if (root != HKEY_CLASSES_ROOT && root != HKEY_CURRENT_USER && root != HKEY_LOCAL_MACHINE &&
            root != HKEY_USERS) {
            return 0;
        }
        rootKey_ = root;
        return 1;
    }

    // Makes `path` (below the root) the key the other calls work on. An empty path empties
    // the remembered path and returns 1. Otherwise the key is opened, or created when
    // `create` is non-zero; returns 1 and remembers the path when that worked, else 0 with
    // the path unchanged. Only an open without creation sets LastError().
    int SetKey(const std::string& path, int create);
    // 1 when the key holds a value `name` (of any type), else 0.
    int ValueExists(const std::string& name);
    // The integer stored as `name`, or `defaultValue` when the key or the value is missing or
    // the value is longer than 4 bytes.
    int ReadInt(const std::string& name, int defaultValue);
    // Stores `value` as `name` (REG_BINARY, 4 bytes). The key must exist: it is not created.
    // Returns 1 on success, else 0.
    int WriteInt(const std::string& name, int value);
    // The text stored as `name` (REG_SZ, UTF-8 here), or `defaultValue` when the key or the
    // value is missing or the value is not a string.
    std::string ReadString(const std::string& name, const std::string& defaultValue);
    // Stores `value` as `name` (REG_SZ). The key must exist. Returns 1 on success, else 0.
    int WriteString(const std::string& name, const std::string& value);

    // Result of the last key open made by SetKey without creation (kErrorNone at first).
    std::int32_t LastError() const { return lastError_; }
    HKEY RootKey() const { return rootKey_; }
    // The path last taken by SetKey; empty at first and after SetKey("").
    const std::string& KeyPath() const { return keyPath_; }
    // When 0, SetKey and WriteInt force the key to disk before closing it (RegFlushKey; off
    // Windows a sync of the settings directory, which every replacement of the file makes
    // anyway). When non-zero, the default the program keeps, the system does that in its own
    // time.
    std::int32_t LazyWrite() const { return lazyWrite_; }
    void SetLazyWrite(std::int32_t lazyWrite) { lazyWrite_ = lazyWrite; }

private:
    std::int32_t lastError_ = kErrorNone;
    HKEY rootKey_ = HKEY_CURRENT_USER;
    std::int32_t lazyWrite_ = 1;
    std::string keyPath_;
};
