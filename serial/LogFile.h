#pragma once
// A log the program appends rows to (fernwell-cli's `watch --csv`, the trend window's "Log to
// file" and "Save CSV"), so that a log is never left with a cut row:
//  - every row goes out in one write; a write that fails or falls short (a full disk, a file
//    size limit) is taken back by truncating the file to its length before the row, so the
//    row is in the file whole or not at all;
//  - a file that already ends without a line end (a row cut by an earlier crash) gets one
//    before the first new row, so the new row never joins the cut one;
//  - a file that holds text must begin with the header this log writes: a log of other
//    columns (another model's, or no CSV of ours at all) is refused, not appended to;
//  - the header goes only into a new or empty file.
// Devices and pipes (a FIFO, /dev/null, standard output) have no length and no first line:
// rows are written to them as they come. A write waits for a full pipe only while `stop`
// (when given) is not raised, looking at it every 100 ms, so Ctrl-C always ends a command
// whose output is stuck; a row stopped that way is not written at all.
//
// The process ignores SIGXFSZ (see PrepareProcess), so a file size limit is a failed write
// (EFBIG) like a full disk, not the end of the process.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

class LogFile {
public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens `path` to append rows, creating it when missing. `header` is the first line
    // without its line end; `lineEnd` ends every line ("\n", or "\r\n") of a new or empty
    // file, a file that has lines keeps the line end of its header. Returns 0, or the
    // system's error number; kOtherHeader when the file begins with another line, which
    // `found` (when given) then holds.
    static constexpr int kOtherHeader = -1;
    int Open(const std::filesystem::path& path, const std::string& header, std::string_view lineEnd,
             std::string* found = nullptr);
    // Rows to a descriptor the process already has (standard output): the header goes before
    // the first row. The descriptor stays open.
    void Adopt(int fd, const std::string& header, std::string_view lineEnd);

    // Appends `row` (without its line end), the header first when the file is new or empty.
    // Returns 0, or the system's error number (ECANCELED: `stop` was raised while the output
    // was full); the file then holds what it held before.
    int Append(std::string_view row, const std::atomic<bool>* stop = nullptr);
    // Writes the header now when the file is new or empty (and ends a cut last line), for a
    // caller that wants to know at once whether the file takes writes. 0 or the error number.
    int WriteHeader(const std::atomic<bool>* stop = nullptr);

    bool IsOpen() const { return fd_ >= 0; }
    void Close();

private:
    // What must go before the next row: the line end of a cut row, the header.
    std::string Pending() const;
    // `text` in one go, taken back when it does not all go out.
    int WriteOrTakeBack(const std::string& text, const std::atomic<bool>* stop);

    int fd_ = -1;
    bool owned_ = false;
    bool regular_ = false;     // a file with a length: rows can be taken back
    bool needHeader_ = false;  // nothing written yet to a new or empty file (or to a device)
    bool needLineEnd_ = false;
    std::string header_;
    std::string lineEnd_;
};

// Writes all of `data` to `fd` in as few writes as the output takes (a pipe: at most its
// atomic size a write), waiting for room while `stop` is not raised. 0, or the error number
// (ECANCELED when stopped before everything went out). For rows and lines of output that
// must not hold up Ctrl-C.
int WriteWhole(int fd, std::string_view data, const std::atomic<bool>* stop);
