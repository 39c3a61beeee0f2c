#pragma once
// Where the program keeps what it records for the user (the journal of uploads), apart from
// its settings: $XDG_STATE_HOME/fernwell, or ~/.local/state/fernwell when XDG_STATE_HOME is
// unset or relative; %LOCALAPPDATA%\Fernwell on Windows. UTF-8; empty when the system names
// no such folder (Windows without a local application data folder).

#include <string>

std::string StateFolder();
