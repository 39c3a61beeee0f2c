#pragma once
// Runs one fernwell-cli command: opens the port as the program does, talks to the module with
// the program's protocol objects and prints the outcome.

#include <cstdio>

#include "cli/CliOptions.h"

// Results go to `out`, errors (one line each) to `err`. Returns the exit status (CliExit).
int RunCommand(const CliOptions& options, std::FILE* out, std::FILE* err);
