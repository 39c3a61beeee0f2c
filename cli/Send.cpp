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

// Read, apply, check, then upload (or, with --dry-run, only show) what SendConfig sends, and
// read the module back to see that it holds it.
template <class Record, class Device>
int SendRecord(ModuleLink& link, const SendSettings& settings, const CliOptions& options,
               const Streams& io) {
    const std::string& portName = link.Name();
    Record data;
    std::string reply;
    if (const LinkResult result = link.Exchange([&](CSerialPort& port, const int& online) {
            Device device(port, online);
            const LinkResult r = device.ReadAll(data);
            reply = device.LastReply();
            return r;
        });
        result != kLinkOk) {
        return Fail(io, CommFailure(portName, result));
    }
    // The keys not given go back to the module as read: only from a dump that is clean, or
    // one shifted line would upload every setting wrong.
    constexpr int lastLine = std::is_same_v<Record, ModuleData612> ? kDumpLines612 : kDumpLines640;
    if (!DumpShapeOk(reply, lastLine)) {
        return Fail(io, {kExitComm,
                         "Error Communicating to Module, Check Serial and Power "
                         "Cables (" +
                             portName + ": a garbled parameter dump; nothing was sent)"});
    }
    if (auto failure = ApplySendSettings(settings, data)) {
        return Fail(io, *failure);
    }
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
    UploadReport report;
    const UploadObserver progress = ProgressOn(io.err, portName);
    const LinkResult result = link.Exchange([&](CSerialPort& port, const int& online) {
        return Device(port, online).SendConfig(data, progress, &report);
    });
    if (result != kLinkOk) {
        if (IsTerminal(io.err)) {
            std::fputc('\n', io.err);  // end the progress line
        }
        return Fail(io, UploadFailure(portName, result, report));
    }
    if (!options.verify) {
        PrintSent(commands, io, nullptr);
        return kExitOk;
    }
    std::vector<ReadBackMismatch> mismatches;
    if (const LinkResult readBack = link.Exchange([&](CSerialPort& port, const int& online) {
            return Device(port, online).VerifyConfig(data, mismatches);
        });
        readBack != kLinkOk) {
        PrintSent(commands, io, nullptr);
        CliFailure failure = CommFailure(portName, readBack);
        failure.message += std::string(" ") + res::kVerifyUnread;
        return Fail(io, failure);
    }
    PrintSent(commands, io, &mismatches);
    if (!mismatches.empty()) {
        std::string text = "The module does not hold what was sent (" + portName + "):";
        for (const ReadBackMismatch& m : mismatches) {
            text += " " + m.field + " sent " + m.sent + ", holds " + m.held + ";";
        }
        text.back() = '.';
        return Fail(io, {kExitComm, text});
    }
    return kExitOk;
}

}  // namespace

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
    if (link.ModuleModel() == Model::k640) {
        return SendRecord<ModuleData640, CDevice640>(link, settings, options, io);
    }
    return SendRecord<ModuleData612, CDevice612>(link, settings, options, io);
}
