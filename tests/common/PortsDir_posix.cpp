#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/common/PortsDir.h"

namespace fwtest {

namespace fs = std::filesystem;

ScopedPortsDir::ScopedPortsDir(bool isolateFixedDevices) {
    std::string pattern = (fs::temp_directory_path() / "fernwell-ports-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return;
    }
    root_ = pattern;
    std::error_code ec;
    fs::create_directories(PortsDir(), ec);
    Set("XDG_CONFIG_HOME", ConfigHome());
    if (isolateFixedDevices) {
        fs::create_directories(DevRoot(), ec);
        fs::create_directories(SysfsRoot(), ec);
        Set("FERNWELL_DEV_ROOT", DevRoot());
        Set("FERNWELL_SYSFS_ROOT", SysfsRoot());
    }
}

ScopedPortsDir::~ScopedPortsDir() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->value) {
            setenv(it->name.c_str(), it->value->c_str(), 1);
        } else {
            unsetenv(it->name.c_str());
        }
    }
    if (!root_.empty()) {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
}

void ScopedPortsDir::Set(const char* name, const std::string& value) {
    const char* old = getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    setenv(name, value.c_str(), 1);
}

std::string ScopedPortsDir::ConfigHome() const {
    return root_ + "/config";
}
std::string ScopedPortsDir::PortsDir() const {
    return ConfigHome() + "/fernwell/ports";
}
std::string ScopedPortsDir::DevRoot() const {
    return root_ + "/dev";
}
std::string ScopedPortsDir::SysfsRoot() const {
    return root_ + "/sys";
}

bool ScopedPortsDir::Link(int comNumber, const std::string& target) const {
    const fs::path link = fs::path(PortsDir()) / ("com" + std::to_string(comNumber));
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(target, link, ec);
    return !ec;
}

bool ScopedPortsDir::Unlink(int comNumber) const {
    std::error_code ec;
    return fs::remove(fs::path(PortsDir()) / ("com" + std::to_string(comNumber)), ec);
}

std::string ScopedPortsDir::MakeFakeDevice(const std::string& name) const {
    const std::string path = DevRoot() + "/" + name;
    std::error_code ec;
    fs::create_directories(DevRoot(), ec);
    std::ofstream(path).flush();
    return path;
}

bool ScopedPortsDir::SetUartType(const std::string& name, const std::string& type) const {
    const fs::path dir = fs::path(SysfsRoot()) / "class" / "tty" / name;
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::ofstream out(dir / "type");
    out << type << "\n";
    return static_cast<bool>(out.flush());
}

void ScopedPortsDir::AddSysfsTty(const std::string& name, const std::string& driver,
                                 const std::map<std::string, std::string>& usbAttributes) const {
    const fs::path sys = SysfsRoot();
    const fs::path usb = sys / "devices/pci0000:00/usb1" / ("1-" + name);
    const fs::path device =
        usbAttributes.empty() ? sys / "devices/platform/serial8250" / name : usb / "1.0" / name;
    std::error_code ec;
    fs::create_directories(device, ec);
    fs::create_directories(sys / "bus/drivers" / driver, ec);
    fs::create_symlink(sys / "bus/drivers" / driver, device / "driver", ec);
    for (const auto& [key, value] : usbAttributes) {
        std::ofstream(usb / key) << value << "\n";
    }
    fs::create_directories(sys / "class/tty" / name, ec);
    fs::create_symlink(device, sys / "class/tty" / name / "device", ec);
}

}  // namespace fwtest
