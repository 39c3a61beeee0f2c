#pragma once
// The module's command exchange. Queries are a letter and CR ("v\r", "f\r", "h\r", "l\r")
// written in one go; writes are "<letter>=<value>\r" sent one byte at a time with 50 ms
// after each byte (the module's receiver drops bytes that come faster).
//
// A protocol object is built on the stack for one operation around the main window's port and
// online flag, used and dropped. Every query and upload returns a LinkResult.

#include <cstdint>
#include <functional>
#include <string>

#include "protocol/Decode.h"  // LinkResult and the reply decoders
#include "protocol/ModuleData.h"

class CSerialPort;

// Called after each byte of an upload (and its pause): bytes sent so far, bytes in all.
using UploadObserver = std::function<void(int sent, int total)>;

class CDeviceBase {
public:
    CDeviceBase(CSerialPort& port, const int& online, void* owner = nullptr)
        : owner_(owner), port_(port), online_(online) {}

    // Byte-paced write of `command` (its CR included): one port write per byte, each followed
    // by the pause. Nothing is read back. Always returns 0.
    int SendCommand(const std::string& command);

    // The pause after each uploaded byte: 50 ms. Tests and benchmarks against the fast
    // simulator shorten it; the program never changes it.
    static int BytePauseMs();
    static void SetBytePauseMs(int ms);

protected:
    // Writes the two bytes of a query and reads the reply (at most `maxChars`).
    // Returns kLinkOffline without sending when offline.
    LinkResult Query(char letter, int maxChars, std::string& reply);
    // Sends `commands` in order, byte-paced as SendCommand does, reporting progress to
    // `observer` (if any) after each byte and its pause.
    void SendAll(const std::string* commands, int count, const UploadObserver& observer);
    // One byte in one port write (the port purges first), result ignored, then the pause.
    void SendByte(char byte);

    void* owner_;
    CSerialPort& port_;
    const int& online_;
};

class CDevice612 : public CDeviceBase {
public:
    using CDeviceBase::CDeviceBase;
    // Unit table 612 (10 names, no per-hour units, no factors). An index outside 0..9 names
    // nothing and gives "".
    static const char* UnitName(int index);

    LinkResult ReadAll(ModuleData612& data);
    LinkResult SendConfig(const ModuleData612& data, const UploadObserver& observer = {});
};

class CDevice640 : public CDeviceBase {
public:
    using CDeviceBase::CDeviceBase;
    // Unit table 640 (13 names and their factors per mph or per gpm). An index outside 0..12
    // gives "" and the neutral factor 1.0.
    static const char* UnitName(int index);
    static double UnitFactor(int index);

    LinkResult ReadAll(ModuleData640& data);
    LinkResult ReadFlow(double& flow);
    LinkResult ReadHighStatus(std::uint32_t& status);
    LinkResult ReadLowStatus(std::uint32_t& status);
    LinkResult SendConfig(const ModuleData640& data, const UploadObserver& observer = {});
};
