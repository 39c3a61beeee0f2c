// fernwell-cli: the command-line companion of the Fernwell Setup Tool (see --help).
//
// Two variables shorten the program's fixed waits, for tests against the fast simulator
// only: FERNWELL_OPEN_DELAY_MS (the 500 ms pause before opening a port) and
// FERNWELL_BYTE_PAUSE_MS (the 50 ms after each uploaded byte; a real module drops bytes that
// come faster).

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "protocol/Device.h"
#include "serial/ProcessSetup.h"
#include "serial/SerialPort.h"

namespace {

void ApplyTestTiming() {
    const auto fromEnv = [](const char* name, void (*set)(int)) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            set(std::atoi(value));
        }
    };
    fromEnv("FERNWELL_OPEN_DELAY_MS", CSerialPort::SetOpenDelayMs);
    fromEnv("FERNWELL_BYTE_PAUSE_MS", DeviceBase::SetBytePauseMs);
}

}  // namespace

int main(int argc, char* argv[]) {
    PrepareProcess();  // before any port can take descriptor 1 or 2
    // The user's locale (system error texts), but numbers are always written with a point.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    ApplyTestTiming();

    const CliParse parsed = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (const auto* help = std::get_if<CliHelp>(&parsed)) {
        std::fputs(help->text.c_str(), stdout);
        return kExitOk;
    }
    if (const auto* failure = std::get_if<CliFailure>(&parsed)) {
        std::fprintf(stderr, "%s\n", failure->message.c_str());
        return failure->exitCode;
    }
    return RunCommand(std::get<CliOptions>(parsed), stdout, stderr);
}
