#include <chrono>
#include <thread>

#include "tests/common/SimProcess.h"

// What both platforms' simulator launchers share: start-up, waiting and stopping.
namespace fwtest {

namespace {
// Linux's numbers (the simulator runs on Linux under Wine too, and Windows names neither).
constexpr int kSigKill = 9;
constexpr int kSigTerm = 15;
}  // namespace

SimProcess::SimProcess(Options options) : port_(options.port) {
    if (!Start(options)) {
        Stop(1000);
        device_.clear();
    }
}

std::string SimProcess::LinkPath() const {
    return portsDir_ + "/com" + std::to_string(port_);
}

std::optional<int> SimProcess::WaitExit(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exitCode_;
}

std::optional<int> SimProcess::Stop(int timeoutMs) {
    if (pid_ <= 0) {
        return exitCode_;
    }
    Signal(kSigTerm);
    if (!WaitExit(timeoutMs)) {
        Signal(kSigKill);
        if (!WaitExit(3000)) {
            pid_ = -1;
        }
    }
    return exitCode_;
}

}  // namespace fwtest
