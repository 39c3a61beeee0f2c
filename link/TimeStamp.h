#pragma once
// Time stamps of the logs and the command-line output: ISO 8601 local time with milliseconds
// and the offset from UTC, "2026-12-08T10:22:36.250+01:00", or a Z where local time is UTC.
// The calendar is worked out here (proleptic Gregorian), so no C library time zone state is
// shared between threads.

#include <cstdint>
#include <string>

// Milliseconds since the epoch (UTC), now.
std::int64_t NowMs();

// The offset of local time from UTC at `timeMs`, in seconds (east positive).
int LocalUtcOffsetSeconds(std::int64_t timeMs);
using UtcOffsetFunction = int (*)(std::int64_t timeMs);

// `timeMs` in the local time `utcOffsetSeconds` east of UTC.
std::string IsoLocalTime(std::int64_t timeMs, int utcOffsetSeconds);
// `timeMs` in this machine's local time.
std::string IsoLocalTime(std::int64_t timeMs);
