#pragma once
#include <filesystem>

#include "result.hpp"
#include "surface.hpp"

namespace sim {

// Makes sure the folder a file is written into is there: a relative path's missing folder is
// made (as for "shots/list.png"); an absolute path's folder must exist, so that a mistyped
// path is told, not made.
Result<> folderFor(const std::filesystem::path& file);

// Writes a surface as an 8-bit RGB PNG, widening each RGB565 channel by bit replication.
Result<> writePng(const Surface& surface, const std::filesystem::path& file);

// Reads a PNG written by writePng back into RGB565 pixels.
Result<Surface> readPng(const std::filesystem::path& file);

}  // namespace sim
