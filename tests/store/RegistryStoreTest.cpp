// CRegistryStore off Windows: the settings files under $XDG_CONFIG_HOME/fernwell/. Every test
// runs in a fresh temporary configuration directory.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/ConfigFolder.h"
#include "store/RegistryStore.h"
#include "store/StateFolder.h"

namespace {
// Runs once, at the next fsync of this process (see fsync below).
std::function<void()> gAtNextSync;
}  // namespace

// This program's fsync, in place of the C library's: the store syncs its temporary file just
// before it checks that the file it read is still in place, so a test can put another file
// there at that very moment, as a program that ignores the lock might, without a race.
extern "C" int fsync(int fd) {
    if (gAtNextSync) {
        std::exchange(gAtNextSync, {})();
    }
    return static_cast<int>(syscall(SYS_fsync, fd));
}

namespace {

const std::string kPath = "Software\\Fernwell\\";
constexpr int kDefault = 42;

namespace fs = std::filesystem;

// Sets (or, with nullopt, unsets) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            saved_ = old;
        }
        Set(value);
    }
    ~ScopedEnv() { Set(saved_); }

private:
    void Set(const std::optional<std::string>& value) {
        value ? setenv(name_, value->c_str(), 1) : unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> saved_;
};

// A fresh directory, removed with all it holds on destruction.
class TempDir {
public:
    TempDir() {
        std::string name = (fs::temp_directory_path() / "fernwell-store-XXXXXX").string();
        if (mkdtemp(name.data()) != nullptr) {
            path_ = name;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string SettingsFile(const std::string& configHome, const char* root = "HKEY_CURRENT_USER") {
    return configHome + "/fernwell/" + root + ".ini";
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteFile(const std::string& path, const std::string& text) {
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    ASSERT_FALSE(error) << error.message();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(file.write(text.data(), static_cast<std::streamsize>(text.size())).flush());
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Runs `body` in a child process and returns its result (-1 when the child died).
int InChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
               ? WEXITSTATUS(status)
               : -1;
}

// A character device like /dev/null (1,3) at `path`; only root may make one.
bool MakeNullDevice(const std::string& path) {
    return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

class RegistryStoreTest : public ::testing::Test {
protected:
    TempDir dir_;
    ScopedEnv xdg_{"XDG_CONFIG_HOME", dir_.path()};
    const std::string file_ = SettingsFile(dir_.path());
};

TEST_F(RegistryStoreTest, FirstStartCreatesTheKeyAndThePortDefaultsToOne) {
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 1), 1);
    EXPECT_EQ(store.KeyPath(), kPath);
    EXPECT_EQ(store.ValueExists("CommPort"), 0);
    EXPECT_EQ(store.ReadInt("CommPort", 1), 1);
    EXPECT_EQ(ReadFile(file_), "[Software]\nFernwell\\%40key=\n");
    struct stat info {};
    ASSERT_EQ(stat(file_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    // The key persists with no value in it: a later start opens it without creating.
    CRegistryStore later;
    EXPECT_EQ(later.SetKey(kPath, 0), 1);
    EXPECT_EQ(later.LastError(), CRegistryStore::kErrorNone);
    EXPECT_EQ(later.ValueExists("CommPort"), 0);
    // Byte for byte what the program wrote when it used QSettings.
    ASSERT_EQ(later.WriteInt("CommPort", 3), 1);
    EXPECT_EQ(ReadFile(file_),
              "[Software]\nFernwell\\%40key=\nFernwell\\CommPort=\"hex:03,00,00,00\"\n");
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
    const std::string text = ReadFile(file_);
    CRegistryStore reader;
    ASSERT_EQ(reader.SetKey(kPath, 0), 1);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].line);
        EXPECT_TRUE(Contains(text, rows[i].line)) << text;
        EXPECT_EQ(reader.ReadInt("V" + std::to_string(i), kDefault), rows[i].value);
    }
}

TEST_F(RegistryStoreTest, WritesStringsAsUtf16AndReadsThemBack) {
    const struct {
        const char* value;
        const char* line;
        const char* readBack;
    } rows[] = {
        {"", R"(Fernwell\S0="hex(1):00,00")", ""},
        {"Ab", R"(Fernwell\S1="hex(1):41,00,62,00,00,00")", "Ab"},
        {"\xc3\xa9\xe2\x82\xac", R"(Fernwell\S2="hex(1):e9,00,ac,20,00,00")",
         "\xc3\xa9\xe2\x82\xac"},
        {"\xf0\x9f\x98\x80", R"(Fernwell\S3="hex(1):3d,d8,00,de,00,00")", "\xf0\x9f\x98\x80"},
        {"a\xff", R"(Fernwell\S4="hex(1):61,00,fd,ff,00,00")", "a\xef\xbf\xbd"},  // not UTF-8
        {"x\ny", R"(Fernwell\S5="hex(1):78,00,0a,00,79,00,00,00")", "x\ny"},
    };
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 1), 1);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(store.WriteString("S" + std::to_string(i), rows[i].value), 1);
    }
    const std::string text = ReadFile(file_);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].line);
        EXPECT_TRUE(Contains(text, rows[i].line)) << text;
        EXPECT_EQ(store.ReadString("S" + std::to_string(i), "-"), rows[i].readBack);
    }
    // A number is no string, and a missing value gives the default.
    ASSERT_EQ(store.WriteInt("N", 3), 1);
    EXPECT_EQ(store.ReadString("N", "-"), "-");
    EXPECT_EQ(store.ReadString("Missing", "-"), "-");
}

TEST_F(RegistryStoreTest, ReadsStoredNotations) {
    const struct {
        const char* stored;
        int expected;
    } rows[] = {
        {R"("hex:03,00,00,00")", 3},
        {"hex:03,00,00,00", 3},  // unquoted: a list, joined again
        {R"(hex:03, "00" ,00,00 ; comment)", 3},
        {R"("\x68\x65x:0\x33")", 3},  // escapes
        {"@ByteArray(hex:03)", 3},
        {"hex:03, 00, 00, 00", 3},
        {"dword:00000003", 3},
        {"dword:ffffffff", -1},
        {R"("hex(4):05,00,00,00")", 5},         // type not checked
        {R"("hex:07")", 7},                     // shorter: the low bytes
        {R"("hex:03,00,00,00,00")", kDefault},  // longer
        {R"("hex(b):03,00,00,00,00,00,00,00")", kDefault},
        {R"("hex(zz):03,00,00,00")", kDefault},  // type number not hex
        {"dword:100000000", kDefault},
        {R"("hex:03,0g,00,00")", kDefault},
        {R"("text")", kDefault},
        {R"("hex:03;00")", kDefault},
    };
    std::string text = "[Software]\n";
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        text += "Fernwell\\V" + std::to_string(i) + "=" + rows[i].stored + "\n";
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
    ASSERT_TRUE(fs::remove(file_));
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
    const std::string text = ReadFile(file_);
    const std::size_t first = text.find("ommPort");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("ommPort", first + 1), std::string::npos) << text;
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

// Files as the program wrote them with QSettings, and as hands may have edited them.
TEST_F(RegistryStoreTest, ReadsFilesInTheirNotation) {
    const struct {
        const char* text;
        const char* path;
        const char* name;
        int expected;
    } rows[] = {
        {"[Software]\nFernwell\\%40key=\nFernwell\\CommPort=\"hex:03,00,00,00\"\n",
         "Software\\Fernwell", "CommPort", 3},
        {"[Software]\r\nFernwell\\CommPort=dword:00000004\r\n", "Software\\Fernwell", "CommPort",
         4},
        {"\xEF\xBB\xBF[Software]\nFernwell\\CommPort=dword:00000005", "Software\\Fernwell",
         "CommPort", 5},
        {"[Software\\Fernwell]\nCommPort=dword:00000006\n", "Software\\Fernwell", "CommPort", 6},
        {"  [ Software ] x\n ; note\n\tFernwell\\CommPort = dword:00000007 ;x\n",
         "Software\\Fernwell", "CommPort", 7},
        {"CommPort=dword:00000008\n[General]\nOther=dword:00000001\n", "", "CommPort", 8},
        {"[general]\nCommPort=dword:00000009\n", "", "CommPort", 9},
        {"[%General]\nCommPort=dword:0000000a\n", "General", "CommPort", 10},
        {"[Software]\nFernwell\\Gr%FC%DFe=dword:0000000b\n", "Software\\Fernwell", "GRÜßE", 11},
        {"[Software]\nFernwell\\%U20AC%UD83D%UDE00=dword:0000000c\n", "Software\\Fernwell", "€😀",
         12},
        {"[Software]\nFernwell\\a%252Fb=dword:0000000d\n", "Software\\Fernwell", "a/b", 13},
        {"[Software]\nFernwell\\%2540key=dword:0000000e\n", "Software\\Fernwell", "@key", 14},
        {"[Software]\nFernwell\\%40=dword:0000000f\n", "Software\\Fernwell", "", 15},
        // The last of two counts; names differing in case are two values, the exact one wins.
        {"[Software]\nFernwell\\CommPort=dword:1\nFernwell\\CommPort=dword:11\n",
         "Software\\Fernwell", "CommPort", 17},
        {"[Software]\nFernwell\\commport=dword:1\nFernwell\\CommPort=dword:12\n",
         "Software\\Fernwell", "CommPort", 18},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        WriteFile(file_, row.text);
        CRegistryStore store;
        ASSERT_EQ(store.SetKey(row.path, 0), 1);
        EXPECT_EQ(store.ReadInt(row.name, kDefault), row.expected);
    }
}

// A line that cannot be read is kept as it is and ends where the line ends: the keys after it
// read, and a write changes only the line of its own value or adds one.
TEST_F(RegistryStoreTest, UnreadableLinesAreKeptAndSwallowNothing) {
    const std::string junk[] = {
        "this is not an ini line",
        std::string("\x01\x02\xff\xfe\x00\x7f\n\x00\x00", 9),
        "[Unclosed section",
        "[[[\n]]]\n===",
        "Fernwell\\CommPort",
        "x=\"unterminated",      // a quote would run on over the line ends
        "x=\"unterminated\n\"",  // even to a quote further down
        "x=continued\\",         // as would a last backslash
        "[Sec\"tion]",
    };
    for (const std::string& bad : junk) {
        SCOPED_TRACE(bad);
        const std::string before = bad + "\n[Other]\nKeep=dword:00000007\n" + bad +
                                   "\n[Software]\nFernwell\\CommPort=dword:00000002\n" + bad + "\n";
        WriteFile(file_, before);
        CRegistryStore other;
        CRegistryStore store;
        ASSERT_EQ(store.SetKey(kPath, 0), 1);
        EXPECT_EQ(store.ReadInt("CommPort", kDefault), 2);
        EXPECT_EQ(other.SetKey("Other", 0), 1);
        EXPECT_EQ(other.ReadInt("Keep", kDefault), 7);
        EXPECT_EQ(store.WriteInt("CommPort", 4), 1);
        EXPECT_EQ(store.WriteInt("Baud", 5), 1);  // a new value
        EXPECT_EQ(store.ReadInt("CommPort", kDefault), 4);
        EXPECT_EQ(store.ReadInt("Baud", kDefault), 5);
        EXPECT_EQ(other.ReadInt("Keep", kDefault), 7);
        std::string after = before;
        const std::string old = "CommPort=dword:00000002";
        after.replace(after.find(old), old.size(),
                      "CommPort=\"hex:04,00,00,00\"\nFernwell\\Baud=\"hex:05,00,00,00\"");
        EXPECT_EQ(ReadFile(file_), after);
    }
}

// A rewritten line keeps its own line end; a new line takes the file's first one (CR LF here).
TEST_F(RegistryStoreTest, LinesKeepTheirOwnLineEnds) {
    WriteFile(file_, "[Other]\r\nA=dword:1\r\n[Software]\nFernwell\\CommPort=dword:2\n");
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 0), 1);
    EXPECT_EQ(store.WriteInt("CommPort", 4), 1);
    EXPECT_EQ(store.WriteInt("Baud", 5), 1);
    EXPECT_EQ(ReadFile(file_),
              "[Other]\r\nA=dword:1\r\n[Software]\nFernwell\\CommPort=\"hex:04,00,00,00\"\n"
              "Fernwell\\Baud=\"hex:05,00,00,00\"\r\n");
}

// Only a regular file of at most 1 MiB is a settings file. Anything else at its place holds no
// key, is never written, and whatever it leads to stays as it was; nothing waits on a FIFO. A
// write that would make the file larger than that fails.
TEST_F(RegistryStoreTest, OnlyARegularFileIsReadOrWritten) {
    const std::string valid = "[Software]\nFernwell\\CommPort=dword:00000002\n";
    std::string path, target;  // set for each row, in a directory of its own
    const auto padded = [&](std::size_t size) {
        return valid + std::string(size - valid.size() - 1, ';') + "\n";
    };
    const struct {
        const char* what;
        std::function<bool()> make;  // false: cannot be made here
        bool reads;                  // a 1 MiB file reads, but cannot grow
    } rows[] = {
        {"a directory", [&] { return fs::create_directories(path); }, false},
        {"a link to a regular file",
         [&] {
             WriteFile(target, valid);
             return symlink(target.c_str(), path.c_str()) == 0;
         },
         false},
        {"a link to a character device",
         [&] { return MakeNullDevice(target) && symlink(target.c_str(), path.c_str()) == 0; },
         false},
        {"a character device", [&] { return MakeNullDevice(path); }, false},
        {"a FIFO", [&] { return mkfifo(path.c_str(), 0600) == 0; }, false},
        {"a dangling link", [&] { return symlink(target.c_str(), path.c_str()) == 0; }, false},
        {"a file of 1 MiB and a byte",
         [&] { return WriteFile(path, padded(1024 * 1024 + 1)), true; }, false},
        {"a file of 1 MiB", [&] { return WriteFile(path, padded(1024 * 1024)), true; }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir home;
        ScopedEnv xdg("XDG_CONFIG_HOME", home.path());
        ASSERT_TRUE(fs::create_directories(home.path() + "/fernwell"));
        path = SettingsFile(home.path());
        target = home.path() + "/target";
        if (!row.make()) {
            ASSERT_EQ(errno, EPERM);
            std::printf("skipped \"%s\": only root makes device nodes\n", row.what);
            continue;
        }
        // Regular files only: reading the FIFO here would wait for a writer.
        const auto contents = [](const std::string& name, const struct stat& info) {
            return S_ISREG(info.st_mode) ? ReadFile(name) : std::string();
        };
        struct stat before = {};
        struct stat targetBefore = {};
        lstat(path.c_str(), &before);
        const bool hasTarget = lstat(target.c_str(), &targetBefore) == 0;
        const std::string text = contents(path, before);
        const std::string targetText = contents(target, targetBefore);

        alarm(10);  // a store that waits on the FIFO ends the test here
        CRegistryStore store;
        EXPECT_EQ(store.SetKey(kPath, 0), row.reads ? 1 : 0);
        EXPECT_EQ(store.LastError(),
                  row.reads ? CRegistryStore::kErrorNone : CRegistryStore::kErrorAccessDenied);
        EXPECT_EQ(store.SetKey(kPath, 1), row.reads ? 1 : 0);
        EXPECT_EQ(store.ReadInt("CommPort", kDefault), row.reads ? 2 : kDefault);
        EXPECT_EQ(store.WriteInt("CommPort", 3), 0);
        alarm(0);

        struct stat after = {};
        struct stat targetAfter = {};
        lstat(path.c_str(), &after);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(contents(path, after), text);
        EXPECT_EQ(lstat(target.c_str(), &targetAfter) == 0, hasTarget);
        if (hasTarget) {
            EXPECT_EQ(targetAfter.st_mode, targetBefore.st_mode);
            EXPECT_EQ(targetAfter.st_rdev, targetBefore.st_rdev);
            EXPECT_EQ(contents(target, targetAfter), targetText);
        }
    }
}

// A write goes to "<file>.tmp", is synced and renamed over the file. When it fails part way, or
// the file is no longer the one it read, the file there is left whole, the write answers 0 and
// the temporary file is gone; when it succeeds the file keeps its mode.
TEST_F(RegistryStoreTest, AFailedWriteLeavesTheFileAsItWas) {
    const std::string before =
        "[Software]\nFernwell\\CommPort=dword:00000002\n; " + std::string(4000, 'x') + "\n";
    const std::string path = file_, temp = path + ".tmp";
    const struct {
        const char* what;
        std::function<void()> prepare;  // runs in the writing process
    } rows[] = {
        {"the disk fills up half way",
         [] {
             signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
             const rlimit limit{2048, 2048};
             setrlimit(RLIMIT_FSIZE, &limit);
         }},
        {"the temporary name is taken", [&] { mkdir(temp.c_str(), 0700); }},
        // Same text, another file: only the file's identity tells that it was replaced.
        {"another file is put in its place meanwhile",
         [&] {
             gAtNextSync = [&] {
                 WriteFile(path + ".other", before);
                 rename((path + ".other").c_str(), path.c_str());
             };
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        WriteFile(file_, before);
        const int result = InChild([&] {
            row.prepare();
            CRegistryStore store;
            return store.SetKey(kPath, 0) * 10 + store.WriteInt("CommPort", 3);
        });
        EXPECT_EQ(result, 10);  // the key opened, the write failed
        EXPECT_EQ(ReadFile(file_), before);
        struct stat info {};
        EXPECT_TRUE(lstat(temp.c_str(), &info) != 0 || S_ISDIR(info.st_mode));
        rmdir(temp.c_str());
    }

    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 0), 1);
    EXPECT_EQ(store.WriteInt("CommPort", 3), 1);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_NE(lstat(temp.c_str(), &info), 0);
    EXPECT_EQ(store.ReadInt("CommPort", kDefault), 3);
}

// Without the right to write the file, or to make files in its directory (root has both always),
// the write fails and the file stays as it was.
TEST_F(RegistryStoreTest, ReadOnlyFileOrDirectoryFailsTheWrite) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes regardless of permissions";
    }
    const std::string path = file_, dir = fs::path(file_).parent_path().string();
    const struct {
        const char* what;
        std::string target;
        mode_t mode;
    } rows[] = {{"a read-only file", path, 0444}, {"a read-only directory", dir, 0500}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        WriteFile(file_, "junk\n[Software]\nFernwell\\CommPort=dword:00000002\n");
        ASSERT_EQ(chmod(row.target.c_str(), row.mode), 0);
        CRegistryStore store;
        ASSERT_EQ(store.SetKey(kPath, 0), 1);
        EXPECT_EQ(store.WriteInt("CommPort", 3), 0);
        EXPECT_EQ(store.ReadInt("CommPort", kDefault), 2);
        ASSERT_EQ(chmod(row.target.c_str(), row.target == path ? 0600 : 0700), 0);
    }
}

// Root writing in a folder of another user (sudo keeps HOME) leaves everything it made there,
// folders and lock file included, to that user: the user's own program can still read the
// file, take the lock and replace the file. A lock file root left behind earlier is given back.
TEST_F(RegistryStoreTest, RootLeavesTheUsersSettingsTheUsers) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can write in another user's folder";
    }
    constexpr uid_t kUser = 65534;
    constexpr gid_t kGroup = 65534;
    const std::string home = dir_.path() + "/home";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    ASSERT_EQ(chown(home.c_str(), kUser, kGroup), 0);
    for (const bool lockLeftByRoot : {false, true}) {
        SCOPED_TRACE(lockLeftByRoot ? "a root-owned lock file already there" : "nothing there yet");
        const std::string config = home + "/config";
        if (lockLeftByRoot) {
            fs::remove_all(config);
            WriteFile(SettingsFile(config) + ".lock", "");
            ASSERT_EQ(chown((config + "/fernwell").c_str(), kUser, kGroup), 0);
            ASSERT_EQ(chown(config.c_str(), kUser, kGroup), 0);
        }
        ScopedEnv xdg("XDG_CONFIG_HOME", config);
        CRegistryStore store;
        ASSERT_EQ(store.SetKey(kPath, 1), 1);
        ASSERT_EQ(store.WriteInt("CommPort", 3), 1);
        for (const std::string& path :
             {config, config + "/fernwell", SettingsFile(config), SettingsFile(config) + ".lock"}) {
            struct stat info {};
            ASSERT_EQ(stat(path.c_str(), &info), 0) << path;
            EXPECT_EQ(info.st_uid, kUser) << path;
            EXPECT_EQ(info.st_gid, kGroup) << path;
        }
    }
}

// Two instances writing at the same time: each change is made under the lock on what the other
// wrote before, so none is lost.
TEST_F(RegistryStoreTest, WritesOfOtherInstancesAreKept) {
    constexpr int kWrites = 20;
    CRegistryStore first;
    ASSERT_EQ(first.SetKey(kPath, 1), 1);
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        if (children[c] == 0) {
            CRegistryStore store;
            int ok = store.SetKey(kPath, 0);
            for (int i = 0; i < kWrites; ++i) {
                ok &= store.WriteInt("V" + std::to_string(c) + "_" + std::to_string(i), i);
            }
            _exit(ok == 1 ? 0 : 1);
        }
    }
    EXPECT_EQ(first.WriteInt("CommPort", 4), 1);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CRegistryStore reader;
    ASSERT_EQ(reader.SetKey(kPath, 0), 1);
    EXPECT_EQ(reader.ReadInt("CommPort", kDefault), 4);
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kWrites; ++i) {
            EXPECT_EQ(reader.ReadInt("V" + std::to_string(c) + "_" + std::to_string(i), kDefault),
                      i);
        }
    }
}

TEST_F(RegistryStoreTest, EachRootHasItsOwnFile) {
    CRegistryStore user, machine, users;
    ASSERT_EQ(machine.SetRootKey(HKEY_LOCAL_MACHINE), 1);
    ASSERT_EQ(users.SetRootKey(HKEY_USERS), 1);
    ASSERT_TRUE(user.SetKey(kPath, 1) && user.WriteInt("CommPort", 3));
    ASSERT_TRUE(machine.SetKey(kPath, 1) && machine.WriteInt("CommPort", 9));
    EXPECT_TRUE(Contains(ReadFile(SettingsFile(dir_.path(), "HKEY_LOCAL_MACHINE")), "CommPort"));
    EXPECT_EQ(user.ReadInt("CommPort", kDefault), 3);
    EXPECT_EQ(machine.ReadInt("CommPort", kDefault), 9);
    EXPECT_EQ(users.SetKey(kPath, 0), 0);
}

// An unset or relative XDG_CONFIG_HOME (invalid by the XDG rules) means ~/.config, where the
// settings file goes; the same for XDG_STATE_HOME and ~/.local/state, the journal's folder.
TEST(RegistryStoreLocation, FallsBackToHomeConfig) {
    struct Row {
        const char* variable;
        const char* underHome;
        std::string (*folder)();
    };
    for (const Row& row : {Row{"XDG_CONFIG_HOME", "/.config", ConfigFolder},
                           Row{"XDG_STATE_HOME", "/.local/state", StateFolder}}) {
        for (const std::optional<std::string>& xdg :
             {std::optional<std::string>(), std::optional<std::string>("rel")}) {
            SCOPED_TRACE(row.variable + std::string("=") + xdg.value_or("(unset)"));
            TempDir home;
            ScopedEnv homeEnv("HOME", home.path());
            ScopedEnv xdgEnv(row.variable, xdg);
            EXPECT_EQ(row.folder(), home.path() + row.underHome + "/fernwell");
        }
    }
    TempDir home;
    ScopedEnv homeEnv("HOME", home.path());
    ScopedEnv xdgEnv("XDG_CONFIG_HOME", std::nullopt);
    CRegistryStore store;
    ASSERT_EQ(store.SetKey(kPath, 1), 1);
    EXPECT_TRUE(fs::exists(SettingsFile(home.path() + "/.config")));
}

}  // namespace
