#pragma once
// Text the application drew, read and checked through its own font table (`font_bits` of the
// active phone's module). A text of n bytes at (x, y) covers n cells of 5 x 12 pixels from (x, y).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "phone.hpp"

namespace nuvtest {

inline constexpr int kCellWidth = 5;
inline constexpr int kCellHeight = 12;

// The part of the screen a check looks at, corners included (where something drawn later covers a text).
struct ScreenArea {
    int x1 = 0, y1 = 0, x2 = sim::kScreenWidth - 1, y2 = sim::kScreenHeight - 1;
    bool contains(int x, int y) const { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }
};

// Whether the glyph of `code` has ink at column `col` (0-4), row `row` (0-11); codes below 0x20 have none.
bool glyphInk(unsigned char code, int col, int row);

// `bytes` drawn at (x, y): every ink pixel inside `area` has `colour`.
::testing::AssertionResult textDrawn(const sim::Surface& surface, int x, int y, const std::string& bytes,
                                     sim::Rgb565 colour, ScreenArea area = {});

// The `count` characters whose ink is exactly the pixels of `colour` in the cells from (x, y),
// compared inside `area`. Where glyphs look alike (Latin and Cyrillic "A", the blanks) the
// lowest code is given; a cell matching no glyph reads as kUnreadable.
inline constexpr char kUnreadable = '\x1A';
std::string readText(const sim::Surface& surface, int x, int y, int count, sim::Rgb565 colour, ScreenArea area = {});

// `bytes` as readText gives them back (the lowest code of each glyph): compare with readText(...).
std::string glyphForm(const std::string& bytes);

}  // namespace nuvtest
