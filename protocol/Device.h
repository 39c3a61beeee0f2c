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

#include "protocol/ModuleData.h"

class CSerialPort;

// Result of every query and upload.
using LinkResult = int;
enum : LinkResult {
    kLinkOk = 0,                // the output has been filled
    kLinkOffline = 1,           // the online flag is zero; nothing was sent
    kLinkShortReply = 2,        // dump too short, or marker of a single-value reply missing
    kLinkMissingSeparator = 3,  // a dump line lacked its CR LF; earlier fields are stored
};

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
    // Sends `commands` in order through SendCommand, reporting progress to `observer`.
    void SendAll(const std::string* commands, int count, const UploadObserver& observer);

    void* owner_;
    CSerialPort& port_;
    const int& online_;
};

class CDevice612 : public CDeviceBase {
public:
    using CDeviceBase::CDeviceBase;
    LinkResult ReadAll(ModuleData612& data);
    LinkResult SendConfig(const ModuleData612& data, const UploadObserver& observer = {});
};

class CDevice640 : public CDeviceBase {
public:
    using CDeviceBase::CDeviceBase;
    LinkResult ReadAll(ModuleData640& data);
    LinkResult ReadFlow(double& flow);
    LinkResult ReadHighStatus(std::uint32_t& status);
    LinkResult ReadLowStatus(std::uint32_t& status);
    LinkResult SendConfig(const ModuleData640& data, const UploadObserver& observer = {});
};
