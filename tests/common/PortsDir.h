#pragma once
// A scratch machine for a test: a ports directory mapping COM numbers to devices and settings
// of its own. On Linux a temporary XDG_CONFIG_HOME; under Wine the prefix's dosdevices folder
// (where Wine looks up comN) and the program's registry key emptied before and after.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fwtest {

// For the object's lifetime, points XDG_CONFIG_HOME at a fresh temporary folder holding an
// empty fernwell/ports directory. With `isolateFixedDevices` (the default) FERNWELL_DEV_ROOT
// and FERNWELL_SYSFS_ROOT point at empty folders of it as well, so the machine's own
// /dev/ttyS*, ttyUSB* and ttyACM* take no part and only what the test lays out exists.
// The previous values of the variables come back on destruction. Not thread-safe (setenv).
// Under Wine (a Windows build) PortsDir() is the prefix's dosdevices folder as a Unix path and only
// Link() and Unlink() of the device calls are there. There being one such folder and one registry,
// the comN links and HKEY_CURRENT_USER\Software\Fernwell of an outer ScopedPortsDir are put aside
// on construction and restored on destruction, so each one starts from no ports and no stored
// settings, as on Linux.
class ScopedPortsDir {
public:
    explicit ScopedPortsDir(bool isolateFixedDevices = true);
    ~ScopedPortsDir();
    ScopedPortsDir(const ScopedPortsDir&) = delete;
    ScopedPortsDir& operator=(const ScopedPortsDir&) = delete;

    bool Ok() const { return !root_.empty(); }
    const std::string& Root() const { return root_; }
    std::string ConfigHome() const;  // the XDG_CONFIG_HOME in force
    std::string PortsDir() const;    // <ConfigHome>/fernwell/ports
    std::string DevRoot() const;     // stands for /dev
    std::string SysfsRoot() const;   // stands for /sys

    // Makes (or replaces) the link comN -> target. False on failure.
    bool Link(int comNumber, const std::string& target) const;
    bool Unlink(int comNumber) const;
    // Creates an ordinary file `name` (say "ttyUSB0") in DevRoot(): it opens like a device,
    // which is all the port probe asks of it. Returns its path.
    std::string MakeFakeDevice(const std::string& name) const;
    // Writes /sys/class/tty/<name>/type under SysfsRoot() ("0" = no UART behind a ttyS).
    bool SetUartType(const std::string& name, const std::string& type) const;
    // Lays out under SysfsRoot() what the kernel shows for tty `name`: class/tty/<name>/device
    // links to the device behind it, whose `driver` links to `driver`. With `usbAttributes`
    // (idVendor, idProduct, manufacturer, product, serial) that device sits below a USB
    // device carrying them, else on the platform bus like an on-board UART.
    void AddSysfsTty(const std::string& name, const std::string& driver,
                     const std::map<std::string, std::string>& usbAttributes) const;

private:
    struct SavedVar {
        std::string name;
        std::optional<std::string> value;
    };
    void Set(const char* name, const std::string& value);

    std::string root_;
    std::vector<SavedVar> saved_;
};

}  // namespace fwtest
