#pragma once
// Glyphs on a surface: the drawing service's glyph runs and the platform's own dialogs and the
// window's lettering are painted by the same code.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/drawing.h"
#include "surface.hpp"

namespace sim {

// A rectangle [x1, x2) x [y1, y2) in coordinates wide enough for any sum of two 32-bit values.
struct Box {
    std::int64_t x1, y1, x2, y2;
    bool empty() const { return x1 >= x2 || y1 >= y2; }
};

inline Box intersect(const Box& a, const Box& b) {
    return {std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
}

// Paints runs of glyphs in one colour. A glyph is a bitmap of `width` x `height` bits read as
// one stream, row by row from the most significant bit; only its ink is visited. The places of
// the ink of the glyphs of at most 64 bits last seen are remembered, keyed by their bits.
class GlyphPainter {
public:
    // Paints the glyphs from `at`, the pen moving right by each glyph's advance, on the part of
    // `dst` inside `clip` (which lies inside `dst`); where the pen stands after them. A run is
    // painted in parts by handing each part the pen that the part before it left.
    std::int64_t paint(Surface& dst, const Box& clip, std::int64_t penX, std::int32_t y,
                       std::span<const glyph_record_t> glyphs, Rgb565 colour);

private:
    void paintGlyph(Surface& dst, const Box& cell, const glyph_record_t& g, std::int64_t left, std::int64_t top,
                    Rgb565 colour);

    // The places of a glyph's ink pixels, counted from its top-left corner on a surface `stride`
    // pixels wide.
    struct GlyphInk {
        std::uint64_t bits = 0;
        std::uint32_t shape = 0;  // width, height and stride: never that of a real glyph at first
        std::uint8_t count = 0;
        std::array<std::uint16_t, 64> at{};
    };
    const GlyphInk& inkOf(std::uint64_t bits, std::uint8_t width, std::uint8_t height, int stride);

    std::array<GlyphInk, 1024> inkCache_{};
};

// The cell of the platform's own font that shows a 16-bit character. Code units 0x00A0-0x00FF
// stand for the CP1251 letters of the same byte, as on a phone localised for Russian;
// U+0400-U+045F are the Unicode Cyrillic letters. Letters the font lacks show as their
// look-alikes (Ё as Е, Ukrainian І as I, ...), anything else as "?".
std::uint8_t platformFontCell(char16_t c);

// Writes text in the platform's own font, one cell a character from (x, y), its top left.
void drawPlatformText(Surface& s, int x, int y, std::u16string_view text, Rgb565 ink);

}  // namespace sim
