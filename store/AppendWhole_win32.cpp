#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "store/AppendWhole.h"
#include "store/Utf8Path.h"

namespace {

// The system's words for `error`, one line.
std::string ErrorText(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&buffer),
        0, nullptr);
    std::string text = length != 0 && buffer != nullptr ? std::string(buffer, length)
                                                        : "Error " + std::to_string(error);
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::optional<std::string> AppendWhole(const std::string& path, const std::string& bytes) {
    const std::filesystem::path file = Utf8Path(path);
    if (file.has_parent_path()) {
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        if (error) {
            return error.message();
        }
    }
    // Writing data as well as appending it: the write that fails is cut off again with
    // SetFileInformationByHandle, which needs FILE_WRITE_DATA. Each write still goes to the
    // end (the offset 0xFFFFFFFF:0xFFFFFFFF below).
    const HANDLE handle = CreateFileW(file.wstring().c_str(),
                                      FILE_APPEND_DATA | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return ErrorText(GetLastError());
    }
    if (bytes.size() > MAXDWORD) {
        CloseHandle(handle);
        return ErrorText(ERROR_INVALID_PARAMETER);
    }
    DWORD error = ERROR_SUCCESS;
    OVERLAPPED whole{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        error = GetLastError();
    }
    LARGE_INTEGER before{};
    if (error == ERROR_SUCCESS && !GetFileSizeEx(handle, &before)) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS) {
        OVERLAPPED atEnd{};
        atEnd.Offset = MAXDWORD;
        atEnd.OffsetHigh = MAXDWORD;
        DWORD written = 0;
        const BOOL ok =
            WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &atEnd);
        if (!ok || written != bytes.size()) {
            error = ok ? ERROR_DISK_FULL : GetLastError();
            FILE_END_OF_FILE_INFO end{};
            end.EndOfFile = before;
            // Nothing to be done when this fails too: the error is reported either way.
            SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end);
        }
        UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
    }
    CloseHandle(handle);
    if (error != ERROR_SUCCESS) {
        return ErrorText(error);
    }
    return std::nullopt;
}
