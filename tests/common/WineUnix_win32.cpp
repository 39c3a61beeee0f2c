#include "tests/common/WineUnix_win32.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fwtest::wine {
namespace {

namespace fs = std::filesystem;

std::atomic<int> scriptCount{0};

}  // namespace

std::optional<std::string> ReadText(const std::string& unixPath) {
    std::ifstream in(WindowsPath(unixPath), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string UnixPath(const std::string& windowsPath) {
    using ToUnix = char* (*)(const WCHAR*);
    static const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) {
        return {};
    }
    const std::wstring wide = fs::path(windowsPath).wstring();
    char* unix = toUnix(wide.c_str());
    if (unix == nullptr) {
        return {};
    }
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::string DosDevices() {
    // Wine names C: by its link in dosdevices ("<prefix>/dosdevices/c:/"), or by the folder it
    // points at ("<prefix>/drive_c/").
    std::string driveC = UnixPath("C:\\");
    while (driveC.size() > 1 && driveC.back() == '/') {
        driveC.pop_back();
    }
    if (driveC.empty()) {
        return {};
    }
    const fs::path path(driveC);
    return path.filename() == "c:" ? path.parent_path().generic_string()
                                   : (path.parent_path() / "dosdevices").generic_string();
}

std::string ScratchDir() {
    static const std::string dir = [] {
        const std::string path = UnixPath(fs::temp_directory_path().string()) + "/fernwell-test-" +
                                 std::to_string(GetCurrentProcessId());
        // Wine hands out small process ids again and again: what an earlier run left goes.
        std::error_code ec;
        fs::remove_all(WindowsPath(path), ec);
        fs::create_directories(WindowsPath(path), ec);
        return path;
    }();
    return dir;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

bool StartScript(const std::string& script) {
    const std::string path = ScratchDir() + "/script" + std::to_string(++scriptCount) + ".sh";
    {
        std::ofstream out(WindowsPath(path), std::ios::binary);
        out << script << "\n";
        if (!out.flush()) {
            return false;
        }
    }
    std::string command = "/bin/sh " + path;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    // A Unix program comes back without handles; close any that came.
    if (info.hProcess != nullptr) {
        CloseHandle(info.hProcess);
    }
    if (info.hThread != nullptr) {
        CloseHandle(info.hThread);
    }
    return true;
}

std::optional<int> RunScript(const std::string& script, int timeoutMs) {
    static std::atomic<int> runCount{0};
    const std::string done = ScratchDir() + "/done" + std::to_string(++runCount);
    if (!StartScript("(" + script + "\n); echo $? >" + ShellQuote(done + ".part") + " && mv " +
                     ShellQuote(done + ".part") + " " + ShellQuote(done))) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (const std::optional<std::string> status = ReadText(done)) {
            return std::stoi(*status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

}  // namespace fwtest::wine
