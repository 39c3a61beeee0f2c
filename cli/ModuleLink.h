#pragma once
// The modules a fernwell-cli command talks to: each on its own link (its port and the thread
// that talks on it), opened as the main window opens its port; the commands that ask every
// module once and print one result each; a reading as the commands show it.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliPlatform.h"
#include "link/Link.h"
#include "link/Poll.h"
#include "protocol/Device.h"  // ModuleRecord
#include "protocol/Model.h"

// How the command line names a target given by --port or --device: "COM3" or the path, as
// the link names its port and the journal its lines.
std::string TargetName(const CliTarget& target);

// What a failed query means, after the program's own wording of a failed read.
CliFailure CommFailure(const std::string& portName, LinkResult result);

// One module the command talks to, on the port as the main window opens it (OpenPort),
// minus its message boxes: the stored "CommPort", else COM1, unless --port or --device names
// another. The link owns the port and runs every exchange on its own thread; the command's
// thread waits, and abandons the exchange at once when Ctrl-C or SIGTERM comes.
class ModuleLink {
public:
    ModuleLink(const CliTarget& target, Model model, const StopRequest& stop);

    // Opens the port (waiting the open's settling time); the failure as the window says it.
    std::optional<CliFailure> Open();

    // Runs `exchange` on the link's thread and waits for its result; a stop abandons it
    // (within 100 ms) and gives kLinkCancelled.
    LinkResult Exchange(const std::function<LinkResult(CSerialPort&, const int&)>& exchange);

    Link& Worker() { return link_; }
    const std::string& Name() const { return name_; }
    Model ModuleModel() const { return model_; }

private:
    CliTarget target_;
    int number_ = 0;
    Model model_;
    int baud_;
    const StopRequest& stop_;
    std::string name_;
    Link link_;  // last: its thread ends before the rest goes
};

// Reads the module's whole record (ReadAll of its model) into `record`, which it sets to the
// link's model. A dump that is not whole is refused: one shifted line would put every setting
// after it in the wrong place, and the record is then uploaded or saved as a whole.
std::optional<CliFailure> ReadModuleRecord(ModuleLink& link, ModuleRecord& record);

// The modules of the command line, in the order given (the stored port when none is given).
std::vector<std::unique_ptr<ModuleLink>> Modules(const CliOptions& options,
                                                 const StopRequest& stop);

// One port named twice (--port 3 --port 3, or --port 3 and --device of COM3's device) would
// be opened twice, and the second open refused as "in use" by ourselves: a usage error.
std::optional<CliFailure> SamePortTwice(const std::vector<CliTarget>& targets);

// Runs `job` for 0 .. count-1, each on a thread of its own, and waits for all of them: the
// modules' opens (500 ms each) and exchanges overlap instead of adding up.
void AllAtOnce(std::size_t count, const std::function<void(std::size_t)>& job);

// What one module gave a one-shot command: its text and JSON, or why it failed.
struct ModuleResult {
    int exitCode = kExitOk;
    std::string message;  // the error line when exitCode != 0
    std::string text;
    Json json = Json::object();
};
ModuleResult Failed(const CliFailure& failure);

// Runs `talk` for every module at once, each on its own link, and prints the results in the
// order the modules were given: alone as before; several with each text line led by the
// module's port and, with --json, one array of objects that carry a "port" key (and an
// "error" key for a module that failed). The exit status is the worst of them.
// `refuse`, when given, turns a module away before its port is opened (a command its model
// cannot answer).
int RunEach(const CliOptions& options, const Streams& io,
            const std::function<ModuleResult(ModuleLink&)>& talk,
            const std::function<std::optional<CliFailure>(const ModuleLink&)>& refuse = {});

// A poll's reading as poll and watch show it.
struct Reading {
    double flowRate = 0;
    std::string unit;
    bool alarms = false;  // 640: the two lamps below are known
    bool highActivated = false;
    bool lowActivated = false;
};
Reading ReadingOf(const PollReading& p);
Json ToJson(const Reading& r);
const char* LampWord(bool lit);
