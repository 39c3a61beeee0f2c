#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "cli/CliPlatform.h"

namespace {

// Set from the signal handler: lock-free, so the handler may set it.
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
    gStop = true;
}

struct sigaction gOldInt;
struct sigaction gOldTerm;

}  // namespace

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

StopRequest::StopRequest() {
    gStop = false;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a port's poll() returns at once
    sigaction(SIGINT, &action, &gOldInt);
    sigaction(SIGTERM, &action, &gOldTerm);
}

StopRequest::~StopRequest() {
    sigaction(SIGINT, &gOldInt, nullptr);
    sigaction(SIGTERM, &gOldTerm, nullptr);
}

const std::atomic<bool>* StopRequest::Flag() const {
    return &gStop;
}

bool StopRequest::Requested() const {
    return gStop.load();
}
