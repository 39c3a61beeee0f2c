#pragma once
// The program's paths are UTF-8 strings; std::filesystem takes a narrow string in the
// system's code page on Windows, so a path goes through this to reach it.

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

inline std::filesystem::path Utf8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Creates the folder `path` is to be in, as needed; the system's reason when it cannot.
inline std::optional<std::string> CreateParentFolder(const std::filesystem::path& path) {
    if (path.has_parent_path()) {
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        if (error) {
            return error.message();
        }
    }
    return std::nullopt;
}
