// Checks the built-in font table: the glyphs given byte for byte, blanks and bars, and every
// character told apart from the others.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "draw/font.h"

namespace {

constexpr int kRows = FONT_CELL_HEIGHT;
constexpr int kColumns = FONT_CELL_WIDTH;

const UINT8* glyph(int code) { return font_bits + (code - FONT_FIRST_CODE) * FONT_GLYPH_BYTES; }

bool ink(int code, int row, int column) {
    const int bit = row * kColumns + column;
    return (glyph(code)[bit / 8] >> (7 - bit % 8)) & 1;
}

bool rowHasInk(int code, int row) {
    for (int column = 0; column < kColumns; ++column)
        if (ink(code, row, column)) return true;
    return false;
}

int topInkRow(int code) {
    for (int row = 0; row < kRows; ++row)
        if (rowHasInk(code, row)) return row;
    return -1;
}

// The glyph drawn as text, for failure messages.
std::string picture(int code) {
    char header[16];
    std::snprintf(header, sizeof header, "glyph 0x%02X:\n", code);
    std::string text = header;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) text += ink(code, row, column) ? '#' : '.';
        text += '\n';
    }
    return text;
}

// The font's codes of a UTF-8 text made of ASCII and the Cyrillic letters А-я (CP1251 0xC0-0xFF).
std::vector<int> codesOf(const std::string& utf8) {
    std::vector<int> codes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            codes.push_back(lead);
            continue;
        }
        const int letter = ((lead & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
        if (letter < 0x410 || letter > 0x44F) std::abort();  // the lists below name only А-я
        codes.push_back(0xC0 + letter - 0x410);
    }
    return codes;
}

// Every code that stands for a printable character rather than a blank, a bar or a box piece.
std::vector<int> characterCodes() {
    std::vector<int> codes;
    for (int code = 0x21; code <= 0xFF; ++code)
        if (code <= 0x7E || code >= 0xC0) codes.push_back(code);
    return codes;
}

// Letters and digits, Latin and Cyrillic, stand on one baseline: each has ink on row 9, only
// descenders go below it. No glyph has bits past its 60 pixels.
TEST(FontTable, LettersAndDigitsShareABaselineAndNoGlyphSpills) {
    for (int code : characterCodes()) {
        EXPECT_EQ(glyph(code)[FONT_GLYPH_BYTES - 1] & 0x0F, 0) << picture(code);
        const bool alphanumeric = (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') ||
                                  (code >= 'a' && code <= 'z') || code >= 0xC0;
        if (alphanumeric) EXPECT_TRUE(rowHasInk(code, 9)) << picture(code);
    }
}

TEST(FontTable, BlanksAreEmptyDeleteIsABarAndCharactersHaveInk) {
    std::vector<int> blanks = {0x20};
    for (int code = 0x80; code <= 0x8F; ++code) blanks.push_back(code);
    for (int code : blanks) EXPECT_EQ(std::string(glyph(code), glyph(code) + 8), std::string(8, 0)) << picture(code);
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) EXPECT_EQ(ink(0x7F, row, column), column == 2) << row;
    for (int code : characterCodes()) EXPECT_TRUE(topInkRow(code) >= 0) << picture(code);
}

TEST(FontLegibility, CharactersDifferExceptLatinAndCyrillicTwins) {
    const std::vector<int> twins = codesOf("AАBВCСEЕHНKКMМOОPРTТXХaаcсeеoоpрxхyу");
    std::map<std::string, int> firstWithGlyph;
    for (int code : characterCodes()) {
        const auto [seen, fresh] = firstWithGlyph.emplace(std::string(glyph(code), glyph(code) + 8), code);
        if (fresh) continue;
        bool twin = false;
        for (size_t i = 0; i + 1 < twins.size(); i += 2) twin |= twins[i] == seen->second && twins[i + 1] == code;
        EXPECT_TRUE(twin) << picture(seen->second) << picture(code);
    }
}

}  // namespace
