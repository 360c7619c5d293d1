#pragma once
#include <filesystem>

#include "host_paths.hpp"
#include "result.hpp"
#include "surface.hpp"

namespace sim {

// Writes a surface as an 8-bit RGB PNG, widening each RGB565 channel by bit replication.
Result<> writePng(const Surface& surface, const std::filesystem::path& file);

// Reads a PNG written by writePng back into RGB565 pixels.
Result<Surface> readPng(const std::filesystem::path& file);

}  // namespace sim
