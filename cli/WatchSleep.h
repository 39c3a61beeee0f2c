#pragma once
// The sleep of `watch` between two looks at its modules. Ctrl-C (or SIGTERM) only sets the stop
// flag: notifying the loop's condition variable is not safe in a signal handler. So no sleep
// lasts longer than kStopLookInterval, and the flag is looked at as soon as it ends; a stop is
// then seen within that time however long --interval is.

#include <algorithm>
#include <atomic>
#include <chrono>

inline constexpr std::chrono::milliseconds kStopLookInterval{50};

// Sleeps through `waitUntil(end)`, which may return early (a poll ended), with `end` the
// next poll's slot `next` but no later than kStopLookInterval after `now`. True when a stop
// was asked for.
template <typename TimePoint, typename WaitUntil>
bool SleepThenLookForStop(TimePoint now, TimePoint next, const std::atomic<bool>& stop,
                          WaitUntil&& waitUntil) {
    waitUntil(std::min<TimePoint>(next, now + kStopLookInterval));
    return stop.load();
}
