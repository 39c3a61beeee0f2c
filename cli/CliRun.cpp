#include "cli/CliRun.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ModuleLink.h"
#include "cli/SendSettings.h"
#include "protocol/Commands.h"
#include "protocol/Device.h"
#include "records/RecordFields.h"
#include "rules/AlarmStatus.h"
#include "rules/CalculateFormulas.h"
#include "serial/PortMap.h"
#include "serial/SerialPort.h"

namespace {

// A listed port's state, found without opening it the way a command does (no line settings,
// no RTS, no purge): whatever else is wired to the port is left alone.
// nullptr: the device is no serial terminal (a file, a FIFO, /dev/null behind a link).
const char* PortState(int number) {
    switch (portmap::LookAtPort(number)) {
        case portmap::PortState::kFree:
            return "free";
        case portmap::PortState::kInUse:
            return "in use";
        case portmap::PortState::kNoPermission:
            return "no permission";
        case portmap::PortState::kNotSerial:
            return nullptr;
    }
    return nullptr;
}

template <class Record, class Device>
ModuleResult ReadRecord(ModuleLink& link) {
    Record data;
    const LinkResult result = link.Exchange([&data](CSerialPort& port, const int& online) {
        return Device(port, online).ReadAll(data);
    });
    if (result != kLinkOk) {
        return Failed(CommFailure(link.Name(), result));
    }
    const ReportFields fields = RecordFields(data);
    return {kExitOk, {}, ToText(fields), ToJson(fields)};
}

int Dispatch(const CliOptions& options, const Streams& io) {
    if (auto failure = SamePortTwice(options.targets)) {
        return Fail(io, *failure);
    }
    switch (options.command) {
        case CliCommand::Ports:
            return RunPorts(io);
        case CliCommand::Poll:
            return RunPoll(options, io);
        case CliCommand::Watch:
            return RunWatch(options, io);
        case CliCommand::Status:
            return RunStatus(options, io);
        case CliCommand::Read:
            return RunRead(options, io);
        case CliCommand::Send:
            return RunSend(options, io);
        case CliCommand::Calc:
            return RunCalc(options, io);
        case CliCommand::Save:
            return RunSave(options, io);
        case CliCommand::Load:
            return RunLoad(options, io);
        case CliCommand::Diff:
            return RunDiff(options, io);
        case CliCommand::Report:
            return RunReport(options, io);
        case CliCommand::History:
            return RunHistory(options, io);
    }
    return kExitUsage;
}

}  // namespace

// ---- ports ------------------------------------------------------------------------------------

int RunPorts(const Streams& io) {
    std::vector<unsigned> numbers;
    EnumerateComPorts(numbers);
    Json array = Json::array();
    std::string text;
    for (const unsigned n : numbers) {
        const int number = static_cast<int>(n);
        const std::string device = portmap::DevicePath(number);
        const char* state = PortState(number);
        if (state == nullptr) {
            continue;
        }
        // What the device is ("FT232R USB UART (FTDI, A12345)"): a fourth column where known.
        const std::string description = portmap::PortDescription(number);
        array.push_back(Json{{"number", number},
                             {"device", JsonString(device)},
                             {"state", state},
                             {"description", JsonString(description)}});
        text += "COM" + std::to_string(number) + "\t" + device + "\t" + state +
                (description.empty() ? "" : "\t" + description) + "\n";
    }
    if (io.json) {
        PrintJson(io, array);
    } else {
        Print(io, text);
    }
    return kExitOk;
}

// ---- poll -------------------------------------------------------------------------------------

int RunPoll(const CliOptions& options, const Streams& io) {
    return RunEach(options, io, [](ModuleLink& link) {
        const Model model = link.ModuleModel();
        PollReading p;
        const LinkResult result = link.Exchange([&p, model](CSerialPort& port, const int& on) {
            p = PollModule(model, port, on);
            return p.result;
        });
        if (result != kLinkOk) {
            return Failed(CommFailure(link.Name(), result));
        }
        const Reading r = ReadingOf(p);
        std::string text = "Flow rate: " + FormatFixed(r.flowRate, 2) + " " + r.unit + "\n";
        if (r.alarms) {
            text += std::string("High alarm: ") + LampWord(r.highActivated) + "\n";
            text += std::string("Low alarm: ") + LampWord(r.lowActivated) + "\n";
        }
        return ModuleResult{kExitOk, {}, text, ToJson(r)};
    });
}

// ---- status -----------------------------------------------------------------------------------

// The alarm status window's live part: high status, low status, flow.
int RunStatus(const CliOptions& options, const Streams& io) {
    // A 612 has no alarms and answers no "h" or "l": it is turned away by name; the 640s
    // given with it carry on.
    const auto refuse = [&options](const ModuleLink& link) -> std::optional<CliFailure> {
        if (link.ModuleModel() == Model::k640) {
            return std::nullopt;
        }
        if (options.targets.size() <= 1) {
            return CliFailure{kExitUsage, "status reads the alarms of a 640: add --model 640"};
        }
        return CliFailure{kExitUsage, "status reads the alarms of a 640: " + link.Name() +
                                          " is a 612 (give --model 640 before its port)"};
    };
    return RunEach(
        options, io,
        [](ModuleLink& link) {
            std::uint32_t high = 0;
            std::uint32_t low = 0;
            double flow = 0;
            const LinkResult result = link.Exchange([&](CSerialPort& port, const int& online) {
                CDevice640 device(port, online);
                LinkResult r = device.ReadHighStatus(high);
                if (r == kLinkOk) {
                    r = device.ReadLowStatus(low);
                }
                if (r == kLinkOk) {
                    r = device.ReadFlow(flow);
                }
                return r;
            });
            if (result != kLinkOk) {
                return Failed(CommFailure(link.Name(), result));
            }
            const AlarmStatus h = DecodeAlarmStatus(high);
            const AlarmStatus l = DecodeAlarmStatus(low);
            return ModuleResult{kExitOk,
                                {},
                                "Flow rate: " + FormatFixed(flow, 2) + "\nHigh alarm: " +
                                    ToText(h) + "\nLow alarm: " + ToText(l) + "\n",
                                Json{
                                    {"flowRate", ModuleNumber(flow)},
                                    {"high", ToJson(h)},
                                    {"low", ToJson(l)},
                                }};
        },
        refuse);
}

// ---- read -------------------------------------------------------------------------------------

int RunRead(const CliOptions& options, const Streams& io) {
    return RunEach(options, io, [](ModuleLink& link) {
        return link.ModuleModel() == Model::k640 ? ReadRecord<ModuleData640, CDevice640>(link)
                                                 : ReadRecord<ModuleData612, CDevice612>(link);
    });
}

// ---- calc -------------------------------------------------------------------------------------

int RunCalc(const CliOptions& options, const Streams& io) {
    const std::string& entry = options.args.front();
    const std::optional<double> diameter = ParseCliNumber(entry);
    if (!diameter) {
        return Fail(io, {kExitUsage, "calc wants a diameter, not \"" + entry + "\""});
    }
    if (*diameter <= 0) {
        return Fail(io,
                    {kExitUsage, "calc wants a diameter greater than 0, not \"" + entry + "\""});
    }
    const CalcResult r =
        CalculateFromEntry(entry, options.millimeters ? kDiameterMillimeters : kDiameterInches);
    if (!r.ok) {
        return Fail(io, {kExitRejected, r.caption + ": " + r.message});
    }
    if (io.json) {
        PrintJson(io, Json{{"kFactor", r.k}, {"offset", r.offset}});
    } else {
        // As the configuration dialogs show them ("%f").
        Print(io,
              "kFactor: " + FormatFixed(r.k, 6) + "\noffset: " + FormatFixed(r.offset, 6) + "\n");
    }
    return kExitOk;
}

int RunCommand(const CliOptions& options, std::FILE* out, std::FILE* err) {
    const Streams io{out, err, options.json, 0, false, {}};
    const int status = Dispatch(options, io);
    if (io.outError != 0) {
        PrintError(io, std::string("cannot write standard output: ") + std::strerror(io.outError));
        return kExitComm;
    }
    if (status != kExitOk && io.json && !io.printed && !io.lastError.empty()) {
        PrintJson(io, Json{{"error", JsonString(io.lastError)}});
    }
    return status;
}
