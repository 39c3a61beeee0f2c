// LogFile's file calls on Windows, through the C runtime's descriptors.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "serial/LogFile.h"
#include "serial/LogFileIo.h"

namespace logio {

// Binary mode: the caller's line end is written as given.
int Open(const std::filesystem::path& path, int& fd, bool& regular) {
    fd = _wopen(path.c_str(), _O_RDWR | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        fd = _wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_BINARY | _O_NOINHERIT);
        if (fd < 0) {
            return errno;
        }
    }
    struct _stat64 st {};
    regular = _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
    return 0;
}

std::optional<long long> Size(int fd) {
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0) {
        return std::nullopt;
    }
    return static_cast<long long>(st.st_size);
}

int ReadAt(int fd, long long offset, char* buffer, int count) {
    const long long here = _lseeki64(fd, 0, SEEK_CUR);
    if (_lseeki64(fd, offset, SEEK_SET) < 0) {
        return 0;
    }
    const int n = _read(fd, buffer, static_cast<unsigned>(count));
    _lseeki64(fd, here, SEEK_SET);
    return n > 0 ? n : 0;
}

int Truncate(int fd, long long size) {
    return _chsize_s(fd, size);
}

void Close(int fd) {
    _close(fd);
}

}  // namespace logio

// Windows has no poll() for files and pipes: the write goes straight out. A console or pipe
// that stops reading holds it (the stop flag is not looked at).
int WriteWhole(int fd, std::string_view data, const std::atomic<bool>*) {
    while (!data.empty()) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(data.size(), 1u << 20));
        const int n = _write(fd, data.data(), chunk);
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}
