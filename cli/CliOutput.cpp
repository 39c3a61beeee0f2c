#include "cli/CliOutput.h"

#include <algorithm>
#include <cerrno>

std::string OneLine(std::string text) {
    std::erase(text, '\r');
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

void PrintError(const Streams& io, const std::string& message) {
    io.lastError = OneLine(message);
    std::fprintf(io.err, "%s\n", io.lastError.c_str());
    std::fflush(io.err);
}

int Fail(const Streams& io, const CliFailure& failure) {
    PrintError(io, failure.message);
    return failure.exitCode;
}

int Write(std::FILE* file, const std::string& text) {
    errno = 0;
    const std::size_t n = std::fwrite(text.data(), 1, text.size(), file);
    if (n != text.size() || std::fflush(file) != 0) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

void Print(const Streams& io, const std::string& text) {
    io.printed = true;
    if (io.outError == 0) {
        io.outError = Write(io.out, text);
    }
}

void PrintJson(const Streams& io, const Json& value, bool compact) {
    Print(io, JsonText(value, compact));
}
