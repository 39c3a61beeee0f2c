#include <windows.h>

#include "tests/common/PortsDir.h"
#include "tests/common/WineUnix_win32.h"

namespace fwtest {

namespace {

// What the program stores, as the registry holds it: removed, so a test starts with none.
void ForgetSettings() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Fernwell");
}

}  // namespace

ScopedPortsDir::ScopedPortsDir(bool isolateFixedDevices) {
    root_ = wine::DosDevices();
    ForgetSettings();
    // Wine maps COM1 to COM4 to /dev/ttyS0 to 3 by itself; like the machine's own devices on
    // Linux they take no part, so only what the test lays out exists.
    if (isolateFixedDevices && !root_.empty()) {
        wine::RunScript("find " + wine::ShellQuote(root_) +
                        " -maxdepth 1 -type l -name 'com[0-9]*' -lname '/dev/ttyS*' -delete");
    }
}

ScopedPortsDir::~ScopedPortsDir() {
    ForgetSettings();
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
