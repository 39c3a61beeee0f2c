#include "cli/CliOptions.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "cmdline/CommandLine.h"
#include "serial/PortMap.h"

namespace {

constexpr const char* kDescription =
    "Command-line companion of the Fernwell Setup Tool: polls, logs, reads and configures a\n"
    "Fernwell transmitter module (612 or 640) with the program's own protocol code.\n"
    "\n"
    "The port: --port N opens COM N (see `ports`), --device PATH a device directly; with\n"
    "neither, the COM port stored by the program (\"Set Comm Port\"), else COM1. Give\n"
    "--port and --device more than once to talk to several modules at once (not send):\n"
    "each runs on its own port, results come in the order given, lines led by the port.\n"
    "The line runs at 1200 baud for the 612 and 4800 for the 640, 8N1. A --model given\n"
    "before a port holds for the ports after it: it decides that module's baud rate,\n"
    "protocol, send keys, upload and read-back.\n"
    "\n"
    "Commands:\n"
    "  ports                  COM ports that exist: number, device, free / in use / no "
    "permission\n"
    "  poll                   one reading: flow rate and unit; 640: the two alarm lamps\n"
    "  watch                  a reading every --interval seconds (default 3) with an ISO 8601\n"
    "                         timestamp, --count times or until Ctrl-C; --csv FILE or - logs\n"
    "                         CSV (appended to, header only in a new file, each row whole\n"
    "                         or not at all, never into a file of other columns); several\n"
    "                         modules add a port column\n"
    "  status                 640: high and low alarm status words decoded, and the flow\n"
    "  read                   the module's parameter dump, field by field\n"
    "  send KEY=VALUE ...     read the module, apply the settings as the configuration\n"
    "                         dialog does, check them, upload; --dry-run prints the commands\n"
    "                         (CR shown as \\r) and sends nothing; after the upload the\n"
    "                         module is read back and every field compared with what was\n"
    "                         sent (--no-verify skips that)\n"
    "  calc DIAMETER          K and offset for an insertion sensor in a pipe of that inside\n"
    "                         diameter, in inches (--mm: millimetres)\n"
    "  save FILE              read the module and save its settings to FILE (JSON; --note)\n"
    "  load FILE              check FILE, then upload every setting in it as send does\n"
    "                         (--dry-run, --no-verify); a refused file sends nothing\n"
    "  diff FILE              compare the module's settings with FILE; with two ports and no\n"
    "                         FILE, compare the two modules; prints the settings that differ\n"
    "  report FILE            write a commissioning report of the module to FILE (HTML;\n"
    "                         --site, --tag, --technician, --note)\n"
    "  history                the journal of uploads, newest last (only the port given, if\n"
    "                         one is)\n"
    "\n"
    "send keys (keys not given keep what the module holds):\n"
    "  kFactor, offset        numbers (given, they win over the row's values)\n"
    "  sensor                 insertion, tee or wss (K and offset become the type's first row)\n"
    "  row                    pipe row (insertion, 0-12) or tee sensor row (tee, 0-4);\n"
    "                         K and offset follow the row\n"
    "  unit                   a rate unit of the sensor type: mph, km/h; gpm, gph, l/sec,\n"
    "                         l/min, ft3/sec, ft3/min, m3/sec, m3/min (640 also l/hr, ft3/hr,\n"
    "                         m3/hr)\n"
    "  612: pulseValue        number per output pulse\n"
    "       pulseUnit         \"Cubic Feet\", \"Cubic Meters\", Gallons, Liters; wss: km/h, mph\n"
    "       pulseWidth        50 to 5000 ms in steps of 50\n"
    "  640: highSetPoint, highReleasePoint, lowSetPoint, lowReleasePoint   numbers\n"
    "       highSetDelay, highReleaseDelay, lowSetDelay, lowReleaseDelay   0 to 9999 s\n"
    "       highAlarm, lowAlarm                                            off, on, latched\n"
    "\n"
    "With --json every command prints one JSON document (watch: one per reading); a\n"
    "command that fails prints one with an \"error\" key.\n"
    "\n"
    "Exit status: 0 success; 1 usage error (unknown command, key or value); 2 the port could\n"
    "not be opened; 3 communication error (also a read-back that differs, a file that cannot\n"
    "be written); 4 input rejected (calculator range or pipe, alarm pair, value that cannot\n"
    "be sent, a 640 sensor code the module would misread, a settings file refused); 5 diff:\n"
    "the settings differ; 130 interrupted (watch: Ctrl-C is its normal end, 0). With several\n"
    "modules, the worst of them.\n"
    "Errors go to standard error, one line each.\n"
    "\n"
    "Examples:\n"
    "  fernwell-cli ports\n"
    "  fernwell-cli --port 3 poll\n"
    "  fernwell-cli --model 640 --port 3 watch --interval 10 --csv flow.csv\n"
    "  fernwell-cli --model 640 --json status\n"
    "  fernwell-cli --device /dev/ttyUSB0 read --json\n"
    "  fernwell-cli --model 640 --port 3 --port 4 watch --csv panel.csv\n"
    "  fernwell-cli --port 3 send sensor=insertion row=5 unit=gph pulseUnit=Gallons\n"
    "  fernwell-cli --model 640 send highSetPoint=150 highReleasePoint=140 highAlarm=latched\n"
    "  fernwell-cli send kFactor=4.5 offset=0.08 --dry-run\n"
    "  fernwell-cli calc 100 --mm\n"
    "  fernwell-cli --model 640 --port 3 save pump-house.json --note \"as found\"\n"
    "  fernwell-cli --model 640 --port 4 load pump-house.json\n"
    "  fernwell-cli --model 640 --port 3 --port 4 diff\n"
    "  fernwell-cli --model 640 --port 3 report ft101.html --site \"North plant\" --tag FT-101\n"
    "  fernwell-cli history --json";

struct CommandName {
    const char* name;
    CliCommand command;
};
constexpr CommandName kCommands[] = {
    {"ports", CliCommand::Ports},   {"poll", CliCommand::Poll},
    {"watch", CliCommand::Watch},   {"status", CliCommand::Status},
    {"read", CliCommand::Read},     {"send", CliCommand::Send},
    {"calc", CliCommand::Calc},     {"save", CliCommand::Save},
    {"load", CliCommand::Load},     {"diff", CliCommand::Diff},
    {"report", CliCommand::Report}, {"history", CliCommand::History},
};

constexpr const char* kCommandList =
    "ports, poll, watch, status, read, send, calc, save, load, diff, report or history";

CliFailure Usage(const std::string& message) {
    return {kExitUsage, message};
}

}  // namespace

CliParse ParseCommandLine(const std::vector<std::string>& arguments) {
    CLI::App app;
    app.set_help_flag();
    const auto flag = [&app](const char* names, const char* description) {
        return app.add_flag(names)
            ->description(description)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    };
    const auto option = [&app](const char* names, const char* description, const char* value) {
        return app.add_option(names)
            ->description(description)
            ->type_name(value)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    };
    const CLI::Option* help = flag("-h,--help", "Show this help.");
    const CLI::Option* version = flag("--version", "Show the version.");
    const CLI::Option* model = option("--model", "Module model: 612 (default) or 640.", "612|640");
    const CLI::Option* port = option("--port", "Open COM N (1-255) through the port map.", "N");
    const CLI::Option* device = option("--device", "Open this device path directly.", "PATH");
    const CLI::Option* json = flag("--json", "Print JSON instead of text.");
    const CLI::Option* interval =
        option("--interval", "watch: seconds between readings (default 3).", "S");
    const CLI::Option* count = option("--count", "watch: stop after N readings.", "N");
    const CLI::Option* csv =
        option("--csv", "watch: write CSV rows to FILE, or to standard output (-).", "FILE");
    const CLI::Option* dryRun = flag("--dry-run", "send, load: print the commands, send nothing.");
    const CLI::Option* noVerify =
        flag("--no-verify", "send, load: do not read the module back after the upload.");
    const CLI::Option* mm = flag("--mm", "calc: the diameter is in millimetres.");
    const CLI::Option* note = option("--note", "save, report: a note kept with it.", "TEXT");
    const CLI::Option* site = option("--site", "report: where the module is.", "TEXT");
    const CLI::Option* tag = option("--tag", "report: the module's tag.", "TEXT");
    const CLI::Option* technician = option("--technician", "report: who set it up.", "NAME");

    const auto read = ReadCommandLine(app, arguments, DashWord::kLongOption);
    if (const auto* error = std::get_if<std::string>(&read)) {
        return Usage(*error + " (see --help)");
    }
    const CommandLine& line = std::get<CommandLine>(read);
    if (IsGiven(line, help)) {
        return CliHelp{HelpText(
            app, "fernwell-cli", kDescription,
            {{"COMMAND", kCommandList, "COMMAND"},
             {"ARGS",
              "send: KEY=VALUE ...; calc: DIAMETER; save, load, report: FILE; diff: [FILE].",
              "[ARGS...]"}})};
    }

    if (IsGiven(line, version)) {
        return CliHelp{"fernwell-cli " FERNWELL_VERSION "\n"};
    }

    CliOptions options;
    if (IsGiven(line, model)) {
        const std::string value = LastValue(line, model);
        if (value == "612") {
            options.model = Model::k612;
        } else if (value == "640") {
            options.model = Model::k640;
        } else {
            return Usage("--model wants 612 or 640, not \"" + value + "\"");
        }
    }
    // --port and --device in the order given, each with the --model given before it.
    std::optional<Model> modelSoFar;
    for (const GivenOption& given : line.options) {
        const std::string& value = given.value;
        if (given.option == port) {
            int n = 0;
            if (!ReadInt(value, n) || n < portmap::kFirstPort || n > portmap::kLastPort) {
                return Usage("--port wants a COM number from " +
                             std::to_string(portmap::kFirstPort) + " to " +
                             std::to_string(portmap::kLastPort) + ", not \"" + value + "\"");
            }
            options.targets.push_back({n, std::nullopt, modelSoFar});
        } else if (given.option == device) {
            if (value.empty()) {
                return Usage("--device wants a device path");
            }
            options.targets.push_back({std::nullopt, value, modelSoFar});
        } else if (given.option == model) {
            modelSoFar = value == "640" ? Model::k640 : Model::k612;  // checked above
        }
    }
    options.json = IsGiven(line, json);

    const std::vector<std::string>& positional = line.arguments;
    if (positional.empty()) {
        return Usage(std::string("no command given: ") + kCommandList + " (see --help)");
    }
    const std::string& name = positional.front();
    bool known = false;
    for (const CommandName& c : kCommands) {
        if (name == c.name) {
            options.command = c.command;
            known = true;
        }
    }
    if (!known) {
        return Usage("unknown command \"" + name + "\" (see --help)");
    }
    options.args.assign(positional.begin() + 1, positional.end());

    // Switches that belong to some commands only.
    const std::pair<const CLI::Option*, std::vector<CliCommand>> owners[] = {
        {interval, {CliCommand::Watch}},
        {count, {CliCommand::Watch}},
        {csv, {CliCommand::Watch}},
        {dryRun, {CliCommand::Send, CliCommand::Load}},
        {noVerify, {CliCommand::Send, CliCommand::Load}},
        {mm, {CliCommand::Calc}},
        {note, {CliCommand::Save, CliCommand::Report}},
        {site, {CliCommand::Report}},
        {tag, {CliCommand::Report}},
        {technician, {CliCommand::Report}},
    };
    for (const auto& [option, commands] : owners) {
        if (IsGiven(line, option) &&
            std::find(commands.begin(), commands.end(), options.command) == commands.end()) {
            return Usage("--" + option->get_lnames().front() + " does not apply to " + name);
        }
    }

    switch (options.command) {
        case CliCommand::Send:
            if (options.args.empty()) {
                return Usage("send wants at least one KEY=VALUE (see --help)");
            }
            break;  // KEY=VALUE pairs, checked by the send command
        case CliCommand::Calc:
            if (options.args.size() != 1) {
                return Usage("calc wants one diameter, e.g. calc 8 or calc 200 --mm");
            }
            break;
        case CliCommand::Save:
        case CliCommand::Load:
        case CliCommand::Report:
            if (options.args.size() != 1 || options.args.front().empty()) {
                return Usage(name + " wants one file name");
            }
            break;
        case CliCommand::Diff:
            if (options.args.size() > 1) {
                return Usage("diff wants one settings file, or none and two ports");
            }
            if (options.args.empty() && options.targets.size() != 2) {
                return Usage("diff without a file compares two modules: give two ports");
            }
            if (!options.args.empty() && options.targets.size() > 1) {
                return Usage("diff with a file compares one module with it: give one port");
            }
            break;
        default:
            if (!options.args.empty()) {
                return Usage(name + " takes no arguments, not \"" + options.args.front() + "\"");
            }
    }
    for (const CliCommand single : {CliCommand::Send, CliCommand::Save, CliCommand::Load,
                                    CliCommand::Report, CliCommand::History}) {
        if (options.command == single && options.targets.size() > 1) {
            return Usage(name + " talks to one module: give one --port or --device");
        }
    }

    if (IsGiven(line, interval)) {
        const std::string value = LastValue(line, interval);
        double s = 0;
        if (!ReadDouble(value, s) || !std::isfinite(s) || s < 0 || s > 86400) {
            return Usage("--interval wants seconds from 0 to 86400, not \"" + value + "\"");
        }
        options.intervalSeconds = s;
    }
    if (IsGiven(line, count)) {
        const std::string value = LastValue(line, count);
        long long n = 0;
        if (!ReadLongLong(value, n) || n < 1) {
            return Usage("--count wants a whole number of 1 or more, not \"" + value + "\"");
        }
        options.count = n;
    }
    if (IsGiven(line, csv)) {
        const std::string value = LastValue(line, csv);
        if (value.empty()) {
            return Usage("--csv wants a file name, or - for standard output");
        }
        options.csv = value;
        if (*options.csv == "-" && options.json) {
            return Usage("--csv - and --json would both write to standard output");
        }
    }
    options.dryRun = IsGiven(line, dryRun);
    options.verify = !IsGiven(line, noVerify);
    options.millimeters = IsGiven(line, mm);
    for (const auto& [option, value] :
         {std::pair{note, &options.note}, std::pair{site, &options.site},
          std::pair{tag, &options.tag}, std::pair{technician, &options.technician}}) {
        if (IsGiven(line, option)) {
            *value = LastValue(line, option);
        }
    }
    return options;
}
