// Off Windows the registry is a settings file per root, in the INI notation of QSettings (the
// program wrote it with QSettings at first; IniDocument reads and writes that notation itself
// and keeps every line it does not change as it was).
//
// A key is a group of settings keys, its path segments nested: "Software\Fernwell\" is the group
// "Software/Fernwell". A value keeps its registry type and bytes in the notation of registry
// export files, as a string:
//
//   [Software]
//   Fernwell\%40key=
//   Fernwell\CommPort="hex:03,00,00,00"
//
//   hex:03,00,00,00        REG_BINARY (quoted in the file because of the commas)
//   dword:00000003         REG_DWORD, 8 hex digits, most significant first
//   hex(b):03,00,00,...    any other type by its number, here REG_QWORD, as raw bytes
//   hex(1):53,00,00,00     REG_SZ: the text in UTF-16LE with its closing NUL, as the registry
//                          holds it ("S")
//
// A hand-written hex list without quotes is a list of items ("hex:03", "00", ...) in the INI
// notation; it is joined again, so it reads the same. Anything else (strings, plain numbers,
// malformed hex) is a value that exists but reads as the caller's default.
//
// Names. The registry takes any character in a value name and anything but '\' in a key name;
// '/' separates the groups. So '%' and '/' in names are written as %25 and %2F, and a leading
// '@' as %40, which frees two names of our own:
//   "@"     the key's default value (the value with the empty name), as export files write it;
//   "@key"  the mark that the key exists: the INI notation has no empty groups, and a key made
//           by SetKey must survive with no values in it.
// (The file escapes non-alphanumeric characters once more: "@key" appears as "%40key".) Names
// match without regard to case; a write to an existing value keeps the spelling it has.
//
// The file. Only a regular file of at most 1 MiB is a settings file. It is opened without
// following a symbolic link and without blocking (a FIFO would wait for a writer forever); a
// link, a FIFO, a device, a directory, a larger file or one that cannot be read holds no keys
// and is never written, so nothing behind it is touched and nothing in it is lost. A missing
// file holds no keys.
//
// A change is a read-modify-write under an exclusive flock on "<file>.lock" beside the file, so
// two instances never lose each other's writes. The new text goes to "<file>.tmp" (made with
// O_EXCL, the old file's mode, or 0600 for a new file), is synced and renamed over the file, and
// the directory is synced: a crash or a full disk at any point leaves the old file or the new
// one, whole. A failed write removes the temporary file and leaves the file as it was.

#include <fcntl.h>
#include <locale.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "store/ConfigFolder.h"
#include "store/IniDocument.h"
#include "store/RegistryStore.h"

namespace {

constexpr std::size_t kMaxFileSize = 1024 * 1024;
// How long a change waits for another instance's change to finish.
constexpr auto kLockWait = std::chrono::seconds(5);

const std::string kKeyMark = "@key";
const std::string kDefaultValueName = "@";

const char* RootFileName(HKEY root) {
    switch (root) {
        case HKEY_CLASSES_ROOT:
            return "HKEY_CLASSES_ROOT.ini";
        case HKEY_CURRENT_USER:
            return "HKEY_CURRENT_USER.ini";
        case HKEY_LOCAL_MACHINE:
            return "HKEY_LOCAL_MACHINE.ini";
        case HKEY_USERS:
            return "HKEY_USERS.ini";
    }
    return "HKEY_CURRENT_USER.ini";  // not reached: SetRootKey admits only the four
}

std::string SettingsFilePath(HKEY root) {
    return ConfigFolder() + '/' + RootFileName(root);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

struct SettingsFile {
    enum class State { kRead, kMissing, kRefused } state = State::kMissing;
    IniDocument document;
    struct stat info {};  // kRead: the file read
};

// Reads the file at `path` if it is a settings file (see the top of this file).
SettingsFile Load(const std::string& path) {
    SettingsFile file;
    const Descriptor fd(
        ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        file.state =
            errno == ENOENT ? SettingsFile::State::kMissing : SettingsFile::State::kRefused;
        return file;
    }
    file.state = SettingsFile::State::kRefused;
    if (::fstat(fd.get(), &file.info) != 0 || !S_ISREG(file.info.st_mode) ||
        static_cast<std::uintmax_t>(file.info.st_size) > kMaxFileSize) {
        return file;
    }
    // Read to the end, which may lie past the size seen if the file grows meanwhile, but never
    // more than a byte past the limit: a file that grew beyond it is refused as well.
    std::string text(static_cast<std::size_t>(file.info.st_size) + 1, '\0');
    std::size_t size = 0;
    for (;;) {
        if (size == text.size()) {
            if (size > kMaxFileSize) {
                break;
            }
            text.resize(std::min(2 * size, kMaxFileSize + 1));
        }
        const ssize_t n = ::read(fd.get(), text.data() + size, text.size() - size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return file;
        }
        if (n == 0) {
            break;
        }
        size += static_cast<std::size_t>(n);
    }
    if (size > kMaxFileSize) {
        return file;
    }
    text.resize(size);
    file.document = IniDocument(text);
    file.state = SettingsFile::State::kRead;
    return file;
}

std::string DirectoryOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

void SyncDirectory(const std::string& dir) {
    const Descriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) {
        ::fsync(fd.get());
    }
}

// Root writing in a user's settings folder (sudo keeps HOME, `sudo -E`) gives what it creates
// there to the folder's owner: a folder, the settings file, the lock file that root made
// would otherwise be root's, and the user's own program could no longer read the file or take
// the lock. Nothing is done for other users, who can only create files of their own.
void GiveToOwnerOf(const std::string& folder, int fd, const std::string& path = {}) {
    struct stat owner {};
    if (::geteuid() != 0 || ::stat(folder.c_str(), &owner) != 0 || owner.st_uid == 0) {
        return;
    }
    [[maybe_unused]] const int ignored = fd >= 0
                                             ? ::fchown(fd, owner.st_uid, owner.st_gid)
                                             : ::lchown(path.c_str(), owner.st_uid, owner.st_gid);
}

// mkdir -p, with the permissions the user's umask gives; a folder made is its parent owner's.
bool MakeDirectories(const std::string& dir) {
    struct stat info {};
    if (::stat(dir.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    const std::size_t slash = dir.rfind('/');
    const std::string parent = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : dir.substr(0, slash);
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(parent)) {
        return false;
    }
    if (::mkdir(dir.c_str(), 0777) == 0) {
        GiveToOwnerOf(parent, -1, dir);
        return true;
    }
    return errno == EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Puts `text` in place of the file `old` was read from (or of no file, when `old` is null).
bool Replace(const std::string& path, const std::string& text, const struct stat* old) {
    const std::string temp = path + ".tmp";
    // Only a writer holding the lock makes the temporary file, so one still there was left by a
    // crash. (A directory of that name is not removed: the write then fails.)
    ::unlink(temp.c_str());
    bool ok = false;
    {
        const Descriptor fd(
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            return false;
        }
        if (old != nullptr && geteuid() == 0) {
            // Root writing a user's file (sudo keeps HOME) leaves it the user's.
            [[maybe_unused]] const int ignored = ::fchown(fd.get(), old->st_uid, old->st_gid);
        } else if (old == nullptr) {
            GiveToOwnerOf(DirectoryOf(path), fd.get());
        }
        ok = WriteAll(fd.get(), text) &&
             ::fchmod(fd.get(), old != nullptr ? old->st_mode & 07777 : 0600) == 0 &&
             ::fsync(fd.get()) == 0;
    }
    // The file must still be the one read: nothing else may have been put there meanwhile.
    struct stat now {};
    const bool present = ::lstat(path.c_str(), &now) == 0;
    if (ok && old != nullptr) {
        ok = present && S_ISREG(now.st_mode) && now.st_dev == old->st_dev &&
             now.st_ino == old->st_ino;
    } else if (ok) {
        ok = !present && errno == ENOENT;
    }
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(DirectoryOf(path));
    return true;
}

// Holds an exclusive flock on "<file>.lock" while it lives, if it got one.
class ChangeLock {
public:
    explicit ChangeLock(const std::string& path)
        : fd_(::open((path + ".lock").c_str(),
                     O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600)) {
        struct stat info {};
        if (fd_.get() < 0 || ::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return;
        }
        GiveToOwnerOf(DirectoryOf(path), fd_.get());
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        while (!(held_ = ::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) &&
               (errno == EWOULDBLOCK || errno == EINTR) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    bool Held() const { return held_; }

private:
    Descriptor fd_;
    bool held_ = false;
};

enum class Change { kNone, kMade, kImpossible };

// Read-modify-write of the file under the lock: `change` edits the document and says whether it
// did. True when the file now holds the change (or needed none).
template <typename Edit>
bool Update(const std::string& path, Edit change) {
    if (!MakeDirectories(DirectoryOf(path))) {
        return false;
    }
    const ChangeLock lock(path);
    if (!lock.Held()) {
        return false;
    }
    SettingsFile file = Load(path);
    // A file its owner made read-only stays as it is, as it did when it was written in place.
    if (file.state == SettingsFile::State::kRefused ||
        (file.state == SettingsFile::State::kRead && ::access(path.c_str(), W_OK) != 0)) {
        return false;
    }
    const std::string before = file.document.Text();
    const Change result = change(file.document);
    if (result != Change::kMade) {
        return result == Change::kNone;
    }
    const std::string after = file.document.Text();
    if (after == before) {
        return true;
    }
    if (after.size() > kMaxFileSize) {
        return false;  // it would no longer be read as a settings file
    }
    return Replace(path, after, file.state == SettingsFile::State::kRead ? &file.info : nullptr);
}

// Names compare as the registry compares them: without regard to case, character by character
// (by the Unicode case mapping of the C library's UTF-8 locale; ASCII only if it has none).
bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (utf8 == locale_t{}) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return (x >= 'A' && x <= 'Z' ? x + 32 : x) ==
                          (y >= 'A' && y <= 'Z' ? y + 32 : y);
               });
    }
    // The next character of `text` at `at`; a byte that starts no character stands for itself.
    const auto next = [](const std::string& text, std::size_t& at, std::mbstate_t& state) {
        wchar_t c = 0;
        std::size_t n = std::mbrtowc(&c, text.data() + at, text.size() - at, &state);
        if (n == 0 || n > text.size() - at) {
            state = std::mbstate_t{};
            c = n == 0 ? 0 : 0x110000 + static_cast<unsigned char>(text[at]);
            n = 1;
        }
        at += n;
        return c;
    };
    const locale_t previous = ::uselocale(utf8);
    std::mbstate_t stateA{}, stateB{};
    std::size_t i = 0, j = 0;
    bool same = true;
    while (same && i < a.size() && j < b.size()) {
        const wchar_t ca = next(a, i, stateA);
        const wchar_t cb = next(b, j, stateB);
        same = ca == cb ||
               std::towlower(static_cast<wint_t>(ca)) == std::towlower(static_cast<wint_t>(cb));
    }
    ::uselocale(previous);
    return same && i == a.size() && j == b.size();
}

std::string EscapeName(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '%') {
            out += "%25";
        } else if (c == '/') {
            out += "%2F";
        } else if (c == '@' && i == 0) {
            out += "%40";
        } else {
            out += c;
        }
    }
    return out;
}

std::string ValueKey(const std::string& name) {
    return name.empty() ? kDefaultValueName : EscapeName(name);
}

// "Software\Fernwell\" -> {"Software", "Fernwell"}; leading, trailing and doubled backslashes
// are dropped.
std::vector<std::string> PathSegments(const std::string& path) {
    std::vector<std::string> segments;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find('\\', begin);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > begin) {
            segments.push_back(EscapeName(path.substr(begin, end - begin)));
        }
        begin = end + 1;
    }
    return segments;
}

std::string Join(const std::string& group, const std::string& name) {
    return group.empty() ? name : group + '/' + name;
}

// The stored spelling of `wanted` among `names`: the exact one if present, else the first that
// differs only in case; nothing when there is none.
std::optional<std::string> FindName(const std::vector<std::string>& names,
                                    const std::string& wanted) {
    if (std::find(names.begin(), names.end(), wanted) != names.end()) {
        return wanted;
    }
    for (const std::string& name : names) {
        if (SameNameIgnoringCase(name, wanted)) {
            return name;
        }
    }
    return std::nullopt;
}

struct KeyLookup {
    bool exists = false;
    // The group of the key: the stored spelling of the segments that exist, followed by the
    // remaining segments as asked for (those a create makes).
    std::string group;
};

// An empty path is the root itself, which always exists.
KeyLookup FindKey(const IniDocument& document, const std::string& path) {
    KeyLookup lookup;
    lookup.exists = true;
    for (const std::string& segment : PathSegments(path)) {
        std::optional<std::string> stored;
        if (lookup.exists) {
            stored = FindName(document.ChildGroups(lookup.group), segment);
        }
        lookup.exists = stored.has_value();
        lookup.group = Join(lookup.group, stored.value_or(segment));
    }
    return lookup;
}

// The settings key of value `name` under `group`, in its stored spelling, if it exists.
std::optional<std::string> FindValue(const IniDocument& document, const std::string& group,
                                     const std::string& name) {
    const std::optional<std::string> stored = FindName(document.ChildKeys(group), ValueKey(name));
    return stored ? std::optional(Join(group, *stored)) : std::nullopt;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char p, char t) { return p == (t >= 'A' && t <= 'Z' ? t + 32 : t); });
}

// The number written in 1 to `maxDigits` hex digits, or nothing.
std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// The bytes of a value in export notation (see the top of this file), or nothing when the text
// is in no notation we know.
std::optional<std::vector<std::uint8_t>> ParseStoredValue(std::string_view text) {
    text = TrimmedAscii(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view notation = text.substr(0, colon);
    const std::string_view data = TrimmedAscii(text.substr(colon + 1));
    std::vector<std::uint8_t> bytes;

    if (notation.size() == 5 && StartsWithNoCase(notation, "dword")) {
        const std::optional<std::uint32_t> value = ParseHex(data, 8);
        if (!value) {
            return std::nullopt;
        }
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(*value >> shift));
        }
        return bytes;
    }

    // "hex" or "hex(<type>)"
    if (!StartsWithNoCase(notation, "hex")) {
        return std::nullopt;
    }
    const std::string_view type = notation.substr(3);
    if (!type.empty() && (type.size() < 2 || type.front() != '(' || type.back() != ')' ||
                          !ParseHex(type.substr(1, type.size() - 2), 8))) {
        return std::nullopt;
    }
    if (data.empty()) {
        return bytes;  // zero-length data
    }
    for (std::size_t begin = 0;;) {
        const std::size_t comma = data.find(',', begin);
        const std::optional<std::uint32_t> byte =
            ParseHex(TrimmedAscii(data.substr(begin, comma - begin)), 2);
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(*byte));
        if (comma == std::string_view::npos) {
            return bytes;
        }
        begin = comma + 1;
    }
}

std::string FormatBinary(int value) {
    const auto bits = static_cast<std::uint32_t>(value);
    char text[32];
    std::snprintf(text, sizeof text, "hex:%02x,%02x,%02x,%02x", bits & 0xFF, bits >> 8 & 0xFF,
                  bits >> 16 & 0xFF, bits >> 24 & 0xFF);
    return text;
}

// UTF-8 to the UTF-16 code units of the registry's strings; a byte that starts no valid
// sequence becomes U+FFFD.
std::vector<std::uint16_t> Utf16Units(const std::string& text) {
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int length = byte < 0x80       ? 1
                           : byte >> 5 == 6  ? 2
                           : byte >> 4 == 14 ? 3
                           : byte >> 3 == 30 ? 4
                                             : 0;
        std::uint32_t code = length == 1   ? byte
                             : length == 2 ? byte & 0x1F
                             : length == 3 ? byte & 0x0F
                                           : byte & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = next >> 6 == 2;
            code = code << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and numbers past U+10FFFF are not characters.
        static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        valid =
            valid && code >= kLeast[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            units.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            units.push_back(static_cast<std::uint16_t>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(code));
        }
        i += static_cast<std::size_t>(length);
    }
    return units;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A REG_SZ's bytes (UTF-16LE, up to the first NUL) as UTF-8; a lone surrogate becomes U+FFFD.
std::string TextOfUtf16(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const std::uint32_t unit = bytes[i] | static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (unit == 0) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = bytes[i + 2] | static_cast<std::uint32_t>(bytes[i + 3]) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(text, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    return text;
}

std::string FormatString(const std::string& value) {
    std::string out = "hex(1):";
    char byte[8];
    for (std::uint16_t unit : Utf16Units(value)) {
        std::snprintf(byte, sizeof byte, "%02x,%02x,", unit & 0xFF, unit >> 8);
        out += byte;
    }
    return out + "00,00";
}

}  // namespace

int CRegistryStore::SetKey(const std::string& path, int create) {
    if (path.empty()) {
        keyPath_.clear();
        return 1;
    }
    const std::string file = SettingsFilePath(rootKey_);
    const SettingsFile current = Load(file);
    const bool exists = FindKey(current.document, path).exists;
    if (!create) {
        lastError_ = exists                                           ? kErrorNone
                     : current.state == SettingsFile::State::kRefused ? kErrorAccessDenied
                                                                      : kErrorKeyNotFound;
        if (!exists) {
            return 0;
        }
    } else if (!exists && current.state != SettingsFile::State::kRefused) {
        const bool made = Update(file, [&](IniDocument& document) {
            const KeyLookup key = FindKey(document, path);
            if (key.exists) {
                return Change::kNone;  // made by another instance meanwhile
            }
            document.SetValue(Join(key.group, kKeyMark), "");
            return Change::kMade;
        });
        if (!made) {
            return 0;
        }
    } else if (!exists) {
        return 0;
    }
    if (lazyWrite_ == 0) {
        SyncDirectory(DirectoryOf(file));
    }
    keyPath_ = path;
    return 1;
}

int CRegistryStore::ValueExists(const std::string& name) {
    const SettingsFile current = Load(SettingsFilePath(rootKey_));
    const KeyLookup key = FindKey(current.document, keyPath_);
    return key.exists && FindValue(current.document, key.group, name) ? 1 : 0;
}

int CRegistryStore::ReadInt(const std::string& name, int defaultValue) {
    const SettingsFile current = Load(SettingsFilePath(rootKey_));
    const KeyLookup key = FindKey(current.document, keyPath_);
    if (!key.exists) {
        return defaultValue;
    }
    const std::optional<std::string> valueKey = FindValue(current.document, key.group, name);
    if (!valueKey) {
        return defaultValue;
    }
    const std::optional<std::vector<std::uint8_t>> bytes =
        ParseStoredValue(current.document.Value(*valueKey).value_or(""));
    if (!bytes || bytes->size() > 4) {
        return defaultValue;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes->size(); ++i) {
        value |= static_cast<std::uint32_t>((*bytes)[i]) << (8 * i);
    }
    return static_cast<int>(value);
}

int CRegistryStore::WriteInt(const std::string& name, int value) {
    const std::string file = SettingsFilePath(rootKey_);
    const bool written = Update(file, [&](IniDocument& document) {
        const KeyLookup key = FindKey(document, keyPath_);
        if (!key.exists) {
            return Change::kImpossible;  // WriteInt does not create the key
        }
        const std::string valueKey =
            FindValue(document, key.group, name).value_or(Join(key.group, ValueKey(name)));
        document.SetValue(valueKey, FormatBinary(value));
        return Change::kMade;
    });
    if (written && lazyWrite_ == 0) {
        SyncDirectory(DirectoryOf(file));
    }
    return written ? 1 : 0;
}

std::string CRegistryStore::ReadString(const std::string& name, const std::string& defaultValue) {
    const SettingsFile current = Load(SettingsFilePath(rootKey_));
    const KeyLookup key = FindKey(current.document, keyPath_);
    const std::optional<std::string> valueKey =
        key.exists ? FindValue(current.document, key.group, name) : std::nullopt;
    if (!valueKey) {
        return defaultValue;
    }
    const std::string stored = current.document.Value(*valueKey).value_or("");
    // REG_SZ, or REG_EXPAND_SZ as the same text: a string the registry would hand over too.
    const std::string_view notation = TrimmedAscii(stored);
    if (!StartsWithNoCase(notation, "hex(1):") && !StartsWithNoCase(notation, "hex(2):")) {
        return defaultValue;
    }
    const std::optional<std::vector<std::uint8_t>> bytes = ParseStoredValue(stored);
    return bytes ? TextOfUtf16(*bytes) : defaultValue;
}

int CRegistryStore::WriteString(const std::string& name, const std::string& value) {
    const std::string file = SettingsFilePath(rootKey_);
    const bool written = Update(file, [&](IniDocument& document) {
        const KeyLookup key = FindKey(document, keyPath_);
        if (!key.exists) {
            return Change::kImpossible;
        }
        const std::string valueKey =
            FindValue(document, key.group, name).value_or(Join(key.group, ValueKey(name)));
        document.SetValue(valueKey, FormatString(value));
        return Change::kMade;
    });
    if (written && lazyWrite_ == 0) {
        SyncDirectory(DirectoryOf(file));
    }
    return written ? 1 : 0;
}
