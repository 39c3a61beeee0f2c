#pragma once
// The command-line conventions fernwell-cli and fernwell-sim share, over a CLI11 option table
// (the names, value names and descriptions of the options, in the order --help lists them).
// Scripts and the manual pages rely on them, so they are the programs' own rather than CLI11's:
//  - an option is --name, --name=value or --name value; a value is taken as it comes, even
//    when it starts with a dash (--csv -, --device --odd);
//  - a single dash word is either one long option (-json, fernwell-cli) or a run of one-letter
//    options (-h, fernwell-sim); "-" alone is an argument, "--" ends the options;
//  - options and arguments mix freely; repeated options keep the order they were given in;
//  - the errors read "Unknown option 'x'.", "Unknown options: x, y.", "Missing value after
//    '--port'." and "Unexpected value after '--json'.";
//  - --help lays out the options in two columns wrapped at 79 characters.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include <CLI/CLI.hpp>

enum class DashWord {
    kLongOption,    // -json is --json
    kShortLetters,  // -hv is -h -v
};

// An option as given: the table's entry and its value ("" for a switch).
struct GivenOption {
    const CLI::Option* option;
    std::string value;
};

struct CommandLine {
    std::vector<GivenOption> options;    // in the order given
    std::vector<std::string> arguments;  // what is not an option, in order
};

// Reads `arguments` (program name first) against the options of `app`. Either the line or the
// error text.
std::variant<CommandLine, std::string> ReadCommandLine(CLI::App& app,
                                                       const std::vector<std::string>& arguments,
                                                       DashWord dashWord);

// Whether the option was given at all, and its last value ("" when never given).
bool IsGiven(const CommandLine& line, const CLI::Option* option);
std::string LastValue(const CommandLine& line, const CLI::Option* option);

// An argument as the usage line and the "Arguments:" list show it.
struct ArgumentHelp {
    std::string name;         // COMMAND
    std::string description;  // ports, poll, ...
    std::string syntax;       // in the usage line: COMMAND, [ARGS...]
};

// "Usage: PROGRAM [options] ARGS...", the description, then the options and arguments in two
// columns.
std::string HelpText(const CLI::App& app, const std::string& program,
                     const std::string& description, const std::vector<ArgumentHelp>& arguments);

// Numbers as the programs have always read them: surrounding white space ignored, an optional
// sign, nothing else around the digits. False: not such a number, or out of range.
bool ReadInt(const std::string& text, int& value);
bool ReadLongLong(const std::string& text, long long& value);
// Up to 8 hex digits, an optional 0x in front.
bool ReadHex32(const std::string& text, std::uint32_t& value);
// Decimal with an optional fraction and exponent, or inf / nan; out of range of a double is
// false.
bool ReadDouble(const std::string& text, double& value);
