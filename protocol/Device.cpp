#include "protocol/Device.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "protocol/Commands.h"
#include "serial/SerialPort.h"

namespace {

std::atomic<int> bytePauseMs{50};

}  // namespace

int CDeviceBase::BytePauseMs() {
    return bytePauseMs.load();
}

void CDeviceBase::SetBytePauseMs(int ms) {
    bytePauseMs.store(std::max(ms, 0));
}

void CDeviceBase::SendByte(char byte) {
    int count = 1;
    (void)port_.Write(&byte, count);  // the module gives no answer a write could be checked by
    const int pause = BytePauseMs();
    if (pause > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    }
}

int CDeviceBase::SendCommand(const std::string& command) {
    for (const char byte : command) {
        SendByte(byte);
    }
    return 0;
}

void CDeviceBase::SendAll(const std::string* commands, int count, const UploadObserver& observer) {
    int total = 0;
    for (int i = 0; i < count; ++i) {
        total += static_cast<int>(commands[i].size());
    }
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        for (const char byte : commands[i]) {
            SendByte(byte);
            ++sent;
            if (observer) {
                observer(sent, total);
            }
        }
    }
}

LinkResult CDeviceBase::Query(char letter, int maxChars, std::string& reply) {
    reply.clear();
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

LinkResult CDevice612::SendConfig(const ModuleData612& data, const UploadObserver& observer) {
    if (!online_) {
        return kLinkOffline;
    }
    const std::vector<std::string> commands = ConfigCommands612(data);
    SendAll(commands.data(), static_cast<int>(commands.size()), observer);
    return kLinkOk;
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

LinkResult CDevice640::SendConfig(const ModuleData640& data, const UploadObserver& observer) {
    if (!online_) {
        return kLinkOffline;
    }
    const std::vector<std::string> commands = ConfigCommands640(data);
    SendAll(commands.data(), static_cast<int>(commands.size()), observer);
    return kLinkOk;
}
