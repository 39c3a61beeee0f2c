// LogFile's file calls on POSIX, and WriteWhole.

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "serial/LogFile.h"
#include "serial/LogFileIo.h"

namespace logio {

int Open(const std::filesystem::path& path, int& fd, bool& regular) {
    struct stat st {};
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        // A FIFO, a device: written to only. O_NONBLOCK so that a FIFO nobody reads fails
        // (ENXIO) instead of holding the open forever; the writes then block again and wait
        // in WriteWhole, where a stop can end them.
        fd = open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return errno;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        regular = false;
        return 0;
    }
    fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    return 0;
}

std::optional<long long> Size(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    return static_cast<long long>(st.st_size);
}

int ReadAt(int fd, long long offset, char* buffer, int count) {
    const ssize_t n = pread(fd, buffer, static_cast<std::size_t>(count), offset);
    return n > 0 ? static_cast<int>(n) : 0;
}

int Truncate(int fd, long long size) {
    return ftruncate(fd, size) == 0 ? 0 : errno;
}

void Close(int fd) {
    close(fd);
}

}  // namespace logio

int WriteWhole(int fd, std::string_view data, const std::atomic<bool>* stop) {
    while (!data.empty()) {
        // Wait for room in 100 ms steps, looking at the stop flag between them. A regular
        // file is always ready.
        pollfd p{fd, POLLOUT, 0};
        const int ready = poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) {
            return errno;
        }
        if (ready <= 0) {
            if (stop != nullptr && stop->load()) {
                return ECANCELED;
            }
            continue;
        }
        // Up to PIPE_BUF bytes go into a pipe in one piece, and do not block once poll has
        // seen room.
        const ssize_t n = write(fd, data.data(), std::min<std::size_t>(data.size(), PIPE_BUF));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}
