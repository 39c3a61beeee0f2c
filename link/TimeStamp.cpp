#include "link/TimeStamp.h"

#include <chrono>
#include <cstdio>

#include "link/LocalTime.h"

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1970-01-01 of a civil date, and back (H. Hinnant's algorithms).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    std::int64_t y;
    int m;
    int d;
};

Civil CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {era * 400 + yoe + (m <= 2 ? 1 : 0), m, d};
}

}  // namespace

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int LocalUtcOffsetSeconds(std::int64_t timeMs) {
    const std::int64_t seconds = FloorDiv(timeMs, 1000);
    std::tm local{};
    if (!LocalTimeOf(static_cast<std::time_t>(seconds), local)) {
        return 0;
    }
    // The local clock's reading taken as UTC, less the moment itself.
    const std::int64_t localSeconds =
        DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) * 86400 +
        local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return static_cast<int>(localSeconds - seconds);
}

std::string IsoLocalTime(std::int64_t timeMs, int utcOffsetSeconds) {
    const std::int64_t local = FloorDiv(timeMs, 1000) + utcOffsetSeconds;
    const int millis = static_cast<int>(timeMs - FloorDiv(timeMs, 1000) * 1000);
    const std::int64_t days = FloorDiv(local, 86400);
    const std::int64_t secs = local - days * 86400;
    const Civil date = CivilFromDays(days);
    char text[64];
    int n =
        std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d",
                      static_cast<long long>(date.y), date.m, date.d, static_cast<int>(secs / 3600),
                      static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60), millis);
    if (utcOffsetSeconds == 0) {
        std::snprintf(text + n, sizeof text - n, "Z");
    } else {
        const int offset = utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds;
        std::snprintf(text + n, sizeof text - n, "%c%02d:%02d", utcOffsetSeconds < 0 ? '-' : '+',
                      offset / 3600, offset / 60 % 60);
    }
    return text;
}

std::string IsoLocalTime(std::int64_t timeMs) {
    return IsoLocalTime(timeMs, LocalUtcOffsetSeconds(timeMs));
}
