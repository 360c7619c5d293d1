#pragma once
#include <filesystem>
#include <optional>

#include "host_paths.hpp"
#include "result.hpp"
#include "surface.hpp"

namespace sim {

// Writes a surface as an 8-bit RGB PNG, widening each RGB565 channel by bit replication. The
// file is written anew (a new file that takes the old one's place).
Result<> writePng(const Surface& surface, const std::filesystem::path& file);

struct Size {
    int width;
    int height;
};
// The largest side of a PNG read without a size given.
inline constexpr int kMostPngSide = 4096;

// Reads a PNG written by writePng back into RGB565 pixels. Its header must give `size` when one
// is given, else at most kMostPngSide a side: checked before it is decoded.
Result<Surface> readPng(const std::filesystem::path& file, std::optional<Size> size = std::nullopt);

}  // namespace sim
