#include "screen_text.hpp"

#include <bit>
#include <stdexcept>

#include "app_test.hpp"

namespace nuvtest {

namespace {

constexpr int kFirstCode = 0x20, kGlyphs = 224, kCellBits = kCellWidth * kCellHeight;
using Mask = std::uint64_t;  // a cell's pixels, bit row * 5 + col

const unsigned char* appFont() {
    const auto* font =
        sim::Phone::hasActive() ? sim::Phone::active().loader().symbol<const unsigned char>("font_bits") : nullptr;
    if (!font) throw std::runtime_error("no active phone with an application that has font_bits");
    return font;
}

Mask glyphMask(unsigned char code, const unsigned char* font = appFont()) {
    Mask mask = 0;
    for (int b = 0; code >= kFirstCode && b < kCellBits; ++b)
        if (font[(code - kFirstCode) * 8 + b / 8] & (0x80u >> (b % 8))) mask |= Mask{1} << b;
    return mask;
}

// The pixels of the cell at (x, y) on the surface and inside `area`, and of `colour` if given.
Mask cellMask(const sim::Surface& s, int x, int y, const ScreenArea& area, const sim::Rgb565* colour = nullptr) {
    Mask mask = 0;
    for (int b = 0; b < kCellBits; ++b) {
        const int px = x + b % kCellWidth, py = y + b / kCellWidth;
        if (s.contains(px, py) && area.contains(px, py) && (!colour || s.at(px, py) == *colour)) mask |= Mask{1} << b;
    }
    return mask;
}

// The lowest code whose glyph, seen through `seen`, is `mask`, or 0.
unsigned char codeOf(Mask mask, Mask seen = ~Mask{0}) {
    const unsigned char* font = appFont();
    for (int code = kFirstCode; code < kFirstCode + kGlyphs; ++code)
        if ((glyphMask(static_cast<unsigned char>(code), font) & seen) == (mask & seen))
            return static_cast<unsigned char>(code);
    return 0;
}

}  // namespace

bool glyphInk(unsigned char code, int col, int row) {
    return col >= 0 && col < kCellWidth && row >= 0 && row < kCellHeight &&
           ((glyphMask(code) >> (row * kCellWidth + col)) & 1);
}

::testing::AssertionResult textDrawn(const sim::Surface& surface, int x, int y, const std::string& bytes,
                                     sim::Rgb565 colour, ScreenArea area) {
    int missing = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int cellX = x + static_cast<int>(i) * kCellWidth;
        const Mask ink = glyphMask(static_cast<unsigned char>(bytes[i]));
        missing += std::popcount(ink & cellMask(surface, cellX, y, area) & ~cellMask(surface, cellX, y, area, &colour));
    }
    if (missing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << visible(bytes) << "\" at (" << x << ", " << y << "): " << missing
                                         << " ink pixels lack the colour; read: \""
                                         << visible(readText(surface, x, y, static_cast<int>(bytes.size()), colour))
                                         << "\"";
}

std::string readText(const sim::Surface& surface, int x, int y, int count, sim::Rgb565 colour, ScreenArea area) {
    std::string text;
    for (int cellX = x; cellX < x + count * kCellWidth; cellX += kCellWidth) {
        const unsigned char code =
            codeOf(cellMask(surface, cellX, y, area, &colour), cellMask(surface, cellX, y, area));
        text += code ? static_cast<char>(code) : kUnreadable;
    }
    return text;
}

std::string glyphForm(const std::string& bytes) {
    std::string form;
    for (char c : bytes) form += static_cast<unsigned char>(c) < kFirstCode ? c : char(codeOf(glyphMask(c)));
    return form;
}

}  // namespace nuvtest
