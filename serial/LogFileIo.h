#pragma once
// The file calls LogFile needs, one file per platform (LogFile_posix.cpp, LogFile_win32.cpp).

#include <filesystem>
#include <optional>

namespace logio {

// Opens `path` for appending (created when missing, for reading too when it is a regular
// file). `fd` is the descriptor; `regular` whether it is a file with a length. 0 or errno.
int Open(const std::filesystem::path& path, int& fd, bool& regular);
// The length of a regular file; nullopt when it cannot be had.
std::optional<long long> Size(int fd);
// Up to `count` bytes from `offset`: how many were read (0 at the end or on an error).
int ReadAt(int fd, long long offset, char* buffer, int count);
// Cuts the file back to `size` bytes. 0 or errno.
int Truncate(int fd, long long size);
void Close(int fd);

}  // namespace logio
