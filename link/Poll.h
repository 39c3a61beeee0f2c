#pragma once
// One poll as the main window makes it (and fernwell-cli's poll and watch): the parameter
// dump, then for the 640 the high and the low alarm status word, stopping at the first query
// that fails. What the queries before it returned stays valid: the window shows the rate of
// a dump even when a status query after it failed.

#include <cstdint>

#include "protocol/Decode.h"
#include "protocol/Model.h"
#include "protocol/ModuleData.h"

class CSerialPort;

// The alarm settings of a 640's dump that a flow trend draws: the two modes (0 off, 1 on,
// 2 latched) and the four points, in the module's flow unit.
struct AlarmPoints {
    int highMode = 0;
    int lowMode = 0;
    double highSet = 0;
    double highRelease = 0;
    double lowSet = 0;
    double lowRelease = 0;

    bool operator==(const AlarmPoints&) const = default;
};

AlarmPoints AlarmPointsOf(const ModuleData640& data);

// The main window's poll period; the trend's gaps and ring are measured in it.
constexpr int kPollIntervalMs = 3000;

struct PollReading {
    Model model = Model::kNone;
    int completed = 0;            // queries that succeeded, in order: dump, high status, low status
    LinkResult result = kLinkOk;  // of the query that failed (kLinkOk when none did)
    double flowRate = 0;          // from the dump
    int sensorCode = 0;           // from the dump
    std::uint32_t highStatus = 0;
    std::uint32_t lowStatus = 0;
    AlarmPoints alarmPoints;  // 640, from the dump

    bool Complete() const { return result == kLinkOk; }
};

PollReading PollModule(Model model, CSerialPort& port, const int& online);
