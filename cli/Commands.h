#pragma once
// fernwell-cli's commands, one function each; RunCommand (CliRun.h) picks one.

#include "cli/CliOptions.h"
#include "cli/CliOutput.h"

int RunPorts(const Streams& io);
int RunPoll(const CliOptions& options, const Streams& io);
int RunWatch(const CliOptions& options, const Streams& io);
int RunStatus(const CliOptions& options, const Streams& io);
int RunRead(const CliOptions& options, const Streams& io);
int RunSend(const CliOptions& options, const Streams& io);
int RunCalc(const CliOptions& options, const Streams& io);
