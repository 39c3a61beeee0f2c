#pragma once
// The login name of the user running the program, for the journal's "who" (UTF-8); empty
// when the system cannot say.

#include <string>

std::string LoginName();
