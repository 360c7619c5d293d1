#pragma once
// Two modules run one script side by side, typically the host and the phone's builds of the same
// sources: after each line their screens, the files of their phone folders and their states are
// compared, and the first difference is told with the line that made it.
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "options.hpp"
#include "surface.hpp"

namespace runner {

// What differs between two runs after a line: each part in words, none when they agree.
struct Difference {
    std::vector<std::string> parts;
    explicit operator bool() const { return !parts.empty(); }
};

// The files below two phone folders that differ or lie in one only, by their path from the
// folder (at most `most` of them).
std::vector<std::string> differingFiles(const std::filesystem::path& one, const std::filesystem::path& other,
                                        std::size_t most = 8);

// Runs the script of `options` (a file) on options.module and on options.lockstep: 0 when they
// agree to the end, 1 at the first difference (the two screens and their difference are written
// as PNGs in the working folder), and the runs' own status when one ends otherwise.
ExitStatus runLockstep(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace runner
