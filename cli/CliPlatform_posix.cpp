#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "cli/CliPlatform.h"

namespace {

// Set from the signal handler; the pipe wakes a Wait in progress.
// Lock-free, so the signal handler may set it.
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);
int gWake[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    gStop = true;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(gWake[1], &byte, 1);
    errno = saved;
}

struct sigaction gOldInt;
struct sigaction gOldTerm;

}  // namespace

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

StopRequest::StopRequest() {
    gStop = false;
    if (pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0) {
        gWake[0] = gWake[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a Wait's poll() returns at once
    sigaction(SIGINT, &action, &gOldInt);
    sigaction(SIGTERM, &action, &gOldTerm);
}

StopRequest::~StopRequest() {
    sigaction(SIGINT, &gOldInt, nullptr);
    sigaction(SIGTERM, &gOldTerm, nullptr);
    for (int& fd : gWake) {
        if (fd >= 0) {
            close(fd);
        }
        fd = -1;
    }
}

const std::atomic<bool>* StopRequest::Flag() const {
    return &gStop;
}

bool StopRequest::Requested() const {
    return gStop.load();
}

bool StopRequest::Wait(int ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!gStop.load()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd p{gWake[0], POLLIN, 0};
        const int ready = poll(&p, gWake[0] >= 0 ? 1 : 0, static_cast<int>(left));
        if (ready > 0) {
            char drain[16];
            while (read(gWake[0], drain, sizeof drain) > 0) {
            }
        }
    }
    return gStop.load();
}
