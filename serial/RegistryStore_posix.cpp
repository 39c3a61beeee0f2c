// Off Windows the registry is a settings file per root, written with QSettings in INI format.
// QSettings replaces the file atomically (a temporary file, synced, renamed over the old one)
// under a lock file "<name>.lock", and re-reads the file under that lock before it merges its
// own changes, so a crash never leaves a torn file and a second instance keeps what the first
// wrote. Each call below makes its own QSettings, so it sees every change made since.
//
// A key is a settings group, its path segments nested: "Software\Fernwell\" is the group
// "Software/Fernwell". A value keeps its registry type and bytes in the notation of registry
// export files, as a string:
//
//   [Software]
//   Fernwell\%40key=
//   Fernwell\CommPort="hex:03,00,00,00"
//
//   hex:03,00,00,00        REG_BINARY (QSettings quotes it because of the commas)
//   dword:00000003         REG_DWORD, 8 hex digits, most significant first
//   hex(b):03,00,00,...    any other type by its number, here REG_QWORD, as raw bytes
//
// A hand-written hex list without quotes comes back from QSettings as a list of strings
// ("hex:03", "00", ...); it is joined again, so it reads the same. Anything else (strings,
// plain numbers, malformed hex) is a value that exists but reads as the caller's default.
//
// Names. The registry takes any character in a value name and anything but '\' in a key
// name; QSettings takes '/' as its group separator. So '%' and '/' in names are written as
// %25 and %2F, and a leading '@' as %40, which frees two names of our own:
//   "@"     the key's default value (the value with the empty name), as export files write it;
//   "@key"  the mark that the key exists: QSettings keeps no empty group, and a key made by
//           SetKey must survive with no values in it.
// (QSettings escapes non-alphanumeric characters once more in the file: "@key" appears as
// "%40key".) Names match without regard to case; a write to an existing value keeps the
// spelling it has.
//
// Failures. A missing file holds no keys. A file that cannot be read holds none either, and is
// never written, so its contents cannot be lost. Lines QSettings cannot parse are skipped
// (QSettings then reports FormatError for good); the keys around them still read, and the
// next write keeps them. Because QSettings records only the first error, a write to such a
// file could fail without AccessError being reported: whether the file and its directory are
// writable is therefore checked before writing.

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "serial/RegistryStore.h"

namespace {

const QString kKeyMark = QStringLiteral("@key");
const QString kDefaultValueName = QStringLiteral("@");

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

// $XDG_CONFIG_HOME/fernwell/<root>.ini; a relative XDG_CONFIG_HOME is invalid by the XDG
// rules and counts as unset, which means ~/.config.
QString SettingsFilePath(HKEY root) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    QString base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = QFile::decodeName(xdg);
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* pw = getpwuid(getuid());
            home = pw != nullptr ? pw->pw_dir : "";
        }
        base = QFile::decodeName(home) + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/fernwell/") + QLatin1String(RootFileName(root));
}

QString EscapeName(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (c == u'%') {
            out += QStringLiteral("%25");
        } else if (c == u'/') {
            out += QStringLiteral("%2F");
        } else if (c == u'@' && i == 0) {
            out += QStringLiteral("%40");
        } else {
            out += c;
        }
    }
    return out;
}

QString ValueKey(const std::string& name) {
    return name.empty() ? kDefaultValueName : EscapeName(QString::fromStdString(name));
}

// "Software\Fernwell\" -> {"Software", "Fernwell"}; leading, trailing and doubled
// backslashes are dropped.
QStringList PathSegments(const std::string& path) {
    QStringList segments = QString::fromStdString(path).split(u'\\', Qt::SkipEmptyParts);
    for (QString& segment : segments) {
        segment = EscapeName(segment);
    }
    return segments;
}

QString Join(const QString& group, const QString& name) {
    return group.isEmpty() ? name : group + u'/' + name;
}

// The stored spelling of `wanted` among `names`: the exact one if present, else the first
// that differs only in case; empty when there is none.
QString FindName(const QStringList& names, const QString& wanted) {
    if (names.contains(wanted)) {
        return wanted;
    }
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return name;
        }
    }
    return {};
}

QStringList ChildGroups(QSettings& settings, const QString& group) {
    settings.beginGroup(group);
    QStringList groups = settings.childGroups();
    settings.endGroup();
    return groups;
}

QStringList ChildKeys(QSettings& settings, const QString& group) {
    settings.beginGroup(group);
    QStringList keys = settings.childKeys();
    settings.endGroup();
    return keys;
}

struct KeyLookup {
    bool exists = false;
    // The settings group of the key: the stored spelling of the segments that exist, followed
    // by the remaining segments as asked for (those a create makes).
    QString group;
};

// An empty path is the root itself, which always exists.
KeyLookup FindKey(QSettings& settings, const std::string& path) {
    KeyLookup lookup;
    lookup.exists = true;
    for (const QString& segment : PathSegments(path)) {
        const QString stored =
            lookup.exists ? FindName(ChildGroups(settings, lookup.group), segment) : QString();
        lookup.exists = !stored.isEmpty();
        lookup.group = Join(lookup.group, lookup.exists ? stored : segment);
    }
    return lookup;
}

// The settings key of value `name` under `group`: its stored spelling if it exists, else
// empty.
QString FindValue(QSettings& settings, const QString& group, const std::string& name) {
    const QString stored = FindName(ChildKeys(settings, group), ValueKey(name));
    return stored.isEmpty() ? QString() : Join(group, stored);
}

bool Readable(const QSettings& settings) {
    return settings.status() != QSettings::AccessError;
}

// isWritable() opens an existing file for reading and writing, or creates the directory and a
// temporary file in it; the replace also needs the directory itself to be writable.
bool Writable(QSettings& settings) {
    if (!Readable(settings) || !settings.isWritable()) {
        return false;
    }
    return QFileInfo(QFileInfo(settings.fileName()).absolutePath()).isWritable();
}

// Writes the pending change, if any. QSettings has already synced the new file's data before
// renaming it; syncing the directory as well makes the rename itself durable, which is what
// RegFlushKey is for.
bool Commit(QSettings& settings, bool changed, bool flush) {
    if (changed) {
        settings.sync();
        if (settings.status() == QSettings::AccessError) {
            return false;
        }
    }
    if (flush) {
        const QString dir = QFileInfo(settings.fileName()).absolutePath();
        const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    return true;
}

int HexDigit(QChar c) {
    if (c >= u'0' && c <= u'9') {
        return c.unicode() - '0';
    }
    if (c >= u'a' && c <= u'f') {
        return c.unicode() - 'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c.unicode() - 'A' + 10;
    }
    return -1;
}

// The number written in 1 to `maxDigits` hex digits, or nothing.
std::optional<std::uint32_t> ParseHex(QStringView text, int maxDigits) {
    if (text.isEmpty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (QChar c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// The bytes of a value in export notation (see the top of this file), or nothing when the
// text is in no notation we know.
std::optional<std::vector<std::uint8_t>> ParseStoredValue(const QVariant& stored) {
    QString text = stored.typeId() == QMetaType::QStringList ? stored.toStringList().join(u',')
                                                             : stored.toString();
    text = text.trimmed();
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) {
        return std::nullopt;
    }
    const QStringView notation = QStringView(text).left(colon);
    const QStringView data = QStringView(text).mid(colon + 1).trimmed();
    std::vector<std::uint8_t> bytes;

    if (notation.compare(u"dword", Qt::CaseInsensitive) == 0) {
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
    if (!notation.startsWith(u"hex", Qt::CaseInsensitive)) {
        return std::nullopt;
    }
    const QStringView type = notation.mid(3);
    if (!type.isEmpty() && (!type.startsWith(u'(') || !type.endsWith(u')') ||
                            !ParseHex(type.mid(1, type.size() - 2), 8))) {
        return std::nullopt;
    }
    if (data.isEmpty()) {
        return bytes;  // zero-length data
    }
    for (QStringView part : data.split(u',')) {
        const std::optional<std::uint32_t> byte = ParseHex(part.trimmed(), 2);
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(*byte));
    }
    return bytes;
}

QString FormatBinary(int value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return QString::asprintf("hex:%02x,%02x,%02x,%02x", bits & 0xFF, bits >> 8 & 0xFF,
                             bits >> 16 & 0xFF, bits >> 24 & 0xFF);
}

std::unique_ptr<QSettings> OpenRoot(HKEY root) {
    return std::make_unique<QSettings>(SettingsFilePath(root), QSettings::IniFormat);
}

}  // namespace

int CRegistryStore::SetKey(const std::string& path, int create) {
    if (path.empty()) {
        keyPath_.clear();
        return 1;
    }
    std::unique_ptr<QSettings> settings = OpenRoot(rootKey_);
    const KeyLookup key = FindKey(*settings, path);
    if (create) {
        if (!key.exists) {
            if (!Writable(*settings)) {
                return 0;
            }
            settings->setValue(Join(key.group, kKeyMark), QString());
        }
    } else {
        lastError_ = key.exists            ? kErrorNone
                     : Readable(*settings) ? kErrorKeyNotFound
                                           : kErrorAccessDenied;
        if (!key.exists) {
            return 0;
        }
    }
    if (!Commit(*settings, !key.exists, lazyWrite_ == 0)) {
        return 0;
    }
    keyPath_ = path;
    return 1;
}

int CRegistryStore::ValueExists(const std::string& name) {
    std::unique_ptr<QSettings> settings = OpenRoot(rootKey_);
    const KeyLookup key = FindKey(*settings, keyPath_);
    return key.exists && !FindValue(*settings, key.group, name).isEmpty() ? 1 : 0;
}

int CRegistryStore::ReadInt(const std::string& name, int defaultValue) {
    std::unique_ptr<QSettings> settings = OpenRoot(rootKey_);
    const KeyLookup key = FindKey(*settings, keyPath_);
    if (!key.exists) {
        return defaultValue;
    }
    const QString valueKey = FindValue(*settings, key.group, name);
    if (valueKey.isEmpty()) {
        return defaultValue;
    }
    const std::optional<std::vector<std::uint8_t>> bytes =
        ParseStoredValue(settings->value(valueKey));
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
    std::unique_ptr<QSettings> settings = OpenRoot(rootKey_);
    const KeyLookup key = FindKey(*settings, keyPath_);
    if (!key.exists || !Writable(*settings)) {
        return 0;
    }
    QString valueKey = FindValue(*settings, key.group, name);
    if (valueKey.isEmpty()) {
        valueKey = Join(key.group, ValueKey(name));
    }
    settings->setValue(valueKey, FormatBinary(value));
    return Commit(*settings, true, lazyWrite_ == 0) ? 1 : 0;
}
