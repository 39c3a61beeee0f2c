#pragma once
// The folders of the XDG base directory rules off Windows, shared by the configuration folder
// and the state folder so both read the variables the same way.

#include <string>

// $<variable>/fernwell when the variable holds an absolute path; otherwise (unset, empty or
// relative: invalid by the XDG rules) ~/<homeRelative>/fernwell, the home folder from $HOME or,
// when that is unset or empty, from the user database.
std::string XdgFolder(const char* variable, const char* homeRelative);
