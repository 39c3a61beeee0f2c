#pragma once
// The command line of fernwell-cli:
//
//   fernwell-cli [--model 612|640] [--port N | --device PATH]... [--json] COMMAND [ARGS]
//
// Parsing only: which command, which port, which switches. Nothing here touches a port.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "rules/SensorTables.h"

// Exit statuses; scripts rely on them.
enum CliExit : int {
    kExitOk = 0,
    kExitUsage = 1,          // unknown command, option, key or value
    kExitOpen = 2,           // the port could not be opened
    kExitComm = 3,           // a query failed (any non-zero LinkResult)
    kExitRejected = 4,       // calculator range or pipe, alarm pair, value that cannot be sent,
                             // a settings file refused
    kExitDiffer = 5,         // diff: the settings differ
    kExitInterrupted = 130,  // Ctrl-C or SIGTERM ended a command mid-exchange (128 + SIGINT)
};

// Why a command stopped: its exit status and one line for standard error.
struct CliFailure {
    int exitCode = kExitUsage;
    std::string message;
};

enum class CliCommand {
    Ports,
    Poll,
    Watch,
    Status,
    Read,
    Send,
    Calc,
    Save,
    Load,
    Diff,
    Report,
    History
};

// One module to talk to: a COM number (--port) or a device path (--device).
struct CliTarget {
    std::optional<int> port;
    std::optional<std::string> device;
    // The --model given before this target on the command line; unset: CliOptions::model.
    // So one watch can take 612s and 640s: --model 612 --port 1 --model 640 --port 2.
    std::optional<Model> model;
};

struct CliOptions {
    Model model = Model::k612;
    // --port and --device in the order given; empty: the port the program stored, else COM1.
    // More than one: poll, watch, status and read talk to every module, each on its own port.
    std::vector<CliTarget> targets;
    bool json = false;
    CliCommand command = CliCommand::Poll;
    std::vector<std::string> args;  // what follows the command (send's KEY=VALUE, calc's size)

    // watch
    double intervalSeconds = 3.0;
    std::optional<long long> count;  // unset: until interrupted
    std::optional<std::string> csv;  // a file name, or "-" for standard output
    // send and load
    bool dryRun = false;
    bool verify = true;  // read the module back after the upload (--no-verify: false)
    // calc
    bool millimeters = false;
    // save (note) and report (all four)
    std::string note;
    std::string site;
    std::string tag;
    std::string technician;
};

// Either what to do, the help text (--help: print it and exit 0), or a usage error.
struct CliHelp {
    std::string text;
};
using CliParse = std::variant<CliOptions, CliHelp, CliFailure>;

// `arguments` as main() gets them (program name first).
CliParse ParseCommandLine(const std::vector<std::string>& arguments);
