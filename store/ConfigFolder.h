#pragma once
// Where the program keeps its files off Windows: $XDG_CONFIG_HOME/fernwell, or
// ~/.config/fernwell when XDG_CONFIG_HOME is unset or relative (invalid by the XDG rules).
// The settings file and the ports folder live there.

#include <string>

std::string ConfigFolder();
