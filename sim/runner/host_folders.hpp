#pragma once
// The host folders a script may name files in. A script or a recording comes from someone else:
// what it reads and writes on the host stays inside the working folder, the script's own folder
// and the folders the command line names, unless the command line allows any path.
#include <filesystem>
#include <string>
#include <vector>

#include "options.hpp"
#include "result.hpp"

namespace runner {

class HostFolders {
public:
    // Any path at all: --allow-any-path, or a session that no script drives.
    static HostFolders anywhere() { return HostFolders(true); }
    // Only the working folder, until more are added.
    static HostFolders workingFolder();
    // The working folder and the folders the options name (--fs, and those of the files --record,
    // --screenshot, --gif write); anywhere with --allow-any-path.
    static HostFolders of(const Options& options);

    void add(const std::filesystem::path& folder);
    // The path a script names, as given, when it lies inside one of the folders once links and
    // ".." are followed; otherwise an error that names it and the option that allows it.
    sim::Result<std::filesystem::path> check(const std::filesystem::path& named) const;
    bool contains(const std::filesystem::path& named) const;
    bool anyPath() const { return any_; }

private:
    explicit HostFolders(bool any) : any_(any) {}
    bool any_;
    std::vector<std::filesystem::path> folders_;  // absolute, with links followed
};

}  // namespace runner
