#pragma once
// How COM numbers (1..255, the numbers the user sees) map to devices off Windows.
//
//  1. A link `comN` in the ports directory names the device of COM N. Users link
//     /dev/serial/by-id/... there; fernwell-sim puts its pseudo-terminal there.
//  2. Otherwise COM1-32 = /dev/ttyS0-31, COM33-64 = /dev/ttyUSB0-31,
//     COM65-96 = /dev/ttyACM0-31; COM97 and up have no default device.

#include <string>

namespace portmap {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 255;

// $XDG_CONFIG_HOME/fernwell/ports, or ~/.config/fernwell/ports when the variable is unset.
std::string PortsDirectory();

// The device path of COM `portNumber`, or an empty string when it has none.
std::string DevicePath(int portNumber);

// Whether COM `portNumber` exists: its device opens, or fails only for lack of rights or
// because it is busy. A dangling link and a ttyS without a UART do not exist.
bool PortExists(int portNumber);

}  // namespace portmap
