// CRegistryStore off Windows: the settings files under $XDG_CONFIG_HOME/fernwell/. Every test
// runs in a fresh temporary configuration directory.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "serial/RegistryStore.h"

namespace {

const std::string kPath = "Software\\Fernwell\\";
constexpr int kDefault = 42;

// Sets (or, with nullopt, unsets) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QByteArray> value)
        : name_(name),
          saved_(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt) {
        Set(value);
    }
    ~ScopedEnv() { Set(saved_); }

private:
    void Set(const std::optional<QByteArray>& value) {
        value ? qputenv(name_, *value) : qunsetenv(name_);
    }
    const char* name_;
    std::optional<QByteArray> saved_;
};

QString SettingsFile(const QString& configHome, const char* root = "HKEY_CURRENT_USER") {
    return configHome + "/fernwell/" + root + ".ini";
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& text) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(text), text.size());
}

class RegistryStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    ScopedEnv xdg_{"XDG_CONFIG_HOME", dir_.path().toLocal8Bit()};
    const QString file_ = SettingsFile(dir_.path());
};

TEST_F(RegistryStoreTest, FirstStartCreatesTheKeyAndThePortDefaultsToOne) {
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 1), 1);
    EXPECT_EQ(store.KeyPath(), kPath);
    EXPECT_EQ(store.ValueExists("CommPort"), 0);
    EXPECT_EQ(store.ReadInt("CommPort", 1), 1);

    // The key persists with no value in it: a later start opens it without creating.
    CRegistryStore later;
    EXPECT_EQ(later.SetKey(kPath, 0), 1);
    EXPECT_EQ(later.LastError(), CRegistryStore::kErrorNone);
    EXPECT_EQ(later.ValueExists("CommPort"), 0);
}

TEST_F(RegistryStoreTest, WritesFourByteBinaryLittleEndian) {
    const struct {
        int value;
        const char* line;
    } rows[] = {
        {3, R"(Fernwell\V0="hex:03,00,00,00")"},          {256, R"(Fernwell\V1="hex:00,01,00,00")"},
        {0x12345678, R"(Fernwell\V2="hex:78,56,34,12")"}, {-1, R"(Fernwell\V3="hex:ff,ff,ff,ff")"},
        {INT_MIN, R"(Fernwell\V4="hex:00,00,00,80")"},
    };
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 1), 1);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(store.WriteInt("V" + std::to_string(i), rows[i].value), 1);
    }
    const QByteArray text = ReadFile(file_);
    CRegistryStore reader;
    ASSERT_EQ(reader.SetKey(kPath, 0), 1);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].line);
        EXPECT_TRUE(text.contains(rows[i].line)) << text.toStdString();
        EXPECT_EQ(reader.ReadInt("V" + std::to_string(i), kDefault), rows[i].value);
    }
}

TEST_F(RegistryStoreTest, ReadsStoredNotations) {
    const struct {
        const char* stored;
        int expected;
    } rows[] = {
        {R"("hex:03,00,00,00")", 3},
        {"hex:03,00,00,00", 3},  // unquoted: QSettings hands back a list of strings
        {"hex:03, 00, 00, 00", 3},
        {"dword:00000003", 3},
        {"dword:ffffffff", -1},
        {R"("hex(4):05,00,00,00")", 5},         // type not checked
        {R"("hex:07")", 7},                     // shorter: the low bytes
        {R"("hex:03,00,00,00,00")", kDefault},  // longer
        {R"("hex(b):03,00,00,00,00,00,00,00")", kDefault},
        {"dword:100000000", kDefault},
        {R"("hex:03,0g,00,00")", kDefault},
        {R"("text")", kDefault},
    };
    QByteArray text = "[Software]\n";
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        text += "Fernwell\\V" + QByteArray::number(qulonglong(i)) + "=" + rows[i].stored + "\n";
    }
    WriteFile(file_, text);
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 0), 1);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].stored);
        EXPECT_EQ(store.ValueExists("V" + std::to_string(i)), 1);
        EXPECT_EQ(store.ReadInt("V" + std::to_string(i), kDefault), rows[i].expected);
    }
}

TEST_F(RegistryStoreTest, SetRootKeyTakesOnlyTheFourPredefinedRoots) {
    CRegistryStore store;
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        EXPECT_EQ(store.SetRootKey(root), 1);
        EXPECT_EQ(store.RootKey(), root);
    }
    // 0x80000005 is HKEY_CURRENT_CONFIG and 0x80000050 HKEY_PERFORMANCE_TEXT: not taken.
    for (std::uint32_t bad : {0u, 0x7fffffffu, 0x80000004u, 0x80000005u, 0x80000050u}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(store.SetRootKey(HKEY{bad}), 0);
        EXPECT_EQ(store.RootKey(), HKEY_LOCAL_MACHINE);
    }
}

TEST_F(RegistryStoreTest, EmptyPathClearsThePathAndWorksOnTheRoot) {
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 1), 1);
    EXPECT_EQ(store.SetKey("", 0), 1);
    EXPECT_EQ(store.KeyPath(), "");
    EXPECT_EQ(store.WriteInt("CommPort", 6), 1);
    EXPECT_EQ(store.ReadInt("CommPort", kDefault), 6);
    ASSERT_EQ(store.SetKey(kPath, 0), 1);
    EXPECT_EQ(store.ValueExists("CommPort"), 0);
}

TEST_F(RegistryStoreTest, MissingKeyIsNeitherOpenedNorWritten) {
    CRegistryStore store;
    ASSERT_EQ(store.SetKey("Software\\Other", 1), 1);
    EXPECT_EQ(store.SetKey(kPath, 0), 0);
    EXPECT_EQ(store.LastError(), CRegistryStore::kErrorKeyNotFound);
    EXPECT_EQ(store.KeyPath(), "Software\\Other");
    EXPECT_EQ(store.SetKey("Software\\Other", 0), 1);
    EXPECT_EQ(store.LastError(), CRegistryStore::kErrorNone);
    // The key goes away behind the store's back: WriteInt does not make it again.
    ASSERT_TRUE(QFile::remove(file_));
    EXPECT_EQ(store.WriteInt("CommPort", 3), 0);
    EXPECT_EQ(store.SetKey("Software\\Other", 0), 0);
}

TEST_F(RegistryStoreTest, KeyAndValueNamesMatchAsInTheRegistry) {
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 1), 1);
    ASSERT_EQ(store.WriteInt("CommPort", 3), 1);
    const struct {
        const char* path;
        int opens;
    } rows[] = {
        {"Software\\Fernwell", 1},       {"\\Software\\Fernwell\\", 1},
        {"Software\\\\Fernwell\\\\", 1}, {"SOFTWARE\\fernwell\\", 1},
        {"Software\\Fernwell\\Sub", 0},  {"Software/Fernwell", 0},
        {"Software\\Fern", 0},           {"Fernwell", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        CRegistryStore other;
        ASSERT_EQ(other.SetKey(row.path, 0), row.opens);
        if (row.opens) {
            EXPECT_EQ(other.ReadInt("commport", kDefault), 3);
        }
    }
    // A write under another spelling replaces the value instead of adding a second one.
    ASSERT_EQ(store.WriteInt("COMMPORT", 5), 1);
    EXPECT_EQ(store.ReadInt("CommPort", kDefault), 5);
    EXPECT_EQ(ReadFile(file_).count("ommPort"), 1);
}

TEST_F(RegistryStoreTest, UnusualValueNamesStayApart) {
    const std::string names[] = {"a/b", "a%2Fb", "%", "@", "", "@key", "a\\b", "Grüße"};
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 1), 1);
    for (std::size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(store.ValueExists(names[i]), 0);
        EXPECT_EQ(store.WriteInt(names[i], 100 + int(i)), 1);
    }
    CRegistryStore reader;
    ASSERT_EQ(reader.SetKey(kPath, 0), 1);
    for (std::size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(reader.ReadInt(names[i], kDefault), 100 + int(i));
    }
}

TEST_F(RegistryStoreTest, CorruptFileKeepsItsReadableKeysThroughAWrite) {
    const struct {
        QByteArray junk;  // put before, between and after the two sections
        int keep;         // what [Other] Keep reads, before the write and after it
    } rows[] = {
        {"this is not an ini line", 7},
        {QByteArray("\x01\x02\xff\xfe\x00\x7f\n\x00\x00", 9), 7},
        {"[Unclosed section", 7},
        {"=\n[[[\n]]]\n===", 7},
        {"Fernwell\\CommPort", 7},
        // A quoted value runs on over line ends up to its closing quote, so the first
        // section becomes part of a value: unreadable before the write, and after it.
        {"x=\"unterminated", kDefault},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.junk.toStdString());
        QTemporaryDir home;
        ScopedEnv xdg("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        WriteFile(SettingsFile(home.path()),
                  row.junk + "\n[Other]\nKeep=dword:00000007\n" + row.junk +
                      "\n[Software]\nFernwell\\CommPort=dword:00000002\n" + row.junk + "\n");
        CRegistryStore other;
        other.SetKey("Other", 0);
        EXPECT_EQ(other.ReadInt("Keep", kDefault), row.keep);
        CRegistryStore store;
        ASSERT_EQ(store.SetKey(kPath, 0), 1);
        EXPECT_EQ(store.ReadInt("CommPort", kDefault), 2);
        EXPECT_EQ(store.WriteInt("CommPort", 4), 1);
        EXPECT_EQ(store.ReadInt("CommPort", kDefault), 4);
        EXPECT_EQ(other.ReadInt("Keep", kDefault), row.keep);
    }
}

TEST_F(RegistryStoreTest, UnreadableFileHoldsNoKeyAndIsNotReplaced) {
    ASSERT_TRUE(QDir().mkpath(file_));  // a directory where the file should be
    CRegistryStore store;
    EXPECT_EQ(store.SetKey(kPath, 0), 0);
    EXPECT_EQ(store.LastError(), CRegistryStore::kErrorAccessDenied);
    EXPECT_EQ(store.SetKey(kPath, 1), 0);
    EXPECT_EQ(store.WriteInt("CommPort", 3), 0);  // on the root: the path is still empty
    EXPECT_EQ(store.ValueExists("CommPort"), 0);
    EXPECT_EQ(store.ReadInt("CommPort", kDefault), kDefault);
    EXPECT_TRUE(QFileInfo(file_).isDir());
    // The other roots have files of their own and still work.
    ASSERT_EQ(store.SetRootKey(HKEY_USERS), 1);
    EXPECT_EQ(store.SetKey(kPath, 1), 1);
}

// QSettings keeps only its first error: after the parse error of a corrupt file, a failed
// replace is not reported by it, yet WriteInt must answer 0.
TEST_F(RegistryStoreTest, CorruptFileInAReadOnlyDirectoryFailsTheWrite) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into directories regardless of their permissions";
    }
    WriteFile(file_, "junk\n[Software]\nFernwell\\CommPort=dword:00000002\n");
    const QString dir = QFileInfo(file_).absolutePath();
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 0), 1);
    EXPECT_EQ(store.WriteInt("CommPort", 3), 0);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(store.ReadInt("CommPort", kDefault), 2);
}

TEST_F(RegistryStoreTest, WritesOfOtherStoresAndProgramsAreKept) {
    CRegistryStore first, second;
    ASSERT_EQ(first.SetKey(kPath, 1), 1);
    ASSERT_EQ(second.SetKey(kPath, 1), 1);
    EXPECT_EQ(first.WriteInt("CommPort", 3), 1);
    EXPECT_EQ(second.WriteInt("Baud", 1200), 1);

    // A second instance of the program writes in between; this process has the file cached.
    const pid_t child = fork();
    if (child == 0) {
        CRegistryStore other;
        _exit(other.SetKey(kPath, 0) == 1 && other.WriteInt("Model", 640) == 1 ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(first.WriteInt("CommPort", 4), 1);

    CRegistryStore reader;
    ASSERT_EQ(reader.SetKey(kPath, 0), 1);
    EXPECT_EQ(reader.ReadInt("CommPort", kDefault), 4);
    EXPECT_EQ(reader.ReadInt("Baud", kDefault), 1200);
    EXPECT_EQ(reader.ReadInt("Model", kDefault), 640);
}

TEST_F(RegistryStoreTest, EachRootHasItsOwnFile) {
    CRegistryStore user, machine, users;
    ASSERT_EQ(machine.SetRootKey(HKEY_LOCAL_MACHINE), 1);
    ASSERT_EQ(users.SetRootKey(HKEY_USERS), 1);
    ASSERT_TRUE(user.SetKey(kPath, 1) && user.WriteInt("CommPort", 3));
    ASSERT_TRUE(machine.SetKey(kPath, 1) && machine.WriteInt("CommPort", 9));
    EXPECT_TRUE(ReadFile(SettingsFile(dir_.path(), "HKEY_LOCAL_MACHINE")).contains("CommPort"));
    EXPECT_EQ(user.ReadInt("CommPort", kDefault), 3);
    EXPECT_EQ(machine.ReadInt("CommPort", kDefault), 9);
    EXPECT_EQ(users.SetKey(kPath, 0), 0);
}

// An unset or relative XDG_CONFIG_HOME (invalid by the XDG rules) means ~/.config.
TEST(RegistryStoreLocation, FallsBackToHomeConfig) {
    for (const std::optional<QByteArray>& xdg :
         {std::optional<QByteArray>(), std::optional(QByteArray("rel"))}) {
        QTemporaryDir home;
        ScopedEnv homeEnv("HOME", home.path().toLocal8Bit());
        ScopedEnv xdgEnv("XDG_CONFIG_HOME", xdg);
        CRegistryStore store;
        ASSERT_EQ(store.SetKey(kPath, 1), 1);
        EXPECT_TRUE(QFile::exists(SettingsFile(home.path() + "/.config")));
    }
}

}  // namespace
