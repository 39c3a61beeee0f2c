#include "store/AppendWhole.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "store/Utf8Path.h"

std::optional<std::string> AppendWhole(const std::string& path, const std::string& bytes) {
    const std::filesystem::path file = Utf8Path(path);
    if (file.has_parent_path()) {
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        if (error) {
            return error.message();
        }
    }
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return std::strerror(errno);
    }
    int error = 0;
    struct stat before {};
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    if (error == 0 && fstat(fd, &before) != 0) {
        error = errno;
    }
    if (error == 0) {
        ssize_t written;
        do {
            written = write(fd, bytes.data(), bytes.size());
        } while (written < 0 && errno == EINTR);
        if (written < 0 || static_cast<std::size_t>(written) != bytes.size()) {
            // A regular file takes fewer bytes than asked only when it cannot grow: the disk
            // is full (or the size limit reached, which also says so on the next write).
            error = written < 0 ? errno : ENOSPC;
            if (written > 0) {
                // Nothing to be done when this fails too: the error is reported either way.
                (void)!ftruncate(fd, before.st_size);
            }
        }
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        return std::strerror(error);
    }
    return std::nullopt;
}
