#include "screen_text.hpp"

#include <array>
#include <sstream>
#include <stdexcept>

#include "app_test.hpp"

namespace nuvtest {

namespace {

constexpr int kFirstCode = 0x20;
constexpr int kGlyphs = 224;
constexpr int kGlyphBytes = 8;

// The ink of a glyph as 60 bits, bit row * 5 + col.
std::uint64_t glyphMask(const unsigned char* font, unsigned char code) {
    if (code < kFirstCode) return 0;
    const unsigned char* bits = font + (code - kFirstCode) * kGlyphBytes;
    std::uint64_t mask = 0;
    for (int b = 0; b < kCellWidth * kCellHeight; ++b)
        if (bits[b / 8] & (0x80u >> (b % 8))) mask |= std::uint64_t{1} << b;
    return mask;
}

// The bits of the cell at (x, y) that lie on the surface and inside `area`.
std::uint64_t cellArea(const sim::Surface& surface, int x, int y, const ScreenArea& area) {
    std::uint64_t mask = 0;
    for (int row = 0; row < kCellHeight; ++row)
        for (int col = 0; col < kCellWidth; ++col)
            if (surface.contains(x + col, y + row) && area.contains(x + col, y + row))
                mask |= std::uint64_t{1} << (row * kCellWidth + col);
    return mask;
}

// The pixels of the cell at (x, y) that have `colour`, in the same bit order.
std::uint64_t cellMask(const sim::Surface& surface, int x, int y, sim::Rgb565 colour) {
    std::uint64_t mask = 0;
    for (int row = 0; row < kCellHeight; ++row)
        for (int col = 0; col < kCellWidth; ++col)
            if (surface.contains(x + col, y + row) && surface.at(x + col, y + row) == colour)
                mask |= std::uint64_t{1} << (row * kCellWidth + col);
    return mask;
}

// The lowest code whose glyph, seen through `seen`, is `mask`, or 0 when none is.
unsigned char codeOf(std::uint64_t mask, std::uint64_t seen = ~std::uint64_t{0}) {
    const unsigned char* font = appFont();
    for (int code = kFirstCode; code < kFirstCode + kGlyphs; ++code)
        if ((glyphMask(font, static_cast<unsigned char>(code)) & seen) == (mask & seen))
            return static_cast<unsigned char>(code);
    return 0;
}

// Characters that are meant to show something: all but the blank and the empty codes.
bool meantVisible(unsigned char code) { return (code > 0x20 && code < 0x80) || code >= 0x90; }

std::string hexColour(sim::Rgb565 c) {
    std::ostringstream out;
    out << "0x" << std::hex << std::uppercase << c;
    return out.str();
}

}  // namespace

const unsigned char* appFont() {
    if (!sim::Phone::hasActive()) throw std::runtime_error("no phone is active");
    const auto* font = sim::Phone::active().loader.symbol<const unsigned char>("font_bits");
    if (!font) throw std::runtime_error("the application has no font_bits");
    return font;
}

bool glyphInk(unsigned char code, int col, int row) {
    if (col < 0 || col >= kCellWidth || row < 0 || row >= kCellHeight) return false;
    return (glyphMask(appFont(), code) >> (row * kCellWidth + col)) & 1;
}

bool textInk(const std::string& bytes, int x, int y, int px, int py) {
    if (px < x || py < y || py >= y + kCellHeight) return false;
    const std::size_t cell = static_cast<std::size_t>((px - x) / kCellWidth);
    if (cell >= bytes.size()) return false;
    return glyphInk(static_cast<unsigned char>(bytes[cell]), (px - x) % kCellWidth, py - y);
}

int inkCount(const std::string& bytes) {
    const unsigned char* font = appFont();
    int count = 0;
    for (unsigned char c : bytes) {
        const std::uint64_t mask = glyphMask(font, c);
        for (int b = 0; b < kCellWidth * kCellHeight; ++b) count += (mask >> b) & 1;
    }
    return count;
}

::testing::AssertionResult textDrawn(const sim::Surface& surface, int x, int y, const std::string& bytes,
                                     sim::Rgb565 colour, TextCheck check, ScreenArea area) {
    const unsigned char* font = appFont();
    int missing = 0, extra = 0;
    std::ostringstream first;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char code = static_cast<unsigned char>(bytes[i]);
        const std::uint64_t ink = glyphMask(font, code);
        if (ink == 0 && meantVisible(code))
            return ::testing::AssertionFailure() << "the font has no ink for byte " << visible(std::string(1, bytes[i]))
                                                 << " of \"" << visible(bytes) << "\": nothing to check it by";
        const int cellX = x + static_cast<int>(i) * kCellWidth;
        const std::uint64_t seen = cellArea(surface, cellX, y, area);
        const std::uint64_t coloured = cellMask(surface, cellX, y, colour);
        const std::uint64_t lacking = ink & seen & ~coloured;
        const std::uint64_t surplus = check == TextCheck::Exact ? coloured & seen & ~ink : 0;
        for (int b = 0; b < kCellWidth * kCellHeight; ++b) {
            const bool isMissing = (lacking >> b) & 1, isExtra = (surplus >> b) & 1;
            if (!isMissing && !isExtra) continue;
            const int px = cellX + b % kCellWidth, py = y + b / kCellWidth;
            if (missing + extra == 0)
                first << " first at (" << px << ", " << py << "), which is " << hexColour(surface.at(px, py))
                      << (isMissing ? " instead of ink" : " where there is no ink");
            missing += isMissing;
            extra += isExtra;
        }
    }
    if (missing + extra == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << visible(bytes) << "\" at (" << x << ", " << y << ") in "
                                         << hexColour(colour) << ": " << missing << " ink pixels lack the colour, "
                                         << extra << " other pixels have it;" << first.str() << "; read there: \""
                                         << visible(
                                                readText(surface, x, y, static_cast<int>(bytes.size()), colour, area))
                                         << "\"";
}

void expectText(const sim::Surface& surface, int x, int y, const std::string& bytes, sim::Rgb565 colour,
                TextCheck check, ScreenArea area) {
    EXPECT_TRUE(textDrawn(surface, x, y, bytes, colour, check, area));
}

std::string readText(const sim::Surface& surface, int x, int y, int count, sim::Rgb565 colour, ScreenArea area) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const int cellX = x + i * kCellWidth;
        const unsigned char code = codeOf(cellMask(surface, cellX, y, colour), cellArea(surface, cellX, y, area));
        text += code ? static_cast<char>(code) : kUnreadable;
    }
    return text;
}

std::string glyphForm(const std::string& bytes) {
    const unsigned char* font = appFont();
    std::string form;
    for (char c : bytes) {
        const unsigned char code = static_cast<unsigned char>(c);
        form += code < kFirstCode ? c : static_cast<char>(codeOf(glyphMask(font, code)));
    }
    return form;
}

}  // namespace nuvtest
