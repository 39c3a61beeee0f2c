// fernwell-cli send: read the module, apply the keys given, upload what the configuration
// dialogs' Send uploads, and read the module back to check it.

#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

#include "cli/Commands.h"
#include "cli/ModuleLink.h"
#include "cli/SendSettings.h"
#include "protocol/Commands.h"
#include "protocol/Device.h"
#include "records/Journal.h"
#include "rules/SensorRules.h"
#include "texts/Strings.h"

namespace {

// Upload progress on a terminal: one line redrawn in place, ended when the upload ends.
UploadObserver ProgressOn(std::FILE* err, const std::string& portName) {
    if (!IsTerminal(err)) {
        return {};
    }
    return [err, portName, shown = -1](int sent, int total) mutable {
        const int percent = total > 0 ? sent * 100 / total : 100;
        if (percent == shown && sent != total) {
            return;
        }
        shown = percent;
        std::fprintf(err, "\rSending to %s: %3d%% (%d of %d bytes)", portName.c_str(), percent,
                     sent, total);
        if (sent == total) {
            std::fputc('\n', err);
        }
        std::fflush(err);
    };
}

// What was sent, and (after a read-back) whether the module holds it. A dry run says so, in
// text and JSON alike, so its output is never taken for a real upload's.
void PrintSent(const std::vector<std::string>& commands, const Streams& io,
               const std::vector<ReadBackMismatch>* mismatches, bool dryRun = false) {
    if (io.json) {
        Json sent = Json::array();
        for (const std::string& c : commands) {
            sent.push_back(JsonString(ShowCommand(c)));
        }
        Json object{{"sent", sent}};
        if (dryRun) {
            object["dryRun"] = true;
        }
        if (mismatches != nullptr) {
            Json list = Json::array();
            for (const ReadBackMismatch& m : *mismatches) {
                list.push_back(Json{{"field", JsonString(m.field)},
                                    {"sent", JsonString(m.sent)},
                                    {"held", JsonString(m.held)}});
            }
            object["verified"] = mismatches->empty();
            object["mismatches"] = list;
        }
        PrintJson(io, object);
        return;
    }
    std::string text;
    for (const std::string& c : commands) {
        text += ShowCommand(c) + "\n";
    }
    if (mismatches != nullptr && mismatches->empty()) {
        text += "Verified: the module holds every value sent.\n";
    }
    if (dryRun) {
        text += "Dry run: nothing was sent.\n";
    }
    Print(io, text);
}

// An upload that stopped: where, and what the module may now hold.
CliFailure UploadFailure(const std::string& portName, LinkResult result,
                         const UploadReport& report) {
    const std::string text =
        StoppedUploadText(result, report) + " The module may now hold part of the new settings.";
    if (result == kLinkCancelled) {
        return {kExitInterrupted, "Interrupted (" + portName + "): " + text};
    }
    return {kExitComm, "Error Communicating to Module, Check Serial and Power Cables (" + portName +
                           ": " + text + ")"};
}

// Upload `data` (what SendConfig sends) and read the module back to see that it holds it;
// the journal gets a line whatever the outcome, `before` being the record read first.
template <class Record, class Device>
int Upload(ModuleLink& link, const Record& before, const Record& data, const CliOptions& options,
           const Streams& io) {
    const std::string& portName = link.Name();
    std::vector<std::string> commands;
    if constexpr (std::is_same_v<Record, ModuleData612>) {
        commands = ConfigCommands612(data);
    } else {
        commands = ConfigCommands640(data);
    }
    if (options.dryRun) {
        PrintSent(commands, io, nullptr, true);
        return kExitOk;
    }
    UploadOutcome outcome;
    outcome.verifyRun = options.verify;
    const auto journal = [&] {
        // The journal keeps what the module will hold, as it keeps `before`: the 612's pulse
        // unit as read back (0x51 goes out and is held as 51).
        Record held = data;
        if constexpr (std::is_same_v<Record, ModuleData612>) {
            held.PulseUnitCode = PulseUnitHeldFromSent(data.PulseUnitCode);
        }
        if (auto error = JournalUpload({"fernwell-cli", portName}, before, held, outcome)) {
            PrintError(io, *error);
        }
    };
    const UploadObserver progress = ProgressOn(io.err, portName);
    outcome.upload = link.Exchange([&](CSerialPort& port, const int& online) {
        return Device(port, online).SendConfig(data, progress, &outcome.report);
    });
    if (outcome.upload != kLinkOk) {
        if (IsTerminal(io.err)) {
            std::fputc('\n', io.err);  // end the progress line
        }
        journal();
        return Fail(io, UploadFailure(portName, outcome.upload, outcome.report));
    }
    if (!options.verify) {
        journal();
        PrintSent(commands, io, nullptr);
        return kExitOk;
    }
    outcome.verify = link.Exchange([&](CSerialPort& port, const int& online) {
        return Device(port, online).VerifyConfig(data, outcome.mismatches);
    });
    journal();
    if (outcome.verify != kLinkOk) {
        PrintSent(commands, io, nullptr);
        CliFailure failure = CommFailure(portName, outcome.verify);
        failure.message += std::string(" ") + res::kVerifyUnread;
        return Fail(io, failure);
    }
    PrintSent(commands, io, &outcome.mismatches);
    if (!outcome.mismatches.empty()) {
        std::string text = "The module does not hold what was sent (" + portName + "):";
        for (const ReadBackMismatch& m : outcome.mismatches) {
            text += " " + m.field + " sent " + m.sent + ", holds " + m.held + ";";
        }
        text.back() = '.';
        return Fail(io, {kExitComm, text});
    }
    return kExitOk;
}

}  // namespace

int UploadSettings(ModuleLink& link, const ApplySettings& apply, const CliOptions& options,
                   const Streams& io) {
    ModuleRecord before;
    if (auto failure = ReadModuleRecord(link, before)) {
        return Fail(io, *failure);
    }
    ModuleRecord data = before;
    if (auto failure = apply(data)) {
        return Fail(io, *failure);
    }
    if (const auto* d640 = std::get_if<ModuleData640>(&data)) {
        return Upload<ModuleData640, CDevice640>(link, std::get<ModuleData640>(before), *d640,
                                                 options, io);
    }
    return Upload<ModuleData612, CDevice612>(link, std::get<ModuleData612>(before),
                                             std::get<ModuleData612>(data), options, io);
}

int RunSend(const CliOptions& options, const Streams& io) {
    StopRequest stop;
    // The model given before the port decides the keys, the upload set and the read-back, as
    // it decides the baud rate.
    ModuleLink link(options.targets.empty() ? CliTarget{} : options.targets.front(), options.model,
                    stop);
    SendSettings settings;
    if (auto failure = ParseSendSettings(link.ModuleModel(), options.args, settings)) {
        return Fail(io, *failure);
    }
    if (auto failure = link.Open()) {
        return Fail(io, *failure);
    }
    // The keys given apply over the record read; the rest goes back as the module holds it.
    const auto apply = [&settings](ModuleRecord& data) {
        return std::visit([&](auto& d) { return ApplySendSettings(settings, d); }, data);
    };
    return UploadSettings(link, apply, options, io);
}
