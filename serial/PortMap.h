#pragma once
// How COM numbers (1..255, the numbers the user sees) map to devices. On Windows COM N is
// the device \\.\COMN and there is no ports directory. Elsewhere:
//
//  1. A link `comN` in the ports directory names the device of COM N. Users link
//     /dev/serial/by-id/... there; fernwell-sim puts its pseudo-terminal there.
//  2. Otherwise COM1-32 = /dev/ttyS0-31, COM33-64 = /dev/ttyUSB0-31,
//     COM65-96 = /dev/ttyACM0-31; COM97 and up have no default device.
//
// Two variables move the system folders, so tests can lay out fake devices:
// FERNWELL_DEV_ROOT stands for /dev and FERNWELL_SYSFS_ROOT for /sys (unset or empty: the
// real ones). Links in the ports directory are taken as they are.

#include <string>

namespace portmap {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 255;

// $XDG_CONFIG_HOME/fernwell/ports, or ~/.config/fernwell/ports when the variable is unset.
std::string PortsDirectory();

// The device path of COM `portNumber`, or an empty string when it has none. For a link the
// path it resolves to (the link itself when it dangles).
std::string DevicePath(int portNumber);

// Whether COM `portNumber` exists: its device opens, or fails only for lack of rights or
// because it is busy. A dangling link and a ttyS without a UART do not exist.
bool PortExists(int portNumber);

// What the device of COM `portNumber` is, from the system's records, for the port lists:
// "FT232R USB UART (FTDI, A12345)" for a USB adapter (product, maker, serial number as the
// device reports them), "built-in serial port" for a UART, "pseudo-terminal" for a pty such
// as fernwell-sim's. An empty string when nothing is known (no device, a plain file).
// On Linux from udev; a fake FERNWELL_SYSFS_ROOT tree is read directly. On Windows from the
// device properties the Plug and Play manager keeps for the port.
std::string PortDescription(int portNumber);

// The reason shown after "Error Opening COM%d:\n" when opening `device` failed with the
// system error `error`: the system's own text, plus for missing rights the group that owns
// the device, and for a busy device which program holds it (serial/PortHolder.h).
std::string OpenErrorText(int error, const std::string& device);

// The system's own words for an error code of this platform: an errno value on POSIX, a
// system error code (GetLastError) on Windows, as CSerialPort::LastError and LastIoError give
// them. One line, no full stop added.
std::string SystemErrorText(int error);

// What the system error of a failed open (CSerialPort::LastError) says about the port, for
// the port lists: another program holds it, the user may not open it, its device is no
// serial port (a file or /dev/null behind a link), or anything else.
enum class OpenFailure { kInUse, kNoPermission, kNotSerial, kOther };
OpenFailure ClassifyOpenError(int error);

// For `fernwell-cli ports`: whether COM `portNumber` is free, held by another program, not
// open to this user, or no serial terminal at all (a file, /dev/null behind a link). Only
// looks: the port's line settings and modem lines stay as they are, and so does whatever is
// wired to it. On Linux without opening the device at all (its node, the kernel's list of
// tty drivers, the access rights, the processes that hold it and the locks on it); on Windows
// by a plain open and close, without touching the line's settings.
enum class PortState { kFree, kInUse, kNoPermission, kNotSerial };
PortState LookAtPort(int portNumber);

}  // namespace portmap
