#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

namespace sim {

inline constexpr int kScreenWidth = 176;
inline constexpr int kScreenHeight = 220;

using Rgb565 = std::uint16_t;

struct Rgb888 {
    std::uint8_t r, g, b;
    friend bool operator==(const Rgb888&, const Rgb888&) = default;
};

// Reduces 8-bit components to RGB565 by dropping their low bits.
constexpr Rgb565 toRgb565(int r, int g, int b) {
    return static_cast<Rgb565>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | ((b & 0xFF) >> 3));
}

// Widens RGB565 to 8 bits per channel by bit replication.
constexpr Rgb888 toRgb888(Rgb565 c) {
    const int r5 = c >> 11, g6 = (c >> 5) & 0x3F, b5 = c & 0x1F;
    return {static_cast<std::uint8_t>(r5 << 3 | r5 >> 2), static_cast<std::uint8_t>(g6 << 2 | g6 >> 4),
            static_cast<std::uint8_t>(b5 << 3 | b5 >> 2)};
}

// A rectangle of RGB565 pixels. Writes outside it are cut off at its edge.
class Surface {
public:
    // Out of line (graphics.cpp), with the other loops over pixels, which the fuzzers' build does
    // not trace: a phone's two screens are filled at its start.
    Surface(int width = kScreenWidth, int height = kScreenHeight, Rgb565 fill = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    Rgb565 at(int x, int y) const { return contains(x, y) ? pixels_[index(x, y)] : 0; }
    void set(int x, int y, Rgb565 c) {
        if (contains(x, y)) pixels_[index(x, y)] = c;
    }
    void fill(Rgb565 c) { pixels_.assign(pixels_.size(), c); }
    // Fills the part of the rectangle from (x, y) that lies inside.
    void fill(int x, int y, int width, int height, Rgb565 c) {
        const int left = std::max(x, 0), right = std::min(x + width, width_);
        for (int row = std::max(y, 0); row < std::min(y + height, height_) && left < right; ++row)
            std::fill(this->row(row) + left, this->row(row) + right, c);
    }
    const std::vector<Rgb565>& pixels() const { return pixels_; }
    // The pixels of row y, which must lie inside.
    Rgb565* row(int y) { return pixels_.data() + index(0, y); }
    const Rgb565* row(int y) const { return pixels_.data() + index(0, y); }

    friend bool operator==(const Surface&, const Surface&) = default;

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }
    int width_, height_;
    std::vector<Rgb565> pixels_;
};

}  // namespace sim
