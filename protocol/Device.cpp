#include "protocol/Device.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <type_traits>
#include <vector>

#include "protocol/Commands.h"
#include "serial/PortMap.h"
#include "serial/SerialPort.h"

namespace {

std::atomic<int> bytePauseMs{50};

// Reads the module into a record of its own and compares it with what was sent. Only a dump
// of the right shape is judged: one stray line before it shifts every field, and the
// comparison would then blame the module for values it holds correctly. Such a read-back is
// a garbled reply, not a list of differences.
template <class Device, class Record>
LinkResult ReadBack(Device& device, const Record& sent, std::vector<ReadBackMismatch>& mismatches) {
    constexpr int lastLine = std::is_same_v<Record, ModuleData612> ? kDumpLines612 : kDumpLines640;
    Record held;
    LinkResult result = device.ReadAll(held);
    if (result == kLinkOk && !DumpShapeOk(device.LastReply(), lastLine)) {
        result = kLinkMissingSeparator;
    }
    if (result == kLinkOk) {
        mismatches = CompareReadBack(sent, held);
    }
    return result;
}

}  // namespace

int DeviceBase::BytePauseMs() {
    return bytePauseMs.load();
}

void DeviceBase::SetBytePauseMs(int ms) {
    bytePauseMs.store(std::max(ms, 0));
}

bool DeviceBase::SendByte(char byte) {
    int count = 1;
    const bool sent = port_.Write(&byte, count) == 0 && count == 1;
    const int pause = BytePauseMs();
    if (sent && pause > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    }
    return sent;
}

int DeviceBase::SendCommand(const std::string& command) {
    return SendAll({command}, {}, nullptr);
}

LinkResult DeviceBase::SendAll(const std::vector<std::string>& commands,
                               const UploadObserver& observer, UploadReport* report) {
    UploadReport local;
    UploadReport& r = report != nullptr ? *report : local;
    r = UploadReport{commands, 0, 0, 0};
    const int total = CommandBytes(commands);
    for (const std::string& command : commands) {
        for (const char byte : command) {
            if (port_.Cancelled()) {
                return kLinkCancelled;
            }
            if (!SendByte(byte)) {
                r.ioError = port_.LastIoError();
                return port_.Cancelled() ? kLinkCancelled : kLinkWriteFailed;
            }
            ++r.bytesSent;
            if (observer) {
                observer(r.bytesSent, total);
            }
        }
        ++r.commandsSent;
    }
    return kLinkOk;
}

LinkResult DeviceBase::Query(char letter, int maxChars, std::string& reply) {
    reply.clear();
    lastReply_.clear();
    if (!online_) {
        return kLinkOffline;
    }
    const char command[2] = {letter, '\r'};
    int count = 2;
    (void)port_.Write(command, count);

    // The port ends the reply with a zero byte: room for maxChars + 1.
    std::vector<char> buffer(static_cast<std::size_t>(maxChars) + 1, '\0');
    count = maxChars;
    if (port_.Read(buffer.data(), count) != 0) {
        count = 0;  // no port held: nothing arrived
    }
    reply.assign(buffer.data(), static_cast<std::size_t>(std::clamp(count, 0, maxChars)));
    lastReply_ = reply;
    if (port_.Cancelled()) {
        return kLinkCancelled;
    }
    if (port_.ReadOverran()) {
        return kLinkGarbledReply;  // still dribbling when the largest reply would have ended
    }
    return kLinkOk;
}

const char* CDevice612::UnitName(int index) {
    return index >= 0 && index < kUnitCount612 ? kUnitNames612[index] : "";
}

LinkResult CDevice612::ReadAll(ModuleData612& data) {
    std::string reply;
    const LinkResult result = Query('v', kDumpReadChars, reply);
    return result != kLinkOk ? result : DecodeDump612(reply, data);
}

LinkResult CDevice612::SendConfig(const ModuleData612& data, const UploadObserver& observer,
                                  UploadReport* report) {
    return online_ ? SendAll(ConfigCommands612(data), observer, report) : kLinkOffline;
}

LinkResult CDevice612::VerifyConfig(const ModuleData612& sent,
                                    std::vector<ReadBackMismatch>& mismatches) {
    return ReadBack(*this, sent, mismatches);
}

const char* CDevice640::UnitName(int index) {
    return index >= 0 && index < kUnitCount640 ? kUnitNames640[index] : "";
}

double CDevice640::UnitFactor(int index) {
    return index >= 0 && index < kUnitCount640 ? kUnitFactors640[index] : 1.0;
}

LinkResult CDevice640::ReadAll(ModuleData640& data) {
    std::string reply;
    const LinkResult result = Query('v', kDumpReadChars, reply);
    return result != kLinkOk ? result : DecodeDump640(reply, data);
}

LinkResult CDevice640::ReadFlow(double& flow) {
    std::string reply;
    const LinkResult result = Query('f', kValueReadChars, reply);
    return result != kLinkOk ? result : DecodeFlowReply(reply, flow);
}

LinkResult CDevice640::ReadHighStatus(std::uint32_t& status) {
    std::string reply;
    const LinkResult result = Query('h', kValueReadChars, reply);
    return result != kLinkOk ? result : DecodeStatusReply(reply, 'h', status);
}

LinkResult CDevice640::ReadLowStatus(std::uint32_t& status) {
    std::string reply;
    const LinkResult result = Query('l', kValueReadChars, reply);
    return result != kLinkOk ? result : DecodeStatusReply(reply, 'l', status);
}

LinkResult CDevice640::SendConfig(const ModuleData640& data, const UploadObserver& observer,
                                  UploadReport* report) {
    return online_ ? SendAll(ConfigCommands640(data), observer, report) : kLinkOffline;
}

LinkResult CDevice640::VerifyConfig(const ModuleData640& sent,
                                    std::vector<ReadBackMismatch>& mismatches) {
    return ReadBack(*this, sent, mismatches);
}

std::string ShowCommand(const std::string& command) {
    std::string shown;
    for (const char c : command) {
        if (c == '\r') {
            shown += "\\r";
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string StoppedUploadText(LinkResult result, const UploadReport& report) {
    std::string whole;
    for (int i = 0; i < report.commandsSent; ++i) {
        whole += (i > 0 ? " " : "") + ShowCommand(report.commands[static_cast<std::size_t>(i)]);
    }
    const std::string stopped =
        report.commandsSent < static_cast<int>(report.commands.size())
            ? ShowCommand(report.commands[static_cast<std::size_t>(report.commandsSent)])
            : "the end";
    const std::string why =
        result == kLinkCancelled
            ? "stopped by the user"
            : std::string("a byte could not be sent: ") +
                  (report.ioError != 0 ? portmap::SystemErrorText(report.ioError)
                                       : std::strerror(EIO));
    return "the upload stopped at " + stopped + " (" + why +
           "). Sent whole: " + (whole.empty() ? "none" : whole) + ".";
}

Model ModelOf(const ModuleRecord& record) {
    return std::holds_alternative<ModuleData640>(record) ? Model::k640 : Model::k612;
}

namespace {

template <class Record, class Device>
LinkResult ReadWhole(CSerialPort& port, const int& online, ModuleRecord& record, int lastLine) {
    Device device(port, online);
    Record data;
    LinkResult result = device.ReadAll(data);
    if (result == kLinkOk && !DumpShapeOk(device.LastReply(), lastLine)) {
        result = kLinkGarbledDump;
    }
    record = data;
    return result;
}

}  // namespace

LinkResult ReadWholeRecord(Model model, CSerialPort& port, const int& online,
                           ModuleRecord& record) {
    if (model == Model::k640) {
        return ReadWhole<ModuleData640, CDevice640>(port, online, record, kDumpLines640);
    }
    return ReadWhole<ModuleData612, CDevice612>(port, online, record, kDumpLines612);
}
