#pragma once
// A program's output split into its lines (without the newlines).

#include <sstream>
#include <string>
#include <vector>

namespace testing_text {

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace testing_text
