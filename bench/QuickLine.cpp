// The soak's shortcut through the line's quiet time.
//
// A reply ends after two empty reads of 100 ms each, so every query costs at least 200 ms even
// against the simulator in --fast mode: 20,000 polls of a 640 (three queries each) would take
// over three hours. For the soak, which looks at memory and descriptors and not at time, this
// file caps the wait of the serial read's poll() (one descriptor, a terminal, waiting for
// input) at a few milliseconds. It is linked into the benchmark only; every line of the
// program's own code still runs as it does in the program. The paced measurements leave it
// off.

#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>

#include "bench/QuickLine.h"

namespace {

std::atomic<int> gQuietMs{-1};

using PollFn = int (*)(pollfd*, nfds_t, int);

PollFn RealPoll() {
    static const PollFn real = reinterpret_cast<PollFn>(dlsym(RTLD_NEXT, "poll"));
    return real;
}

}  // namespace

namespace bench {

void SetLineQuietMs(int ms) {
    gQuietMs.store(ms);
}

}  // namespace bench

// glibc declares poll()'s array write-only, so reading `events` here draws a false warning.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
extern "C" int poll(pollfd* fds, nfds_t count, int timeoutMs) {
    const int quiet = gQuietMs.load(std::memory_order_relaxed);
    if (quiet >= 0 && count == 1 && fds[0].events == POLLIN &&
        (timeoutMs < 0 || timeoutMs > quiet) && isatty(fds[0].fd)) {
        timeoutMs = quiet;
    }
    return RealPoll()(fds, count, timeoutMs);
}
#pragma GCC diagnostic pop
