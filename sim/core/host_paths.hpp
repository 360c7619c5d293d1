#pragma once
// Files the simulator itself writes on the host: screenshots, recordings, GIFs.
#include <filesystem>

#include "result.hpp"

namespace sim {

// Makes sure the folder a file is written into is there: a relative path's missing folder is
// made (as for "shots/list.png"); an absolute path's folder must exist, so that a mistyped
// path is told, not made.
Result<> folderFor(const std::filesystem::path& file);

}  // namespace sim
