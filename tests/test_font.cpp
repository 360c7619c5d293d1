// Checks the built-in font table against the cell and metrics every glyph keeps: which rows and
// columns a glyph may use, the glyphs given byte for byte, and the box pieces joining at the edges.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "draw/font.h"

namespace {

constexpr int kRows = FONT_CELL_HEIGHT;
constexpr int kColumns = FONT_CELL_WIDTH;
constexpr int kLastCode = 0xFF;
constexpr int kFirstPiece = 0x90;  // shades, box pieces and blocks run from here ...
constexpr int kLastPiece = 0xBF;   // ... to here
constexpr int kDelete = 0x7F;

bool ink(int code, int row, int column) {
    const UINT8* glyph = font_bits + (code - FONT_FIRST_CODE) * FONT_GLYPH_BYTES;
    const int bit = row * kColumns + column;
    return (glyph[bit / 8] >> (7 - bit % 8)) & 1;
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

int bottomInkRow(int code) {
    for (int row = kRows - 1; row >= 0; --row)
        if (rowHasInk(code, row)) return row;
    return -1;
}

int inkCount(int code) {
    int count = 0;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) count += ink(code, row, column);
    return count;
}

bool isPiece(int code) { return code >= kFirstPiece && code <= kLastPiece; }

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
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            codes.push_back(lead);
            i += 1;
            continue;
        }
        const int letter = ((lead & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
        if (letter < 0x410 || letter > 0x44F) std::abort();  // the tables below name only А-я
        codes.push_back(0xC0 + letter - 0x410);
        i += 2;
    }
    return codes;
}

bool contains(const std::vector<int>& codes, int code) {
    for (int c : codes)
        if (c == code) return true;
    return false;
}

const std::vector<int> kWide = codesOf("#&*+TY_ДЖТФЦШЩЪЮджтфцшщю");
const std::vector<int> kDescenders = codesOf("QДЦЩgjpqyдруфцщ,;$_");
const std::vector<int> kCapitalsAndDigits =
    codesOf("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
const std::vector<int> kSmallLetters = codesOf("abcdefghijklmnopqrstuvwxyzабвгдежзийклмнопрстуфхцчшщъыьэюя");
const std::vector<int> kAscendersToRowOne = codesOf("bdfhkl");
const std::vector<int> kTopsOnRowTwo = codesOf("itбй");
const int kShortI = codesOf("Й")[0];

// Every code that stands for a printable character rather than a blank, a bar or a box piece.
std::vector<int> characterCodes() {
    std::vector<int> codes;
    for (int code = 0x21; code <= 0x7E; ++code) codes.push_back(code);
    for (int code = 0xC0; code <= kLastCode; ++code) codes.push_back(code);
    return codes;
}

TEST(FontTable, HoldsOneGlyphOfEightBytesForEveryCodeFrom0x20To0xFF) {
    EXPECT_EQ(sizeof font_bits, 1792u);
    EXPECT_EQ(sizeof font_bits, static_cast<size_t>(kLastCode + 1 - FONT_FIRST_CODE) * FONT_GLYPH_BYTES);
}

TEST(FontTable, PaddingBitsAreZeroInEveryGlyph) {
    for (int code = FONT_FIRST_CODE; code <= kLastCode; ++code)
        EXPECT_EQ(font_bits[(code - FONT_FIRST_CODE) * FONT_GLYPH_BYTES + 7] & 0x0F, 0) << picture(code);
}

TEST(FontTable, GlyphsGivenInFullAreByteExact) {
    const struct {
        const char* letter;
        UINT8 bytes[FONT_GLYPH_BYTES];
    } cases[] = {
        {"A", {0x03, 0x25, 0x29, 0x7A, 0x52, 0x94, 0x80, 0x00}},
        {"g", {0x00, 0x00, 0x07, 0x4A, 0x52, 0x93, 0x84, 0xC0}},
        {"Ж", {0x05, 0x6B, 0x5A, 0xBA, 0xB5, 0xAD, 0x40, 0x00}},
    };
    for (const auto& expected : cases) {
        const int code = codesOf(expected.letter)[0];
        for (int i = 0; i < FONT_GLYPH_BYTES; ++i)
            EXPECT_EQ(font_bits[(code - FONT_FIRST_CODE) * FONT_GLYPH_BYTES + i], expected.bytes[i])
                << expected.letter << " byte " << i << "\n" << picture(code);
    }
}

TEST(FontTable, BlankCodesHaveNoInk) {
    std::vector<int> blanks = {0x20};
    for (int code = 0x80; code <= 0x8F; ++code) blanks.push_back(code);
    for (int code : blanks) EXPECT_EQ(inkCount(code), 0) << picture(code);
}

TEST(FontTable, EveryCharacterHasInk) {
    for (int code : characterCodes()) EXPECT_GT(inkCount(code), 0) << picture(code);
}

TEST(FontTable, DeleteIsAVerticalBarThroughAllRowsInColumnTwo) {
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            EXPECT_EQ(ink(kDelete, row, column), column == 2) << "row " << row << " column " << column;
}

TEST(FontMetrics, NarrowGlyphsLeaveColumnFourEmpty) {
    for (int code = FONT_FIRST_CODE; code <= kLastCode; ++code) {
        if (isPiece(code) || contains(kWide, code)) continue;
        EXPECT_FALSE(columnHasInk(code, 4)) << picture(code);
    }
}

TEST(FontMetrics, WideGlyphsUseAllFiveColumns) {
    for (int code : kWide) {
        EXPECT_TRUE(columnHasInk(code, 0)) << picture(code);
        EXPECT_TRUE(columnHasInk(code, 4)) << picture(code);
    }
}

TEST(FontMetrics, CapitalsAndDigitsStandOnRowsOneToNine) {
    for (int code : kCapitalsAndDigits) {
        const int expectedTop = code == kShortI ? 0 : 1;  // only the breve of Й rises to row 0
        EXPECT_EQ(topInkRow(code), expectedTop) << picture(code);
        EXPECT_TRUE(rowHasInk(code, 9)) << "no ink on the base line\n" << picture(code);
        if (!contains(kDescenders, code)) {
            EXPECT_EQ(bottomInkRow(code), 9) << picture(code);
        }
    }
}

TEST(FontMetrics, SmallLettersHaveTheirBodyOnRowsFourToNine) {
    for (int code : kSmallLetters) {
        // Only the named ascenders rise above the body; every other small letter, including
        // those whose dot or stem would rise in a larger font, keeps to row 4 and below.
        const int expectedTop = contains(kAscendersToRowOne, code) ? 1 : contains(kTopsOnRowTwo, code) ? 2 : 4;
        EXPECT_EQ(topInkRow(code), expectedTop) << picture(code);
        EXPECT_TRUE(rowHasInk(code, 4)) << "no ink on the top of the body\n" << picture(code);
        EXPECT_TRUE(rowHasInk(code, 9)) << "no ink on the base line\n" << picture(code);
    }
}

TEST(FontMetrics, OnlyDescendersReachRowsTenAndEleven) {
    for (int code = FONT_FIRST_CODE; code <= kLastCode; ++code) {
        if (isPiece(code) || code == kDelete) continue;
        const bool descends = rowHasInk(code, 10) || rowHasInk(code, 11);
        EXPECT_EQ(descends, contains(kDescenders, code)) << picture(code);
    }
}

// The box pieces 0x93-0xBA (code page 437's 0xB3-0xDA), each with the strokes it sends to the
// four edges of the cell: 0 none, 1 single, 2 double.
struct BoxPiece {
    int code;
    int up, down, left, right;
};

const BoxPiece kBoxPieces[] = {
    // code, up, down, left, right
    {0x93, 1, 1, 0, 0},  // │
    {0x94, 1, 1, 1, 0},  // ┤
    {0x95, 1, 1, 2, 0},  // ╡
    {0x96, 2, 2, 1, 0},  // ╢
    {0x97, 0, 2, 1, 0},  // ╖
    {0x98, 0, 1, 2, 0},  // ╕
    {0x99, 2, 2, 2, 0},  // ╣
    {0x9A, 2, 2, 0, 0},  // ║
    {0x9B, 0, 2, 2, 0},  // ╗
    {0x9C, 2, 0, 2, 0},  // ╝
    {0x9D, 2, 0, 1, 0},  // ╜
    {0x9E, 1, 0, 2, 0},  // ╛
    {0x9F, 0, 1, 1, 0},  // ┐
    {0xA0, 1, 0, 0, 1},  // └
    {0xA1, 1, 0, 1, 1},  // ┴
    {0xA2, 0, 1, 1, 1},  // ┬
    {0xA3, 1, 1, 0, 1},  // ├
    {0xA4, 0, 0, 1, 1},  // ─
    {0xA5, 1, 1, 1, 1},  // ┼
    {0xA6, 1, 1, 0, 2},  // ╞
    {0xA7, 2, 2, 0, 1},  // ╟
    {0xA8, 2, 0, 0, 2},  // ╚
    {0xA9, 0, 2, 0, 2},  // ╔
    {0xAA, 2, 0, 2, 2},  // ╩
    {0xAB, 0, 2, 2, 2},  // ╦
    {0xAC, 2, 2, 0, 2},  // ╠
    {0xAD, 0, 0, 2, 2},  // ═
    {0xAE, 2, 2, 2, 2},  // ╬
    {0xAF, 1, 0, 2, 2},  // ╧
    {0xB0, 2, 0, 1, 1},  // ╨
    {0xB1, 0, 1, 2, 2},  // ╤
    {0xB2, 0, 2, 1, 1},  // ╥
    {0xB3, 2, 0, 0, 1},  // ╙
    {0xB4, 1, 0, 0, 2},  // ╘
    {0xB5, 0, 1, 0, 2},  // ╒
    {0xB6, 0, 2, 0, 1},  // ╓
    {0xB7, 2, 2, 1, 1},  // ╫
    {0xB8, 1, 1, 2, 2},  // ╪
    {0xB9, 1, 0, 1, 0},  // ┘
    {0xBA, 0, 1, 0, 1},  // ┌
};

// Where a stroke crosses the cell edge: single lines in column 2 or on row 5, double lines one
// pixel apart around them.
std::vector<int> strokeColumns(int kind) {
    if (kind == 0) return {};
    return kind == 1 ? std::vector<int>{2} : std::vector<int>{1, 3};
}
std::vector<int> strokeRows(int kind) {
    if (kind == 0) return {};
    return kind == 1 ? std::vector<int>{5} : std::vector<int>{4, 6};
}

TEST(FontBoxPieces, StrokesReachTheCellEdgesWhereTheNeighboursContinueThem) {
    for (const BoxPiece& piece : kBoxPieces) {
        // Along each edge exactly the stroke positions carry ink, so a piece joins its neighbour
        // and touches it nowhere else; and each stroke is solid from the edge to where the strokes
        // meet: rows 0-3 and 7-11 of a vertical one, columns 0-1 and 3-4 of a horizontal one.
        for (int column = 0; column < kColumns; ++column) {
            const bool up = contains(strokeColumns(piece.up), column);
            const bool down = contains(strokeColumns(piece.down), column);
            EXPECT_EQ(ink(piece.code, 0, column), up) << "top edge, column " << column << "\n" << picture(piece.code);
            EXPECT_EQ(ink(piece.code, kRows - 1, column), down)
                << "bottom edge, column " << column << "\n" << picture(piece.code);
            for (int row = 1; row <= 3 && up; ++row)
                EXPECT_TRUE(ink(piece.code, row, column)) << picture(piece.code);
            for (int row = 7; row <= 10 && down; ++row)
                EXPECT_TRUE(ink(piece.code, row, column)) << picture(piece.code);
        }
        for (int row = 0; row < kRows; ++row) {
            const bool left = contains(strokeRows(piece.left), row);
            const bool right = contains(strokeRows(piece.right), row);
            EXPECT_EQ(ink(piece.code, row, 0), left) << "left edge, row " << row << "\n" << picture(piece.code);
            EXPECT_EQ(ink(piece.code, row, kColumns - 1), right)
                << "right edge, row " << row << "\n" << picture(piece.code);
            if (left) {
                EXPECT_TRUE(ink(piece.code, row, 1)) << picture(piece.code);
            }
            if (right) {
                EXPECT_TRUE(ink(piece.code, row, kColumns - 2)) << picture(piece.code);
            }
        }
    }
}

TEST(FontBoxPieces, StrokesThatCrossTheCellRunFromEdgeToEdge) {
    // A stroke that enters on one side and leaves on the other is unbroken from edge to edge
    // (column 0 to 4, row 0 to 11) unless a double line crosses it and cuts it at the junction.
    for (const BoxPiece& piece : kBoxPieces) {
        if (piece.left == piece.right && piece.left > 0 && std::max(piece.up, piece.down) < 2) {
            for (int row : strokeRows(piece.left))
                for (int column = 0; column < kColumns; ++column)
                    EXPECT_TRUE(ink(piece.code, row, column)) << "row " << row << "\n" << picture(piece.code);
        }
        if (piece.up == piece.down && piece.up > 0 && std::max(piece.left, piece.right) < 2) {
            for (int column : strokeColumns(piece.up))
                for (int row = 0; row < kRows; ++row)
                    EXPECT_TRUE(ink(piece.code, row, column)) << "column " << column << "\n" << picture(piece.code);
        }
    }
}

TEST(FontBoxPieces, MirroredPiecesAreMirrorImages) {
    for (const BoxPiece& piece : kBoxPieces)
        for (const BoxPiece& other : kBoxPieces) {
            if (other.up != piece.up || other.down != piece.down || other.left != piece.right ||
                other.right != piece.left)
                continue;
            for (int row = 0; row < kRows; ++row)
                for (int column = 0; column < kColumns; ++column)
                    EXPECT_EQ(ink(piece.code, row, column), ink(other.code, row, kColumns - 1 - column))
                        << picture(piece.code) << picture(other.code);
        }
}

TEST(FontBoxPieces, BlocksFillExactlyTheirPartOfTheCell) {
    const struct {
        int code;
        int firstRow, lastRow, firstColumn, lastColumn;
    } blocks[] = {
        {0xBB, 0, 11, 0, 4},  // full block
        {0xBC, 6, 11, 0, 4},  // lower half
        {0xBD, 0, 11, 0, 2},  // left half: three of the five columns, the mirror image of ...
        {0xBE, 0, 11, 2, 4},  // ... the right half; both include the column of vertical lines
        {0xBF, 0, 5, 0, 4},   // upper half
    };
    for (const auto& block : blocks)
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column) {
                const bool inside = row >= block.firstRow && row <= block.lastRow && column >= block.firstColumn &&
                                    column <= block.lastColumn;
                EXPECT_EQ(ink(block.code, row, column), inside) << picture(block.code);
            }
}

TEST(FontBoxPieces, ShadesGrowDarkerAndCoverEveryRow) {
    const int shades[] = {0x90, 0x91, 0x92};
    int previous = 0;
    for (int code : shades) {
        EXPECT_GT(inkCount(code), previous) << picture(code);
        previous = inkCount(code);
        for (int row = 0; row < kRows; ++row) EXPECT_TRUE(rowHasInk(code, row)) << picture(code);
    }
    EXPECT_LT(previous, kRows * kColumns);
}

TEST(FontLegibility, CharactersDifferExceptLatinAndCyrillicTwins) {
    // Letters that look alike in the two alphabets may share a glyph; everything else must differ.
    const std::vector<int> twins = codesOf("AАBВCСEЕHНKКMМOОPРTТXХaаcсeеoоpрxхyу");
    auto areTwins = [&](int a, int b) {
        for (size_t i = 0; i + 1 < twins.size(); i += 2)
            if ((twins[i] == a && twins[i + 1] == b) || (twins[i] == b && twins[i + 1] == a)) return true;
        return false;
    };
    auto same = [](int a, int b) {
        for (int i = 0; i < FONT_GLYPH_BYTES; ++i)
            if (font_bits[(a - FONT_FIRST_CODE) * FONT_GLYPH_BYTES + i] !=
                font_bits[(b - FONT_FIRST_CODE) * FONT_GLYPH_BYTES + i])
                return false;
        return true;
    };
    const std::vector<int> codes = characterCodes();
    for (size_t i = 0; i < codes.size(); ++i)
        for (size_t j = i + 1; j < codes.size(); ++j)
            if (!areTwins(codes[i], codes[j])) {
                EXPECT_FALSE(same(codes[i], codes[j])) << picture(codes[i]) << picture(codes[j]);
            }
}

}  // namespace
