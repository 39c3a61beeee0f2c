#include "cli/CliOptions.h"

#include <cstring>

#include <QCommandLineParser>
#include <cmath>
#include <utility>

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
    "The line runs at 1200 baud for the 612 and 4800 for the 640, 8N1.\n"
    "\n"
    "Commands:\n"
    "  ports                  COM ports that exist: number, device, free / in use / no "
    "permission\n"
    "  poll                   one reading: flow rate and unit; 640: the two alarm lamps\n"
    "  watch                  a reading every --interval seconds (default 3) with an ISO 8601\n"
    "                         timestamp, --count times or until Ctrl-C; --csv FILE or - logs\n"
    "                         CSV (appended to, header only in a new file, flushed after\n"
    "                         every row); several modules add a port column\n"
    "  status                 640: high and low alarm status words decoded, and the flow\n"
    "  read                   the module's parameter dump, field by field\n"
    "  send KEY=VALUE ...     read the module, apply the settings as the configuration\n"
    "                         dialog does, check them, upload; --dry-run prints the commands\n"
    "                         (CR shown as \\r) and sends nothing; after the upload the\n"
    "                         module is read back and every field compared with what was\n"
    "                         sent (--no-verify skips that)\n"
    "  calc DIAMETER          K and offset for an insertion sensor in a pipe of that inside\n"
    "                         diameter, in inches (--mm: millimetres)\n"
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
    "With --json every command prints one JSON document (watch: one per reading).\n"
    "\n"
    "Exit status: 0 success; 1 usage error (unknown command, key or value); 2 the port could\n"
    "not be opened; 3 communication error (also a read-back that differs, a log that cannot\n"
    "be written); 4 input rejected (calculator range or pipe, alarm pair, value that cannot\n"
    "be sent); 130 interrupted. With several modules, the worst of them. Errors go to\n"
    "standard error, one line each.\n"
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
    "  fernwell-cli calc 100 --mm";

struct CommandName {
    const char* name;
    CliCommand command;
};
constexpr CommandName kCommands[] = {
    {"ports", CliCommand::Ports},   {"poll", CliCommand::Poll}, {"watch", CliCommand::Watch},
    {"status", CliCommand::Status}, {"read", CliCommand::Read}, {"send", CliCommand::Send},
    {"calc", CliCommand::Calc},
};

CliFailure Usage(const QString& message) {
    return {kExitUsage, message.toStdString()};
}

}  // namespace

int BaudRateOf(Family model) {
    return model == Family::k640 ? 4800 : 1200;
}

CliParse ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption model("model", "Module model: 612 (default) or 640.", "612|640");
    const QCommandLineOption port("port", "Open COM N (1-255) through the port map.", "N");
    const QCommandLineOption device("device", "Open this device path directly.", "PATH");
    const QCommandLineOption json("json", "Print JSON instead of text.");
    const QCommandLineOption interval("interval", "watch: seconds between readings (default 3).",
                                      "S");
    const QCommandLineOption count("count", "watch: stop after N readings.", "N");
    const QCommandLineOption csv("csv", "watch: write CSV rows to FILE, or to standard output (-).",
                                 "FILE");
    const QCommandLineOption dryRun("dry-run", "send: print the commands, send nothing.");
    const QCommandLineOption noVerify("no-verify",
                                      "send: do not read the module back after the upload.");
    const QCommandLineOption mm("mm", "calc: the diameter is in millimetres.");
    parser.addOptions(
        {help, model, port, device, json, interval, count, csv, dryRun, noVerify, mm});
    parser.addPositionalArgument("COMMAND", "ports, poll, watch, status, read, send or calc.");
    parser.addPositionalArgument("ARGS", "send: KEY=VALUE ...; calc: DIAMETER.", "[ARGS...]");

    if (!parser.parse(arguments)) {
        return Usage(parser.errorText() + " (see --help)");
    }
    if (parser.isSet(help)) {
        // Qt names the program by the path it was started with.
        std::string text = parser.helpText().toStdString();
        const std::size_t usage = text.find(" [options]");
        if (text.rfind("Usage: ", 0) == 0 && usage != std::string::npos) {
            text.replace(7, usage - 7, "fernwell-cli");
        }
        return CliHelp{text};
    }

    CliOptions options;
    if (parser.isSet(model)) {
        const QString value = parser.value(model);
        if (value == "612") {
            options.model = Family::k612;
        } else if (value == "640") {
            options.model = Family::k640;
        } else {
            return Usage(QString("--model wants 612 or 640, not \"%1\"").arg(value));
        }
    }
    // The parser keeps each option's values apart; their order comes from the command line.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == "--") {
            break;
        }
        QString name;
        QString value;
        for (const char* option : {"--port", "--device"}) {
            if (arg == option && i + 1 < arguments.size()) {
                name = option;
                value = arguments[++i];
            } else if (arg.startsWith(QString(option) + "=")) {
                name = option;
                value = arg.mid(static_cast<qsizetype>(std::strlen(option)) + 1);
            }
        }
        if (name == "--port") {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < portmap::kFirstPort || n > portmap::kLastPort) {
                return Usage(QString("--port wants a COM number from %1 to %2, not \"%3\"")
                                 .arg(portmap::kFirstPort)
                                 .arg(portmap::kLastPort)
                                 .arg(value));
            }
            options.targets.push_back({n, std::nullopt});
        } else if (name == "--device") {
            if (value.isEmpty()) {
                return Usage("--device wants a device path");
            }
            options.targets.push_back({std::nullopt, value.toStdString()});
        }
    }
    (void)port;
    (void)device;
    options.json = parser.isSet(json);

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return Usage(
            "no command given: ports, poll, watch, status, read, send or calc (see --help)");
    }
    const QString name = positional.front();
    bool known = false;
    for (const CommandName& c : kCommands) {
        if (name == c.name) {
            options.command = c.command;
            known = true;
        }
    }
    if (!known) {
        return Usage(QString("unknown command \"%1\" (see --help)").arg(name));
    }
    for (qsizetype i = 1; i < positional.size(); ++i) {
        options.args.push_back(positional[i].toStdString());
    }

    // Switches that belong to one command only.
    const std::pair<const QCommandLineOption*, CliCommand> owners[] = {
        {&interval, CliCommand::Watch}, {&count, CliCommand::Watch},   {&csv, CliCommand::Watch},
        {&dryRun, CliCommand::Send},    {&noVerify, CliCommand::Send}, {&mm, CliCommand::Calc},
    };
    for (const auto& [option, owner] : owners) {
        if (parser.isSet(*option) && options.command != owner) {
            return Usage(QString("--%1 does not apply to %2").arg(option->names().front(), name));
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
        default:
            if (!options.args.empty()) {
                return Usage(QString("%1 takes no arguments, not \"%2\"")
                                 .arg(name, QString::fromStdString(options.args.front())));
            }
    }
    if (options.command == CliCommand::Send && options.targets.size() > 1) {
        return Usage("send talks to one module: give one --port or --device");
    }
    if (options.command == CliCommand::Status && options.model != Family::k640) {
        return Usage("status reads the alarms of a 640: add --model 640");
    }

    if (parser.isSet(interval)) {
        bool ok = false;
        const double s = parser.value(interval).toDouble(&ok);
        if (!ok || !std::isfinite(s) || s < 0 || s > 86400) {
            return Usage(QString("--interval wants seconds from 0 to 86400, not \"%1\"")
                             .arg(parser.value(interval)));
        }
        options.intervalSeconds = s;
    }
    if (parser.isSet(count)) {
        bool ok = false;
        const long long n = parser.value(count).toLongLong(&ok);
        if (!ok || n < 1) {
            return Usage(QString("--count wants a whole number of 1 or more, not \"%1\"")
                             .arg(parser.value(count)));
        }
        options.count = n;
    }
    if (parser.isSet(csv)) {
        if (parser.value(csv).isEmpty()) {
            return Usage("--csv wants a file name, or - for standard output");
        }
        options.csv = parser.value(csv).toStdString();
        if (*options.csv == "-" && options.json) {
            return Usage("--csv - and --json would both write to standard output");
        }
    }
    options.dryRun = parser.isSet(dryRun);
    options.verify = !parser.isSet(noVerify);
    options.millimeters = parser.isSet(mm);
    return options;
}
