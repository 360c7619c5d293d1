#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>

#include "result.hpp"

namespace runner {

// A folder of the system's temporary ones, removed with everything in it when it goes.
class TemporaryFolder {
public:
    // A new folder named after `purpose`.
    static sim::Result<TemporaryFolder> make(const std::string& purpose) {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / (purpose + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) return sim::failure("cannot make a temporary folder for " + purpose);
        return TemporaryFolder(pattern);
    }
    TemporaryFolder(TemporaryFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(TemporaryFolder&&) = delete;
    ~TemporaryFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    explicit TemporaryFolder(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path path_;
};

}  // namespace runner
