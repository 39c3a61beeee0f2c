#pragma once
// fernwell-cli's commands, one function each; RunCommand (CliRun.h) picks one.

#include <functional>
#include <optional>

#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/ModuleLink.h"

int RunPorts(const Streams& io);
int RunPoll(const CliOptions& options, const Streams& io);
int RunWatch(const CliOptions& options, const Streams& io);
int RunStatus(const CliOptions& options, const Streams& io);
int RunRead(const CliOptions& options, const Streams& io);
int RunSend(const CliOptions& options, const Streams& io);
int RunCalc(const CliOptions& options, const Streams& io);
int RunSave(const CliOptions& options, const Streams& io);
int RunLoad(const CliOptions& options, const Streams& io);
int RunDiff(const CliOptions& options, const Streams& io);
int RunReport(const CliOptions& options, const Streams& io);
int RunHistory(const CliOptions& options, const Streams& io);

// What send and load share: read the module, let `apply` change the record read (or refuse),
// upload it (--dry-run: only show the commands), read it back (unless --no-verify) and write
// the journal's line. For the 612 `apply` leaves PulseUnitCode in the form the upload sends.
using ApplySettings = std::function<std::optional<CliFailure>(ModuleRecord&)>;
int UploadSettings(ModuleLink& link, const ApplySettings& apply, const CliOptions& options,
                   const Streams& io);
