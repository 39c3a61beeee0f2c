#include "cli/ModuleLink.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <sstream>
#include <system_error>
#include <thread>

#include "protocol/Device.h"
#include "rules/AlarmStatus.h"
#include "rules/SensorRules.h"
#include "serial/PortMap.h"
#include "store/StoredPort.h"

namespace {

// The device a target reaches (its real path, through links such as comN and
// /dev/serial/by-id/...; the name itself where nothing is there).
std::string TargetDevice(const CliTarget& t) {
    const std::string path = t.device ? *t.device : portmap::DevicePath(*t.port);
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(path, ec);
    return !ec ? real.string() : path.empty() ? TargetName(t) : path;
}

}  // namespace

std::string TargetName(const CliTarget& t) {
    return t.device ? *t.device : "COM" + std::to_string(*t.port);
}

CliFailure CommFailure(const std::string& portName, LinkResult result) {
    std::string reason;
    switch (result) {
        case kLinkOffline:
            reason = "the port is not open";
            break;
        case kLinkShortReply:
            reason = "no reply, or a reply too short or without its marker";
            break;
        case kLinkMissingSeparator:
            reason = "a garbled reply (a line without its CR LF, a value that is no number)";
            break;
        case kLinkWriteFailed:
            reason = "a byte could not be sent";
            break;
        case kLinkGarbledDump:
            reason = "a garbled parameter dump; nothing was sent";
            break;
        case kLinkCancelled:
            return {kExitInterrupted, "Interrupted (" + portName + ")"};
        default:
            reason = "result " + std::to_string(result);
    }
    return {kExitComm, "Error Communicating to Module, Check Serial and Power Cables (" + portName +
                           ": " + reason + ")"};
}

std::optional<CliFailure> ReadModuleRecord(ModuleLink& link, ModuleRecord& record) {
    const Model model = link.ModuleModel();
    const LinkResult result = link.Exchange([&](CSerialPort& port, const int& online) {
        return ReadWholeRecord(model, port, online, record);
    });
    if (result == kLinkOk) {
        return std::nullopt;
    }
    return CommFailure(link.Name(), result);
}

ModuleLink::ModuleLink(const CliTarget& target, Model model, const StopRequest& stop)
    : target_(target),
      model_(target.model.value_or(model)),
      baud_(BaudRateOf(model_)),
      stop_(stop) {
    if (target_.device) {
        name_ = *target_.device;
    } else {
        number_ = target_.port ? *target_.port : ReadStoredPort();
        name_ = "COM" + std::to_string(number_);
    }
}

std::optional<CliFailure> ModuleLink::Open() {
    int result = 0;
    std::string errorText;
    std::promise<void> opened;
    auto done = [&](int r, const std::string& text) {
        result = r;
        errorText = text;
        opened.set_value();
    };
    if (target_.device) {
        link_.OpenPath(*target_.device, baud_, done);
    } else {
        link_.Open(number_, baud_, done);
    }
    opened.get_future().wait();
    if (result != CSerialPort::kOpenOk) {
        return CliFailure{kExitOpen, "Error Opening " + name_ + ": " + errorText};
    }
    return std::nullopt;
}

LinkResult ModuleLink::Exchange(
    const std::function<LinkResult(CSerialPort&, const int&)>& exchange) {
    std::promise<LinkResult> promise;
    std::future<LinkResult> result = promise.get_future();
    link_.Run([&exchange, &promise](CSerialPort& port, const int& online) {
        promise.set_value(exchange(port, online));
    });
    while (result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (stop_.Requested()) {
            link_.AbandonAndWait();  // ours has run, or was dropped and never will
            if (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                return kLinkCancelled;
            }
        }
    }
    const LinkResult r = result.get();
    return r != kLinkOk && stop_.Requested() ? kLinkCancelled : r;
}

std::vector<std::unique_ptr<ModuleLink>> Modules(const CliOptions& options,
                                                 const StopRequest& stop) {
    std::vector<CliTarget> targets = options.targets;
    if (targets.empty()) {
        targets.push_back({});
    }
    std::vector<std::unique_ptr<ModuleLink>> modules;
    for (const CliTarget& t : targets) {
        modules.push_back(std::make_unique<ModuleLink>(t, options.model, stop));
    }
    return modules;
}

std::optional<CliFailure> SamePortTwice(const std::vector<CliTarget>& targets) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            const std::string device = TargetDevice(targets[i]);
            if (device != TargetDevice(targets[j])) {
                continue;
            }
            const std::string a = TargetName(targets[j]);
            const std::string b = TargetName(targets[i]);
            return CliFailure{kExitUsage, a == b ? a + " is given twice"
                                                 : a + " and " + b + " are the same port (" +
                                                       device + "): give it once"};
        }
    }
    return std::nullopt;
}

void AllAtOnce(std::size_t count, const std::function<void(std::size_t)>& job) {
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back(job, i);
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

int RunEach(const CliOptions& options, const Streams& io,
            const std::function<ModuleResult(ModuleLink&)>& talk,
            const std::function<std::optional<CliFailure>(const ModuleLink&)>& refuse) {
    StopRequest stop;
    std::vector<std::unique_ptr<ModuleLink>> modules = Modules(options, stop);
    std::vector<ModuleResult> results(modules.size());
    AllAtOnce(modules.size(), [&](std::size_t i) {
        std::optional<CliFailure> failure;
        if (refuse) {
            failure = refuse(*modules[i]);
        }
        if (!failure) {
            failure = modules[i]->Open();
        }
        if (failure) {
            results[i] = {failure->exitCode, failure->message, {}, {}};
            return;
        }
        results[i] = talk(*modules[i]);
    });
    const bool several = modules.size() > 1;
    int worst = kExitOk;
    Json array = Json::array();
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const ModuleResult& r = results[i];
        const std::string& name = modules[i]->Name();
        worst = std::max(worst, r.exitCode);
        if (r.exitCode != kExitOk) {
            PrintError(io, r.message);
        }
        if (io.json) {
            if (!several && r.exitCode == kExitOk) {
                PrintJson(io, r.json);
                continue;
            }
            Json object = r.json;
            object["port"] = JsonString(name);
            if (r.exitCode != kExitOk) {
                object["error"] = JsonString(OneLine(r.message));
            }
            if (!several) {
                PrintJson(io, object);  // one module that failed: still one document
                continue;
            }
            array.push_back(object);
        } else if (r.exitCode == kExitOk) {
            std::string text;
            std::istringstream lines(r.text);
            for (std::string line; std::getline(lines, line);) {
                text += (several ? name + ": " : std::string()) + line + "\n";
            }
            Print(io, text);
        }
    }
    if (io.json && several) {
        PrintJson(io, array);
    }
    return worst;
}

ModuleResult Failed(const CliFailure& failure) {
    return {failure.exitCode, failure.message, {}, {}};
}

Reading ReadingOf(const PollReading& p) {
    Reading r;
    r.flowRate = p.flowRate;
    r.unit = RateUnitLabel(p.model, p.sensorCode).value_or("");
    if (p.model == Model::k640) {
        r.alarms = true;
        r.highActivated = DecodeAlarmStatus(p.highStatus).activated;
        r.lowActivated = DecodeAlarmStatus(p.lowStatus).activated;
    }
    return r;
}

Json ToJson(const Reading& r) {
    Json object{{"flowRate", ModuleNumber(r.flowRate)}, {"unit", JsonString(r.unit)}};
    if (r.alarms) {
        object["highActivated"] = r.highActivated;
        object["lowActivated"] = r.lowActivated;
    }
    return object;
}

const char* LampWord(bool lit) {
    return lit ? "activated" : "not activated";
}
