// The kit's text helper (kit/text/), on its own: its font is the application's, characters find
// their glyphs, and text reaches AhiDrawChar in records of the font's shape, a few at a time, with
// the pen moving on. The platform's drawing functions are stand-ins that keep what they were given.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "draw/font.h"
#include "nuvoka_text.h"

namespace {
struct DrawCall {
    ahi_point_t at;
    std::vector<glyph_record_t> glyphs;
    UINT32 colour;
};
std::vector<DrawCall> calls;
UINT32 colour = 0;
}  // namespace

extern "C" {
UINT32 AhiDrawFgColorSet(UINT32, UINT32 c) {
    colour = c;
    return 0;
}
UINT32 AhiDrawChar(UINT32, const ahi_point_t* at, const glyph_record_t* glyphs, UINT32 count, UINT32) {
    calls.push_back({*at, std::vector<glyph_record_t>(glyphs, glyphs + count), colour});
    return 0;
}
UINT32 AhiDrawBrushFgColorSet(UINT32, UINT32) { return 0; }
UINT32 AhiDrawBrushSet(UINT32, const void*, const ahi_point_t*, UINT32, UINT32) { return 0; }
UINT32 AhiDrawRopSet(UINT32, UINT32) { return 0; }
UINT32 AhiDrawSpans(UINT32, const ahi_rect_t*, UINT32, UINT32) { return 0; }
}

TEST(KitFont, IsTheApplicationsFont) {
    static_assert(NUVOKA_FONT_GLYPHS * NUVOKA_FONT_GLYPH_BYTES == FONT_TABLE_BYTES);
    EXPECT_EQ(std::memcmp(nuvoka_font_bits, font_bits, FONT_TABLE_BYTES), 0);
}

TEST(KitFont, CharactersFindTheirGlyphs) {
    struct Case {
        WCHAR character;
        unsigned code;  // the CP1251 code of the glyph drawn
    };
    const Case cases[] = {
        {' ', 0x20},    {'A', 'A'},     {'~', '~'},     {0x0410, 0xC0}, {0x044F, 0xFF}, {0x0401, 0xC5},
        {0x0451, 0xE5}, {0x00C0, 'A'},  {0x00E9, 'e'},  {0x00D7, 'x'},  {0x00FF, 'y'},  {0x00BF, '?'},
        {0x007F, '?'},  {0x001F, '?'},  {0x0000, '?'},  {0xFFFF, '?'},  {0x040F, '?'},  {0x0450, '?'},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nuvoka_glyph(c.character), nuvoka_font_bits + (c.code - FONT_FIRST_CODE) * FONT_GLYPH_BYTES)
            << "U+" << std::hex << c.character;
}

TEST(KitText, DrawsInRecordsOfSixteenAndMovesThePen) {
    struct Case {
        const char* text;
        std::vector<unsigned> counts;  // the records of each AhiDrawChar
    };
    const Case cases[] = {{"", {}}, {"a", {1}}, {"sixteen letters!", {16}}, {"seventeen letters", {16, 1}},
                          {"thirty-two characters, no more!!", {16, 16}},
                          {"thirty-three characters of text!!", {16, 16, 1}}};
    for (const Case& c : cases) {
        calls.clear();
        std::vector<WCHAR> wide(c.text, c.text + std::strlen(c.text) + 1);
        const INT32 end = nuvoka_draw_text(0, 10, 20, wide.data(), 0x1234);
        EXPECT_EQ(end, 10 + 5 * static_cast<INT32>(std::strlen(c.text))) << c.text;
        ASSERT_EQ(calls.size(), c.counts.size()) << c.text;
        INT32 x = 10;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].at.x, x);
            EXPECT_EQ(calls[i].at.y, 20);
            EXPECT_EQ(calls[i].colour, 0x1234u);
            ASSERT_EQ(calls[i].glyphs.size(), c.counts[i]);
            for (const glyph_record_t& g : calls[i].glyphs) {
                EXPECT_EQ(g.width, 5);
                EXPECT_EQ(g.advance, 5);
                EXPECT_EQ(g.height, 12);
            }
            x += 5 * static_cast<INT32>(c.counts[i]);
        }
        if (!calls.empty()) EXPECT_EQ(calls[0].glyphs[0].bits, nuvoka_glyph(static_cast<WCHAR>(c.text[0])));
    }
    EXPECT_EQ(nuvoka_draw_ascii(0, 3, 4, nullptr, 0), 3);
    EXPECT_EQ(nuvoka_text_width(nullptr), 0);
}

TEST(KitText, ColoursAreRgb565) {
    EXPECT_EQ(NUVOKA_RGB(255, 255, 255), 0xFFFFu);
    EXPECT_EQ(NUVOKA_RGB(255, 0, 0), 0xF800u);
    EXPECT_EQ(NUVOKA_RGB(0, 255, 0), 0x07E0u);
    EXPECT_EQ(NUVOKA_RGB(0, 0, 255), 0x001Fu);
    EXPECT_EQ(NUVOKA_RGB(7, 3, 7), 0u);
}
