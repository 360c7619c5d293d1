#include "glyphs.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform_font.hpp"

namespace sim {

std::int64_t GlyphPainter::paint(Surface& dst, const Box& clip, std::int64_t penX, std::int32_t y,
                                 std::span<const glyph_record_t> glyphs, Rgb565 colour) {
    for (const glyph_record_t& g : glyphs) {
        if (penX >= clip.x2 || clip.empty()) break;  // the pen only moves right
        const Box cell = intersect(clip, {penX, y, penX + g.width, std::int64_t{y} + g.height});
        if (g.bits && !cell.empty()) paintGlyph(dst, cell, g, penX, y, colour);
        penX += g.advance;
    }
    return penX;
}

const GlyphPainter::GlyphInk& GlyphPainter::inkOf(std::uint64_t bits, std::uint8_t width, std::uint8_t height,
                                                  int stride) {
    const std::uint32_t shape =
        std::uint32_t{width} << 24 | std::uint32_t{height} << 16 | static_cast<std::uint16_t>(stride);
    GlyphInk& ink = inkCache_[(bits * 0x9E3779B97F4A7C15u) >> 54];
    if (ink.bits == bits && ink.shape == shape) return ink;
    ink.bits = bits, ink.shape = shape, ink.count = 0;
    for (int bit = 0; bit < width * height; ++bit)
        if (bits & (std::uint64_t{1} << (63 - bit)))
            ink.at[ink.count++] = static_cast<std::uint16_t>(bit / width * stride + bit % width);
    return ink;
}

// The rows of a glyph inside `cell` (its part inside the drawable box), a row's bits taken from
// the bit stream at once and only its ink visited.
void GlyphPainter::paintGlyph(Surface& dst, const Box& cell, const glyph_record_t& g, std::int64_t left,
                              std::int64_t top, Rgb565 colour) {
    const std::size_t width = g.width, bits = width * g.height;
    // A glyph of at most 64 bits, as most are, is read whole into one word.
    std::uint64_t whole = 0;
    if (bits > 56 && bits <= 64) {
        std::memcpy(&whole, g.bits, sizeof whole);
        whole = __builtin_bswap64(whole);
    } else if (bits <= 56) {
        for (std::size_t i = 0; i < (bits + 7) / 8; ++i) whole |= std::uint64_t{g.bits[i]} << (56 - 8 * i);
    }
    const bool wholeRows =
        bits <= 64 && width > 0 && cell.x1 == left && cell.x2 == left + static_cast<std::int64_t>(width);
    if (wholeRows && cell.y1 == top && cell.y2 == top + g.height) {
        // A whole glyph: its ink, worked out once for its bits and shape, is a list of places.
        const GlyphInk& ink = inkOf(whole, g.width, g.height, dst.width());
        Rgb565* out = dst.row(static_cast<int>(top)) + left;
        for (std::uint8_t i = 0; i < ink.count; ++i) out[ink.at[i]] = colour;
        return;
    }
    if (wholeRows) {
        // Whole rows: each row's bits come off the top of the word.
        std::uint64_t rest = whole << ((cell.y1 - top) * static_cast<std::int64_t>(width));
        for (auto y = cell.y1; y < cell.y2 && rest; ++y, rest <<= width) {
            Rgb565* out = dst.row(static_cast<int>(y)) + left;
            for (std::uint64_t ink = rest >> (64 - width); ink; ink &= ink - 1)
                out[width - 1 - static_cast<std::size_t>(std::countr_zero(ink))] = colour;
        }
        return;
    }
    for (auto y = cell.y1; y < cell.y2; ++y) {
        Rgb565* row = dst.row(static_cast<int>(y));
        const auto first = static_cast<std::size_t>(y - top) * width;  // the row's first bit
        for (std::size_t done = 0; done < width;) {
            const std::size_t bit = first + done, take = std::min<std::size_t>(width - done, 24);
            std::uint32_t ink;  // the row's next `take` bits, the first at the top
            if (bits <= 64) {
                ink = static_cast<std::uint32_t>((whole << bit) >> 32);
            } else {
                const std::uint8_t* p = g.bits + bit / 8;
                const std::size_t span = take + bit % 8;
                std::uint32_t word = std::uint32_t{p[0]} << 24;
                for (std::size_t i = 1; i < 4 && span > 8 * i; ++i) word |= std::uint32_t{p[i]} << (24 - 8 * i);
                ink = word << (bit % 8);
            }
            ink &= ~(~0u >> take);
            while (ink) {
                const int column = std::countl_zero(ink);
                ink &= ~(0x80000000u >> column);
                const std::int64_t x = left + static_cast<std::int64_t>(done) + column;
                if (x >= cell.x1 && x < cell.x2) row[x] = colour;
            }
            done += take;
        }
    }
}

std::uint8_t platformFontCell(char16_t c) {
    // CP1251 0xA0-0xBF, in order, as the font's cells.
    static constexpr std::uint8_t kUpperHalf[32] = {
        ' ', 0xD3, 0xF3, 'J', '?',  0xC3, '|', '?', 0xC5, 'c', 0xC5, '"', '-', '-', 'R', 'I',
        '?', '+',  'I',  'i', 0xE3, 'u',  '?', '.', 0xE5, 'N', 0xE5, '"', 'j', 'S', 's', 'i',
    };
    if (c >= 0x20 && c < 0x7F) return static_cast<std::uint8_t>(c);
    if (c >= 0xC0 && c <= 0xFF) return static_cast<std::uint8_t>(c);
    if (c >= 0xA0 && c <= 0xBF) return kUpperHalf[c - 0xA0];
    if (c >= 0x410 && c <= 0x44F) return static_cast<std::uint8_t>(c - 0x350);
    switch (c) {
    case 0x401:
    case 0x404: return 0xC5;  // Ё Є
    case 0x451:
    case 0x454: return 0xE5;  // ё є
    case 0x406:
    case 0x407: return 'I';  // І Ї
    case 0x456:
    case 0x457: return 'i';  // і ї
    case 0x408: return 'J';
    case 0x458: return 'j';
    case 0x405: return 'S';
    case 0x455: return 's';
    case 0x40E: return 0xD3;  // Ў as У
    case 0x45E: return 0xF3;  // ў as у
    case 0x490: return 0xC3;  // Ґ as Г
    case 0x491: return 0xE3;  // ґ as г
    default: return '?';
    }
}

void drawPlatformText(Surface& s, int x, int y, std::u16string_view text, Rgb565 ink) {
    std::vector<glyph_record_t> glyphs;
    for (char16_t c : text) {
        const std::uint8_t* bits = kPlatformFont + (platformFontCell(c) - kFontFirstCode) * kFontGlyphBytes;
        glyphs.push_back({kFontCellWidth, 0, kFontCellWidth, kFontCellHeight, bits});
    }
    thread_local GlyphPainter painter;
    painter.paint(s, {0, 0, s.width(), s.height()}, x, y, glyphs, ink);
}

}  // namespace sim
