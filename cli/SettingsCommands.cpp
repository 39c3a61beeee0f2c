// fernwell-cli save, load, diff, report and history: a module's settings in a file, the
// comparison of a module with a file or another module, the commissioning report and the
// journal of uploads.

#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ModuleLink.h"
#include "link/Poll.h"
#include "link/TimeStamp.h"
#include "link/TrendSamples.h"  // WriteTextFile
#include "records/CommissioningReport.h"
#include "records/Journal.h"
#include "records/SettingsFile.h"

namespace {

CliTarget TargetOf(const CliOptions& options, std::size_t i = 0) {
    return i < options.targets.size() ? options.targets[i] : CliTarget{};
}

// A settings file for `model`, or the refusal (exit 4: nothing was sent).
std::optional<CliFailure> ReadFile(const std::string& path, Model model, SettingsFile& file) {
    SettingsRead read = ReadSettingsFile(path, model);
    if (const auto* refusal = std::get_if<SettingsRefusal>(&read)) {
        return CliFailure{kExitRejected, OneLine(refusal->message)};
    }
    file = std::get<SettingsFile>(read);
    return std::nullopt;
}

// Opens the module and reads its record.
std::optional<CliFailure> OpenAndRead(ModuleLink& link, ModuleRecord& record) {
    if (auto failure = link.Open()) {
        return failure;
    }
    return ReadModuleRecord(link, record);
}

// The differing settings: text lines "Caption (key): first A, second B", JSON by key.
int PrintDifferences(const Streams& io, const ModuleRecord& first, const ModuleRecord& second,
                     const std::string& firstName, const std::string& secondName,
                     const std::string& identical) {
    const std::vector<SettingComparison> rows = DifferingSettings(first, second);
    const Json firstJson = SettingsJson(first);
    const Json secondJson = SettingsJson(second);
    if (io.json) {
        Json differences = Json::object();
        for (const SettingComparison& row : rows) {
            differences[row.key] = {{firstName, firstJson[row.key]},
                                    {secondName, secondJson[row.key]}};
        }
        PrintJson(io, Json{{"identical", rows.empty()}, {"differences", differences}});
    } else if (rows.empty()) {
        Print(io, identical + "\n");
    } else {
        std::string text;
        for (const SettingComparison& row : rows) {
            const std::string unit = row.unit.empty() ? "" : " " + row.unit;
            text += row.caption + " (" + row.key + "): " + firstName + " " + row.first + unit +
                    ", " + secondName + " " + row.second + unit + "\n";
        }
        Print(io, text);
    }
    return rows.empty() ? kExitOk : kExitDiffer;
}

}  // namespace

int RunSave(const CliOptions& options, const Streams& io) {
    StopRequest stop;
    ModuleLink link(TargetOf(options), options.model, stop);
    ModuleRecord record;
    if (auto failure = OpenAndRead(link, record)) {
        return Fail(io, *failure);
    }
    const std::string& path = options.args.front();
    const SettingsFileHeader header{IsoLocalTime(NowMs()), link.Name(),
                                    ProgramAndVersion("fernwell-cli"), options.note};
    if (auto error = WriteSettingsFile(path, record, header)) {
        return Fail(io, {kExitComm, "cannot write the settings file " + OneLine(*error)});
    }
    if (io.json) {
        PrintJson(io, Json{{"saved", JsonString(path)},
                           {"port", JsonString(link.Name())},
                           {"settings", SettingsJson(record)}});
    } else {
        Print(io, "Saved the settings of the " + std::to_string(ModelNumber(ModelOf(record))) +
                      " on " + link.Name() + " to " + path + ".\n");
    }
    return kExitOk;
}

int RunLoad(const CliOptions& options, const Streams& io) {
    StopRequest stop;
    ModuleLink link(TargetOf(options), options.model, stop);
    // The file is checked whole before the port is touched: a refused file sends nothing.
    SettingsFile file;
    if (auto failure = ReadFile(options.args.front(), link.ModuleModel(), file)) {
        return Fail(io, *failure);
    }
    if (auto failure = link.Open()) {
        return Fail(io, *failure);
    }
    const auto apply = [&file](ModuleRecord& data) -> std::optional<CliFailure> {
        std::visit(
            [&file](auto& module) {
                using Record = std::decay_t<decltype(module)>;
                module = SettingsForUpload(std::get<Record>(file.record), module);
            },
            data);
        return std::nullopt;
    };
    return UploadSettings(link, apply, options, io);
}

int RunDiff(const CliOptions& options, const Streams& io) {
    StopRequest stop;
    if (!options.args.empty()) {
        ModuleLink link(TargetOf(options), options.model, stop);
        SettingsFile file;
        if (auto failure = ReadFile(options.args.front(), link.ModuleModel(), file)) {
            return Fail(io, *failure);
        }
        ModuleRecord module;
        if (auto failure = OpenAndRead(link, module)) {
            return Fail(io, *failure);
        }
        return PrintDifferences(io, module, file.record, "module", "file",
                                "The module holds the same settings as the file.");
    }
    // Two modules, read at once, each on its own link.
    ModuleLink first(TargetOf(options, 0), options.model, stop);
    ModuleLink second(TargetOf(options, 1), options.model, stop);
    if (first.ModuleModel() != second.ModuleModel()) {
        return Fail(
            io, {kExitUsage, "diff compares two modules of one model: " + first.Name() + " is a " +
                                 std::to_string(ModelNumber(first.ModuleModel())) + ", " +
                                 second.Name() + " a " +
                                 std::to_string(ModelNumber(second.ModuleModel()))});
    }
    ModuleLink* links[] = {&first, &second};
    ModuleRecord records[2];
    std::optional<CliFailure> failures[2];
    AllAtOnce(2, [&](std::size_t i) { failures[i] = OpenAndRead(*links[i], records[i]); });
    for (const std::optional<CliFailure>& failure : failures) {
        if (failure) {
            return Fail(io, *failure);
        }
    }
    return PrintDifferences(io, records[0], records[1], first.Name(), second.Name(),
                            "The two modules hold the same settings.");
}

int RunReport(const CliOptions& options, const Streams& io) {
    StopRequest stop;
    ModuleLink link(TargetOf(options), options.model, stop);
    ModuleRecord record;
    if (auto failure = OpenAndRead(link, record)) {
        return Fail(io, *failure);
    }
    const Model model = link.ModuleModel();
    PollReading poll;
    if (const LinkResult result = link.Exchange([&poll, model](CSerialPort& port, const int& on) {
            poll = PollModule(model, port, on);
            return poll.result;
        });
        result != kLinkOk) {
        return Fail(io, CommFailure(link.Name(), result));
    }
    const Reading reading = ReadingOf(poll);
    ReportReading content{record, reading.flowRate, reading.unit, std::nullopt, std::nullopt};
    if (reading.alarms) {
        content.highAlarm = reading.highActivated;
        content.lowAlarm = reading.lowActivated;
    }
    const JournalRead journal = ReadJournal(JournalPath());
    if (journal.error) {
        PrintError(io, OneLine(*journal.error));
    }
    const ReportContext context{IsoLocalTime(NowMs()), ProgramAndVersion("fernwell-cli"),
                                link.Name(), LastUploadText(journal.lines, link.Name())};
    const std::string html = CommissioningReportHtml(
        {options.site, options.tag, options.technician, options.note}, content, context);
    const std::string& path = options.args.front();
    std::string error;
    if (!trend::WriteTextFile(path, html, &error)) {
        return Fail(io, {kExitComm, "cannot write the report " + path + ": " + OneLine(error)});
    }
    if (io.json) {
        PrintJson(io, Json{{"report", JsonString(path)}, {"port", JsonString(link.Name())}});
    } else {
        Print(io, "Wrote the commissioning report of " + link.Name() + " to " + path + ".\n");
    }
    return kExitOk;
}

int RunHistory(const CliOptions& options, const Streams& io) {
    const std::string path = JournalPath();
    const JournalRead journal = ReadJournal(path);
    if (journal.error) {
        return Fail(io, {kExitComm, OneLine(*journal.error)});
    }
    if (journal.skipped > 0) {
        PrintError(io, path + ": " + std::to_string(journal.skipped) +
                           " line(s) that are not JSON were skipped");
    }
    // A port given names the port the lines were written for, as the window and the
    // commands name it ("COM3" or the device path).
    std::optional<std::string> port;
    if (!options.targets.empty()) {
        port = TargetName(options.targets.front());
    }
    Json lines = Json::array();
    std::string text;
    for (const Json& line : journal.lines) {
        if (port && !(line.contains("port") && line["port"] == *port)) {
            continue;
        }
        lines.push_back(line);
        text += JournalLineText(line) + "\n";
    }
    if (io.json) {
        PrintJson(io, lines);
    } else {
        Print(io, text);
    }
    return kExitOk;
}
