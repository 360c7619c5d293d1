#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "surface.hpp"

namespace sim {

// Writes a surface as an 8-bit RGB PNG, widening each RGB565 channel by bit replication.
bool writePng(const Surface& surface, const std::filesystem::path& file, std::string& error);

// Reads a PNG written by writePng back into RGB565 pixels.
std::optional<Surface> readPng(const std::filesystem::path& file, std::string& error);

}  // namespace sim
