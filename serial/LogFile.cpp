#include "serial/LogFile.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "serial/LogFileIo.h"

LogFile::~LogFile() {
    Close();
}

void LogFile::Close() {
    if (fd_ >= 0 && owned_) {
        logio::Close(fd_);
    }
    fd_ = -1;
    owned_ = false;
}

int LogFile::Open(const std::filesystem::path& path, const std::string& header,
                  std::string_view lineEnd, std::string* found) {
    Close();
    int fd = -1;
    bool regular = false;
    if (const int error = logio::Open(path, fd, regular); error != 0) {
        return error;
    }
    header_ = header;
    lineEnd_ = lineEnd;
    needHeader_ = true;
    needLineEnd_ = false;
    if (regular) {
        const std::optional<long long> size = logio::Size(fd);
        if (!size) {
            const int error = errno != 0 ? errno : EIO;
            logio::Close(fd);
            return error;
        }
        if (*size > 0) {
            // The first line must be our header, whatever line end the file uses. Enough is
            // read to see ours whole and to show another file's first line in a message.
            std::string head(std::max<std::size_t>(header.size() + 2, 256), '\0');
            head.resize(static_cast<std::size_t>(
                logio::ReadAt(fd, 0, head.data(), static_cast<int>(head.size()))));
            const std::string first = head.substr(0, head.find_first_of("\r\n"));
            if (first != header) {
                if (found != nullptr) {
                    *found = first;
                }
                logio::Close(fd);
                return kOtherHeader;
            }
            // Rows take the line end the file already has (an older log of LF lines stays
            // one), so a file never mixes two.
            const std::size_t end = first.size();
            if (end < head.size()) {
                lineEnd_ = head.compare(end, 2, "\r\n") == 0 ? "\r\n" : "\n";
            }
            char last = '\n';
            logio::ReadAt(fd, *size - 1, &last, 1);
            needHeader_ = false;
            needLineEnd_ = last != '\n';
        }
    }
    fd_ = fd;
    owned_ = true;
    regular_ = regular;
    return 0;
}

void LogFile::Adopt(int fd, const std::string& header, std::string_view lineEnd) {
    Close();
    fd_ = fd;
    owned_ = false;
    regular_ = false;
    header_ = header;
    lineEnd_ = lineEnd;
    needHeader_ = true;
    needLineEnd_ = false;
}

std::string LogFile::Pending() const {
    std::string text;
    if (needLineEnd_) {
        text += lineEnd_;
    }
    if (needHeader_) {
        text += header_ + lineEnd_;
    }
    return text;
}

int LogFile::WriteOrTakeBack(const std::string& text, const std::atomic<bool>* stop) {
    if (fd_ < 0) {
        return EBADF;
    }
    const std::optional<long long> before = regular_ ? logio::Size(fd_) : std::nullopt;
    const int error = WriteWhole(fd_, text, stop);
    if (error != 0) {
        if (before) {
            logio::Truncate(fd_, *before);  // whole or not at all
        }
        return error;
    }
    needHeader_ = false;
    needLineEnd_ = false;
    return 0;
}

int LogFile::Append(std::string_view row, const std::atomic<bool>* stop) {
    std::string text = Pending();
    text.append(row);
    text += lineEnd_;
    return WriteOrTakeBack(text, stop);
}

int LogFile::WriteHeader(const std::atomic<bool>* stop) {
    const std::string text = Pending();
    return text.empty() ? 0 : WriteOrTakeBack(text, stop);
}
