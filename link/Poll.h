#pragma once
// One poll as the main window makes it (and fernwell-cli's poll and watch): the parameter
// dump, then for the 640 the high and the low alarm status word, stopping at the first query
// that fails. What the queries before it returned stays valid: the window shows the rate of
// a dump even when a status query after it failed.

#include <cstdint>

#include "protocol/Decode.h"

class CSerialPort;

struct PollReading {
    int model = 0;                // 612 or 640
    int completed = 0;            // queries that succeeded, in order: dump, high status, low status
    LinkResult result = kLinkOk;  // of the query that failed (kLinkOk when none did)
    double flowRate = 0;          // from the dump
    int sensorCode = 0;           // from the dump
    std::uint32_t highStatus = 0;
    std::uint32_t lowStatus = 0;

    bool Complete() const { return result == kLinkOk; }
};

PollReading PollModule(int model, CSerialPort& port, const int& online);
