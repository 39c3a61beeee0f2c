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
#include <variant>
#include <vector>

#include "protocol/Decode.h"  // LinkResult and the reply decoders
#include "protocol/Model.h"
#include "protocol/ModuleData.h"
#include "protocol/ReadBack.h"

class CSerialPort;

// Called after each byte of an upload (and its pause): bytes sent so far, bytes in all.
using UploadObserver = std::function<void(int sent, int total)>;

// How far an upload got. A write that fails or falls short (the module hung up, the adapter
// was unplugged, the line is stuck) ends the upload at once: the module then holds the
// commands before `commandsSent` and, at most, the start of the next one.
struct UploadReport {
    std::vector<std::string> commands;  // the whole sequence, in order
    int commandsSent = 0;               // commands that went out whole
    int bytesSent = 0;
    int ioError = 0;  // the port's system error of the failed write (0: cancelled or done)
};

// An upload command as people are shown it: the CR written as the two characters \r.
std::string ShowCommand(const std::string& command);

// Where an upload that did not end stopped, and what went out whole, for the user:
// "the upload stopped at k=2.500000\r (a byte could not be sent: Input/output error). Sent
// whole: d=0051\r o=0.059000\r." `result` is the upload's (kLinkWriteFailed or
// kLinkCancelled: "stopped by the user").
std::string StoppedUploadText(LinkResult result, const UploadReport& report);

class DeviceBase {
public:
    DeviceBase(CSerialPort& port, const int& online) : port_(port), online_(online) {}

    // Byte-paced write of `command` (its CR included): one port write per byte, each followed
    // by the pause. Nothing is read back. Returns 0, kLinkWriteFailed when a byte did not go
    // out (nothing more is sent), or kLinkCancelled when the port's cancel flag was raised.
    int SendCommand(const std::string& command);

    // The bytes of the last query's reply, as the port returned them.
    const std::string& LastReply() const { return lastReply_; }

    // The pause after each uploaded byte: 50 ms. Tests and benchmarks against the fast
    // simulator shorten it; the program never changes it.
    static int BytePauseMs();
    static void SetBytePauseMs(int ms);

protected:
    // Writes the two bytes of a query and reads the reply (at most `maxChars`).
    // Returns kLinkOffline without sending when offline.
    LinkResult Query(char letter, int maxChars, std::string& reply);
    // Sends `commands` in order, byte-paced as SendCommand does, reporting progress to
    // `observer` (if any) after each byte and its pause. Stops at the first byte that does
    // not go out, or when the port's cancel flag is raised after a byte.
    LinkResult SendAll(const std::vector<std::string>& commands, const UploadObserver& observer,
                       UploadReport* report);
    // One byte in one port write (the port purges first), then the pause. Whether the byte
    // went out.
    bool SendByte(char byte);

    CSerialPort& port_;
    const int& online_;
    std::string lastReply_;
};

class CDevice612 : public DeviceBase {
public:
    using DeviceBase::DeviceBase;
    // Unit table 612 (10 names, no per-hour units, no factors). An index outside 0..9 names
    // nothing and gives "".
    static const char* UnitName(int index);

    LinkResult ReadAll(ModuleData612& data);
    // Returns kLinkOffline (nothing sent), kLinkOk, kLinkWriteFailed or kLinkCancelled;
    // `report`, when given, says how far the upload got.
    LinkResult SendConfig(const ModuleData612& data, const UploadObserver& observer = {},
                          UploadReport* report = nullptr);
    // After an upload of `sent`: reads the module back and lists every sent field it does not
    // hold as sent (CompareReadBack). Returns ReadAll's result; `mismatches` is filled only
    // on success.
    LinkResult VerifyConfig(const ModuleData612& sent, std::vector<ReadBackMismatch>& mismatches);
};

class CDevice640 : public DeviceBase {
public:
    using DeviceBase::DeviceBase;
    // Unit table 640 (13 names and their factors per mph or per gpm). An index outside 0..12
    // gives "" and the neutral factor 1.0.
    static const char* UnitName(int index);
    static double UnitFactor(int index);

    LinkResult ReadAll(ModuleData640& data);
    LinkResult ReadFlow(double& flow);
    LinkResult ReadHighStatus(std::uint32_t& status);
    LinkResult ReadLowStatus(std::uint32_t& status);
    LinkResult SendConfig(const ModuleData640& data, const UploadObserver& observer = {},
                          UploadReport* report = nullptr);
    LinkResult VerifyConfig(const ModuleData640& sent, std::vector<ReadBackMismatch>& mismatches);
};

// Either model's record, for what works on a whole record of the model in use.
using ModuleRecord = std::variant<ModuleData612, ModuleData640>;
Model ModelOf(const ModuleRecord& record);

// The whole record of `model` (ReadAll), for saving, comparing or sending back as a whole. A
// dump that decodes but has not the shape of a clean reply (DumpShapeOk: one stray line shifts
// every setting after it) is refused with kLinkGarbledDump; `record` then holds what decoded.
LinkResult ReadWholeRecord(Model model, CSerialPort& port, const int& online, ModuleRecord& record);
