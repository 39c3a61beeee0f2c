#pragma once
// A folder of the test's own under the system's temporary folder, removed with everything in
// it when the test is done. Standard C++ only, so the Windows build of the tests has it too.

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace fwtest {

class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix = "fernwell-test") {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                path_ = candidate;
            }
        }
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool Ok() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }
    std::string String() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace fwtest
