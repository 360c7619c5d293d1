// Checks the built-in font table against the cell and metrics every glyph keeps: which rows and
// columns a glyph may use, the glyphs given byte for byte, and the box pieces joining at the edges.

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

bool columnHasInk(int code, int column) {
    for (int row = 0; row < kRows; ++row)
        if (ink(code, row, column)) return true;
    return false;
}

int topInkRow(int code) {
    for (int row = 0; row < kRows; ++row)
        if (rowHasInk(code, row)) return row;
    return -1;
}

bool isPiece(int code) { return code >= 0x90 && code <= 0xBF; }

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

bool among(const char* utf8, int code) {
    const std::vector<int> codes = codesOf(utf8);
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

const char* const kWide = "#&*+TY_ДЖТФЦШЩЪЮджтфцшщю";
const char* const kDescenders = "QДЦЩgjpqyдруфцщ,;$_";

// Every code that stands for a printable character rather than a blank, a bar or a box piece.
std::vector<int> characterCodes() {
    std::vector<int> codes;
    for (int code = 0x21; code <= 0xFF; ++code)
        if (code <= 0x7E || code >= 0xC0) codes.push_back(code);
    return codes;
}

TEST(FontTable, EveryGlyphHasEightBytesAndZeroPadding) {
    EXPECT_EQ(sizeof font_bits, 1792u);  // 0x20 to 0xFF
    for (int code = FONT_FIRST_CODE; code <= 0xFF; ++code) EXPECT_EQ(glyph(code)[7] & 0x0F, 0) << picture(code);
}

TEST(FontTable, GlyphsGivenInFullAreByteExact) {
    const std::pair<const char*, std::vector<UINT8>> cases[] = {
        {"A", {0x03, 0x25, 0x29, 0x7A, 0x52, 0x94, 0x80, 0x00}},
        {"g", {0x00, 0x00, 0x07, 0x4A, 0x52, 0x93, 0x84, 0xC0}},
        {"Ж", {0x05, 0x6B, 0x5A, 0xBA, 0xB5, 0xAD, 0x40, 0x00}},
    };
    for (const auto& [letter, bytes] : cases) {
        const int code = codesOf(letter)[0];
        EXPECT_EQ(std::vector<UINT8>(glyph(code), glyph(code) + FONT_GLYPH_BYTES), bytes) << picture(code);
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

TEST(FontMetrics, OnlyWideGlyphsAndPiecesUseColumnFour) {
    for (int code = FONT_FIRST_CODE; code <= 0xFF; ++code) {
        if (isPiece(code)) continue;
        const bool wide = among(kWide, code);
        EXPECT_EQ(columnHasInk(code, 4), wide) << picture(code);
        if (wide) EXPECT_TRUE(columnHasInk(code, 0)) << picture(code);
    }
}

TEST(FontMetrics, RowsOfCapitalsDigitsAndSmallLetters) {
    // Capitals and digits stand on rows 1-9; only the breve of Й rises to row 0.
    for (int code : codesOf("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ")) {
        EXPECT_EQ(topInkRow(code), code == codesOf("Й")[0] ? 0 : 1) << picture(code);
        EXPECT_TRUE(rowHasInk(code, 9)) << "no ink on the base line\n" << picture(code);
    }
    // Small letters have their body on rows 4-9; only the named ascenders and tops rise above it.
    for (int code : codesOf("abcdefghijklmnopqrstuvwxyzабвгдежзийклмнопрстуфхцчшщъыьэюя")) {
        EXPECT_EQ(topInkRow(code), among("bdfhkl", code) ? 1 : among("itбй", code) ? 2 : 4) << picture(code);
        EXPECT_TRUE(rowHasInk(code, 4) && rowHasInk(code, 9)) << picture(code);
    }
}

TEST(FontMetrics, OnlyDescendersReachRowsTenAndEleven) {
    for (int code = FONT_FIRST_CODE; code <= 0xFF; ++code) {
        if (isPiece(code) || code == 0x7F) continue;
        EXPECT_EQ(rowHasInk(code, 10) || rowHasInk(code, 11), among(kDescenders, code)) << picture(code);
    }
}

TEST(FontBoxPieces, StrokesReachTheCellEdgesWhereTheNeighboursContinueThem) {
    // Up, down, left and right strokes (0 none, 1 single, 2 double) of 0x93 to 0xBA, code page 437's
    // │ ┤ ╡ ╢ ╖ ╕ ╣ ║ ╗ ╝ ╜ ╛ ┐ └ ┴ ┬ ├ ─ ┼ ╞ ╟ ╚ ╔ ╩ ╦ ╠ ═ ╬ ╧ ╨ ╤ ╥ ╙ ╘ ╒ ╓ ╫ ╪ ┘ ┌
    const std::string strokes =
        "1100 1110 1120 2210 0210 0120 2220 2200 0220 2020 2010 1020 0110 1001 1011 0111 1101 0011 1111 1102 "
        "2201 2002 0202 2022 0222 2202 0022 2222 1022 2011 0122 0211 2001 1002 0102 0201 2211 1122 1010 0101";
    // A single stroke crosses the edge at column 2 or row 5, a double one at columns 1 and 3 or rows 4 and 6.
    const std::vector<int> columnsOf[] = {{}, {2}, {1, 3}}, rowsOf[] = {{}, {5}, {4, 6}};
    auto has = [](const std::vector<int>& places, int at) {
        return std::find(places.begin(), places.end(), at) != places.end();
    };
    for (int code = 0x93; code <= 0xBA; ++code) {
        const char* piece = &strokes[static_cast<size_t>(code - 0x93) * 5];
        const int up = piece[0] - '0', down = piece[1] - '0', left = piece[2] - '0', right = piece[3] - '0';
        // A stroke runs solid from its edge to the junction, and right through the cell when nothing
        // double crosses it; along the edges only the strokes carry ink, so a piece joins its
        // neighbour and touches it nowhere else.
        const bool vertical = up == down && std::max(left, right) < 2;
        const bool horizontal = left == right && std::max(up, down) < 2;
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column) {
                const bool stroke = (has(columnsOf[up], column) && (row <= 3 || vertical)) ||
                                    (has(columnsOf[down], column) && (row >= 7 || vertical)) ||
                                    (has(rowsOf[left], row) && (column <= 1 || horizontal)) ||
                                    (has(rowsOf[right], row) && (column >= 3 || horizontal));
                const bool edge = row == 0 || row == kRows - 1 || column == 0 || column == kColumns - 1;
                if (stroke || edge)
                    EXPECT_EQ(ink(code, row, column), stroke) << "row " << row << " column " << column << picture(code);
            }
    }
}

TEST(FontBoxPieces, ShadesDarkenAndBlocksFillExactlyTheirPart) {
    int previous = 0;
    for (int code : {0x90, 0x91, 0x92}) {
        int count = 0;
        for (int row = 0; row < kRows; ++row) {
            EXPECT_TRUE(rowHasInk(code, row)) << picture(code);
            for (int column = 0; column < kColumns; ++column) count += ink(code, row, column);
        }
        EXPECT_GT(count, previous) << picture(code);
        EXPECT_LT(count, kRows * kColumns) << picture(code);
        previous = count;
    }
    // Code, rows and columns covered: full, lower half, left and right halves (both holding the
    // column of vertical lines), upper half.
    const int blocks[][5] = {
        {0xBB, 0, 11, 0, 4}, {0xBC, 6, 11, 0, 4}, {0xBD, 0, 11, 0, 2}, {0xBE, 0, 11, 2, 4}, {0xBF, 0, 5, 0, 4}};
    for (const auto& [code, top, bottom, first, last] : blocks)
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column)
                EXPECT_EQ(ink(code, row, column), row >= top && row <= bottom && column >= first && column <= last)
                    << picture(code);
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
