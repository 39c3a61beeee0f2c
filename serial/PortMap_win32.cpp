// COM numbers on Windows: COM N is the device \\.\COMN; the system keeps the list itself.

#include <windows.h>
// initguid.h first, so this file defines the property keys and class GUIDs it names.
#include <initguid.h>
//
#include <cfgmgr32.h>
#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "serial/PortMap.h"

namespace portmap {

std::string PortsDirectory() {
    return {};
}

std::string DevicePath(int portNumber) {
    if (portNumber < kFirstPort || portNumber > kLastPort) {
        return {};
    }
    char device[50];
    std::snprintf(device, sizeof device, "\\\\.\\COM%d", portNumber);
    return device;
}

bool PortExists(int portNumber) {
    const std::string device = DevicePath(portNumber);
    if (device.empty()) {
        return false;
    }
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    // Present but in use (the program's own open port answers so) or not permitted.
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_GEN_FAILURE ||
           error == ERROR_SHARING_VIOLATION;
}

namespace {

std::string Utf8(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

// A string property of a device (DEVPKEY_...), or an empty string.
std::string StringProperty(HDEVINFO set, SP_DEVINFO_DATA& info, const DEVPROPKEY& key) {
    wchar_t buffer[512];
    DEVPROPTYPE type = 0;
    if (!SetupDiGetDevicePropertyW(set, &info, &key, &type, reinterpret_cast<PBYTE>(buffer),
                                   sizeof buffer - sizeof(wchar_t), nullptr, 0) ||
        type != DEVPROP_TYPE_STRING) {
        return {};
    }
    buffer[511] = L'\0';
    return Utf8(buffer);
}

// The port name ("COM33") a device of the Ports class was given, from its device key.
std::wstring PortName(HDEVINFO set, SP_DEVINFO_DATA& info) {
    HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<LPBYTE>(name), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::wstring(name) : std::wstring();
}

// The serial number of the USB device the port sits on: the last part of its instance id
// "USB\VID_0403&PID_6001\A12345", where the device reports one (an id the system made up
// itself holds '&'). Empty when the port is not on USB or reports no serial number.
// Sets `onUsb` when a USB device was found among the ancestors.
std::string UsbSerial(DEVINST device, bool& onUsb) {
    onUsb = false;
    DEVINST current = device;
    // A few levels suffice: port -> FTDIBUS or usbser function -> USB device.
    for (int depth = 0; depth < 4; ++depth) {
        wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
        if (CM_Get_Device_IDW(current, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
            return {};
        }
        if (std::wcsncmp(id, L"USB\\", 4) == 0) {
            onUsb = true;
            const wchar_t* last = std::wcsrchr(id, L'\\');
            if (last == nullptr || std::wcschr(last, L'&') != nullptr) {
                return {};
            }
            return Utf8(last + 1);
        }
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, current, 0) != CR_SUCCESS) {
            return {};
        }
        current = parent;
    }
    return {};
}

}  // namespace

// The device of the Ports class whose PortName is COM N: for a USB adapter the product name
// its hardware reports, with the maker and the serial number; "built-in serial port" for
// a standard UART (the ACPI PNP0501 device); otherwise the device's description.
std::string PortDescription(int portNumber) {
    if (portNumber < kFirstPort || portNumber > kLastPort) {
        return {};
    }
    const std::wstring wanted = L"COM" + std::to_wstring(portNumber);
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string text;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        if (_wcsicmp(PortName(set, info).c_str(), wanted.c_str()) != 0) {
            continue;
        }
        bool onUsb = false;
        const std::string serial = UsbSerial(info.DevInst, onUsb);
        const std::string description = StringProperty(set, info, DEVPKEY_Device_DeviceDesc);
        if (!onUsb) {
            wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
            const bool uart =
                CM_Get_Device_IDW(info.DevInst, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS &&
                std::wcsstr(id, L"PNP0501") != nullptr;
            text = uart ? "built-in serial port" : description;
            break;
        }
        std::string product = StringProperty(set, info, DEVPKEY_Device_BusReportedDeviceDesc);
        if (product.empty()) {
            product = description;
        }
        std::vector<std::string> details;
        if (std::string maker = StringProperty(set, info, DEVPKEY_Device_Manufacturer);
            !maker.empty()) {
            details.push_back(maker);
        }
        if (!serial.empty()) {
            details.push_back(serial);
        }
        text = product;
        for (std::size_t d = 0; d < details.size(); ++d) {
            text += (d == 0 ? " (" : ", ") + details[d];
        }
        if (!details.empty()) {
            text += ")";
        }
        break;
    }
    SetupDiDestroyDeviceInfoList(set);
    return text;
}

// The system's message for the error, without the line break FormatMessage ends it with.
std::string SystemErrorText(int error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text = length != 0 && buffer != nullptr ? std::string(buffer, length)
                                                        : "Error " + std::to_string(error);
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// The system's message, and what it means for a COM port where the system's words do not say
// it: a port that another program holds refuses every other open with "Access is denied."
// (there are no per-user rights on COM ports), and a device without line settings fails their
// first call.
std::string OpenErrorText(int error, const std::string& /*device*/) {
    std::string text = SystemErrorText(error);
    switch (ClassifyOpenError(error)) {
        case OpenFailure::kInUse:
            text += " The port is in use by another program.";
            break;
        case OpenFailure::kNotSerial:
            text += " The device is not a serial port.";
            break;
        default:
            break;
    }
    return text;
}

// ERROR_GEN_FAILURE counts as in use, as it does for the port probe (PortExists).
OpenFailure ClassifyOpenError(int error) {
    switch (static_cast<DWORD>(error)) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_GEN_FAILURE:
            return OpenFailure::kInUse;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            return OpenFailure::kNotSerial;
        default:
            return OpenFailure::kOther;
    }
}

// A plain open and close: no SetCommState, so the line keeps its settings. Reading them
// (GetCommState) tells a serial port from any other device a COM name may lead to (under
// Wine a link to /dev/null opens too).
PortState LookAtPort(int portNumber) {
    const std::string device = DevicePath(portNumber);
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        const bool serial = GetCommState(h, &dcb) != 0;
        CloseHandle(h);
        return serial ? PortState::kFree : PortState::kNotSerial;
    }
    switch (ClassifyOpenError(static_cast<int>(GetLastError()))) {
        case OpenFailure::kInUse:
            return PortState::kInUse;
        case OpenFailure::kNoPermission:
            return PortState::kNoPermission;
        case OpenFailure::kNotSerial:
            return PortState::kNotSerial;
        default:
            return PortState::kFree;  // it exists and nobody holds it
    }
}

}  // namespace portmap
