#pragma once
// Reading and checking text that the application drew, through the glyphs of its own
// font table (`font_bits` of the module loaded into the active phone). A text of n bytes
// drawn at (x, y) occupies n cells of 5 x 12 pixels side by side from (x, y).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "phone.hpp"

namespace nuvtest {

inline constexpr int kCellWidth = 5;
inline constexpr int kCellHeight = 12;

// The part of the screen a check looks at, both corners included; pixels outside it are
// left out on the screen's side and on the glyphs' side alike. Useful where something
// drawn later covers part of a text, such as the row of a title that a window's body covers.
struct ScreenArea {
    int x1 = 0, y1 = 0, x2 = sim::kScreenWidth - 1, y2 = sim::kScreenHeight - 1;
    bool contains(int x, int y) const { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }
};

// What `textDrawn` demands: that every ink pixel has the colour, or also that no other
// pixel of the text's cells has it (the text and nothing else is there in that colour).
enum class TextCheck { Ink, Exact };

// The loaded application's font table: 224 glyphs of 8 bytes for the codes 0x20 to 0xFF.
// Throws when no phone is active or its module has no font.
const unsigned char* appFont();

// Whether the glyph of `code` has ink at column `col` (0-4) and row `row` (0-11).
// Codes below 0x20 have no glyph and no ink.
bool glyphInk(unsigned char code, int col, int row);

// Whether text drawn at (x, y) has ink at the screen pixel (px, py).
bool textInk(const std::string& bytes, int x, int y, int px, int py);

// The number of ink pixels of a text.
int inkCount(const std::string& bytes);

// Every ink pixel of `bytes` drawn at (x, y) has `colour` on the surface; with
// TextCheck::Exact, the other pixels of its cells do not. Pixels off the surface or outside
// `area` are not checked. Fails as well when a character that ought to be visible has no
// ink in the font, since nothing could then be told about it.
::testing::AssertionResult textDrawn(const sim::Surface& surface, int x, int y, const std::string& bytes,
                                     sim::Rgb565 colour, TextCheck check = TextCheck::Ink, ScreenArea area = {});
// The same as a non-fatal expectation, naming the text and position when it fails.
void expectText(const sim::Surface& surface, int x, int y, const std::string& bytes, sim::Rgb565 colour,
                TextCheck check = TextCheck::Ink, ScreenArea area = {});

// The `count` characters whose ink is exactly the pixels of `colour` in the cells from
// (x, y): each cell is matched against every glyph. Where several glyphs look the same
// (a Latin and a Cyrillic "A", the blanks) the lowest code is given, as `glyphForm` does;
// a cell that matches no glyph reads as kUnreadable. Only the pixels inside `area` are
// compared, so a smaller area may match more glyphs (and give a lower code).
inline constexpr char kUnreadable = '\x1A';
std::string readText(const sim::Surface& surface, int x, int y, int count, sim::Rgb565 colour, ScreenArea area = {});

// `bytes` with each character replaced by the lowest code of the same glyph: what
// `readText` gives back for that text. Compare readText(...) with glyphForm(expected).
std::string glyphForm(const std::string& bytes);

}  // namespace nuvtest
