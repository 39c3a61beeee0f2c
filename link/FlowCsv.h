#pragma once
// The one CSV format of the flow readings the program logs: fernwell-cli's `watch --csv` and
// the trend window's "Save CSV..." and "Log to file..." write the same columns, so a log of
// either can be read (and appended to) by the other:
//
//   time,flowRate,unit                                     a 612
//   time,flowRate,unit,highActivated,lowActivated          a log with a 640 in it
//   time,port,flowRate,...                                 more than one module (watch)
//
// time is ISO 8601 local time with milliseconds and the offset from UTC (TimeStamp.h);
// flowRate the module's number as the dump gives it; unit the rate unit's name (quoted when
// it holds a comma); highActivated and lowActivated 1 or 0, empty when the status word was
// not read (or for a 612 in a log with 640s). Files end every line with CR LF; on standard
// output a line ends as the platform's text does.

#include <cstdint>
#include <string>

#include "link/TimeStamp.h"
#include "protocol/Model.h"

namespace flowcsv {

// A file's line end.
inline constexpr const char* kLineEnd = "\r\n";

// An alarm state that was not read: an empty field.
inline constexpr std::int8_t kUnknown = -1;

struct Reading {
    std::int64_t timeMs = 0;
    double flowRate = 0;
    std::string unit;
    std::int8_t highActivated = kUnknown;  // 1 while the alarm is activated, 0 when not
    std::int8_t lowActivated = kUnknown;
};

// The header of a log of `model` (Model::k640 for a log with a 640 in it); with the port
// column when `withPort`. Without its line end.
std::string Header(Model model, bool withPort = false);
// One row of such a log; `port` is null when the log has no port column. Without its line end.
std::string Row(const Reading& reading, Model model, const std::string* port = nullptr,
                UtcOffsetFunction offset = LocalUtcOffsetSeconds);

}  // namespace flowcsv
