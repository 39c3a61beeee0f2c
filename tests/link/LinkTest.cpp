// The link's worker, without a port: what a window closing mid-exchange relies on.

#include "link/Link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A window that goes away mid-exchange abandons its task: the running task sees its cancel
// flag (as the port's read does), the queued one never runs, and the link, reused by the next
// window, runs its next task with the flag down.
TEST(Link, AbandonCancelsTheRunningTaskDropsTheQueuedAndTheNextRunsClean) {
    Link link;
    std::promise<void> started;
    std::atomic<bool> sawCancel{false};
    std::atomic<bool> queuedRan{false};
    link.Run([&](CSerialPort& port, const int&) {
        started.set_value();
        const auto giveUp = std::chrono::steady_clock::now() + 10s;  // no hang if it never comes
        while (!port.Cancelled() && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(1ms);
        }
        sawCancel = port.Cancelled();
    });
    link.Run([&](CSerialPort&, const int&) { queuedRan = true; });
    started.get_future().wait();
    link.AbandonAndWait();
    EXPECT_TRUE(sawCancel);
    EXPECT_TRUE(link.Idle());

    bool cancelledAtStart = true;
    link.Call([&](CSerialPort& port, const int&) { cancelledAtStart = port.Cancelled(); });
    EXPECT_FALSE(cancelledAtStart);
    EXPECT_FALSE(queuedRan);
}

}  // namespace
