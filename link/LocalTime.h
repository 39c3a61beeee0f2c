#pragma once
// The C library's local time of a moment, thread-safe: LocalTime_posix.cpp (localtime_r),
// LocalTime_win32.cpp (localtime_s).

#include <ctime>

// False when the moment has no local time (out of the library's range).
bool LocalTimeOf(std::time_t t, std::tm& local);
