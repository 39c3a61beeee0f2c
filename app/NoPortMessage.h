#pragma once
// The box OpenPort shows when the computer has no COM port at all, so there is no first port
// to fall back to. It says where the program looked, which differs by platform.

#include <string>

std::string NoPortMessage();
