#include "host_folders.hpp"

#include <algorithm>

namespace runner {

namespace fs = std::filesystem;

namespace {

// The path with every link and ".." followed, as far as it exists; the rest as written.
fs::path followed(const fs::path& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) return {};
    const fs::path real = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : real;
}

bool below(const fs::path& path, const fs::path& folder) {
    const auto [inFolder, inPath] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    // A folder given with a trailing slash ends in an empty part.
    return inFolder == folder.end() || (std::next(inFolder) == folder.end() && inFolder->empty());
}

}  // namespace

HostFolders HostFolders::workingFolder() {
    HostFolders folders(false);
    std::error_code ec;
    folders.add(fs::current_path(ec));
    return folders;
}

HostFolders HostFolders::of(const Options& options) {
    if (options.allowAnyPath) return anywhere();
    HostFolders folders = workingFolder();
    folders.add(options.fs);
    for (const auto& file : {options.record, options.screenshot, options.gif})
        if (file) folders.add(file->parent_path());
    return folders;
}

void HostFolders::add(const fs::path& folder) {
    const fs::path real = followed(folder.empty() ? fs::path(".") : folder);
    if (!real.empty()) folders_.push_back(real);
}

bool HostFolders::contains(const fs::path& named) const {
    if (any_) return true;
    const fs::path real = followed(named);
    return !real.empty() &&
           std::any_of(folders_.begin(), folders_.end(), [&](const fs::path& folder) { return below(real, folder); });
}

sim::Result<fs::path> HostFolders::check(const fs::path& named) const {
    if (contains(named)) return named;
    return sim::failure(named.string() +
                        " lies outside the folders a script may use (the working folder, the script's folder and "
                        "those --fs, --record and --screenshot name); --allow-any-path allows it");
}

}  // namespace runner
