#pragma once
// Files the simulator itself reads and writes on the host: screenshots, recordings, GIFs, the
// files a script checks against. Only regular files: a folder, a FIFO or a device is refused at
// once, never waited on, and a read is bounded.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "result.hpp"

namespace sim {

// The most bytes a host file the simulator reads may hold: a script's reference, a recording's
// file, the record file it carries.
inline constexpr std::uint64_t kMostHostFileBytes = std::uint64_t{64} << 20;

// Makes sure the folder a file is written into is there: a relative path's missing folder is
// made (as for "shots/list.png"); an absolute path's folder must exist, so that a mistyped
// path is told, not made.
Result<> folderFor(const std::filesystem::path& file);

// A regular file's bytes, at most `most` of them; a folder, FIFO, device or a larger file is an
// error that says which.
Result<std::string> readHostFile(const std::filesystem::path& file, std::uint64_t most = kMostHostFileBytes);

// Writes a file anew: the bytes go into a new file beside it, which then takes its place, so a
// link (hard or symbolic) to another file is replaced, never written through. A folder, FIFO or
// device in its place is refused.
Result<> replaceHostFile(const std::filesystem::path& file, std::string_view bytes);

// What kind of thing a path names, in words, when it is not a regular file ("a folder", "a
// FIFO", "a device"); empty for a regular file or nothing at all.
std::string specialKind(const std::filesystem::path& file);

}  // namespace sim
