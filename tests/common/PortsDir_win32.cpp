#include <windows.h>

#include <string>

#include "tests/common/PortsDir.h"
#include "tests/common/WineUnix_win32.h"

namespace fwtest {

namespace {

// On Linux each ScopedPortsDir is a folder of its own, so one made inside another (a suite's
// simulator on COM1, a test's rig with its own COM1) hides the outer one and leaves it as it
// was. Under Wine there is one dosdevices folder and one registry, so the same is done by
// hand: the outer links and settings are put aside on construction and come back on
// destruction. The depth names what was put aside.
int depth = 0;

const char* const kKey = "Software\\Fernwell";

std::string SavedKey(int level) {
    return "Software\\FernwellTestSaved\\" + std::to_string(level);
}

void MoveKey(const std::string& from, const std::string& to) {
    RegDeleteTreeA(HKEY_CURRENT_USER, to.c_str());
    HKEY source = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, from.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS) {
        return;  // nothing stored
    }
    HKEY target = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &target, nullptr) == ERROR_SUCCESS) {
        RegCopyTreeA(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    RegDeleteTreeA(HKEY_CURRENT_USER, from.c_str());
}

std::string SavedLinks(int level) {
    return wine::ScratchDir() + "/com-links." + std::to_string(level);
}

}  // namespace

ScopedPortsDir::ScopedPortsDir(bool isolateFixedDevices) {
    root_ = wine::DosDevices();
    if (root_.empty()) {
        return;
    }
    ++depth;
    MoveKey(kKey, SavedKey(depth));
    // Every comN link is written down ("comN target" lines); those of an outer scope go, and
    // Wine's own COM1 to COM4 (to /dev/ttyS0 to 3, which it maps by itself) go too unless
    // asked for: like the machine's own devices on Linux they take no part.
    const std::string keepFixed =
        isolateFixedDevices ? "" : "case $(readlink \"$l\") in /dev/ttyS*) continue ;; esac; ";
    wine::RunScript("cd " + wine::ShellQuote(root_) + " || exit 1\n" +
                    "for l in com[0-9]*; do [ -L \"$l\" ] || continue; "
                    "printf '%s %s\\n' \"$l\" \"$(readlink \"$l\")\"; done >" +
                    wine::ShellQuote(SavedLinks(depth)) + "\n" +
                    "for l in com[0-9]*; do [ -L \"$l\" ] || continue; " + keepFixed +
                    "rm -f \"$l\"; done");
}

ScopedPortsDir::~ScopedPortsDir() {
    if (root_.empty()) {
        return;
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    MoveKey(SavedKey(depth), kKey);
    wine::RunScript("cd " + wine::ShellQuote(root_) + " || exit 1\n" +
                    "for l in com[0-9]*; do [ -L \"$l\" ] && rm -f \"$l\"; done\n" +
                    "while read -r l t; do ln -sfn \"$t\" \"$l\"; done <" +
                    wine::ShellQuote(SavedLinks(depth)));
    --depth;
}

std::string ScopedPortsDir::ConfigHome() const {
    return root_;
}
std::string ScopedPortsDir::PortsDir() const {
    return root_;
}

bool ScopedPortsDir::Link(int comNumber, const std::string& target) const {
    const std::string link = root_ + "/com" + std::to_string(comNumber);
    return wine::RunScript("ln -sfn " + wine::ShellQuote(target) + " " + wine::ShellQuote(link)) ==
           0;
}

bool ScopedPortsDir::Unlink(int comNumber) const {
    const std::string link = root_ + "/com" + std::to_string(comNumber);
    return wine::RunScript("rm " + wine::ShellQuote(link)) == 0;
}

}  // namespace fwtest
