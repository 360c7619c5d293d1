#pragma once
#include <stdlib.h>

#include <filesystem>
#include <optional>
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

// Where the phone folders of runs of their own lie: below the folder the user named (--fs), to be
// looked at after the run, or else in a temporary folder that goes with the run.
class RunFolders {
public:
    static sim::Result<RunFolders> make(const std::optional<std::filesystem::path>& named, const std::string& purpose) {
        if (named) return RunFolders(*named, std::nullopt);
        auto made = TemporaryFolder::make(purpose);
        if (!made) return tl::unexpected(made.error());
        const std::filesystem::path root = made->path();
        return RunFolders(root, std::move(*made));
    }
    const std::filesystem::path& root() const { return root_; }

private:
    RunFolders(std::filesystem::path root, std::optional<TemporaryFolder> temporary)
        : root_(std::move(root)), temporary_(std::move(temporary)) {}
    std::filesystem::path root_;
    std::optional<TemporaryFolder> temporary_;
};

}  // namespace runner
