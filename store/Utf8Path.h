#pragma once
// The program's paths are UTF-8 strings; std::filesystem takes a narrow string in the
// system's code page on Windows, so a path goes through this to reach it.

#include <filesystem>
#include <string>

inline std::filesystem::path Utf8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
