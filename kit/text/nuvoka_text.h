/* Text for a module: the kit's 5 x 12 font and the functions that draw 16-bit text with it
 * through AhiDrawChar. C11 and C++, for this computer and for the phone: no division, no switch,
 * no block copies, so the phone's build needs no helper routine.
 *
 * The font holds the printable ASCII characters and the Cyrillic letters А to я (U+0410 to
 * U+044F); Ё and ё show as Е and е, the accented Latin letters of U+00C0 to U+00FF as their plain
 * letters (é as e), any other character as "?". Each glyph is 5 pixels wide and 12 high, and the pen
 * moves 5 pixels a character (the glyphs keep their own gap in column 4). Only the ink is painted,
 * in the given colour: the background stays as it was. */
#pragma once
#include "platform/drawing.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NUVOKA_FONT_FIRST_CODE 0x20  /* the font's first glyph is CP1251 code 0x20, a blank */
#define NUVOKA_FONT_GLYPHS 224       /* codes 0x20 to 0xFF */
#define NUVOKA_FONT_GLYPH_BYTES 8    /* 60 bits of a 5 x 12 glyph, most significant bit first */
#define NUVOKA_FONT_WIDTH 5
#define NUVOKA_FONT_HEIGHT 12

/* An RGB565 colour, as AhiDrawFgColorSet and AhiDrawBrushFgColorSet take it, from 8-bit channels. */
#define NUVOKA_RGB(red, green, blue) \
    ((((UINT32)(red) & 0xF8u) << 8) | (((UINT32)(green) & 0xFCu) << 3) | ((UINT32)(blue) >> 3))

/* The glyphs, NUVOKA_FONT_GLYPH_BYTES each, for codes NUVOKA_FONT_FIRST_CODE to 0xFF. */
extern const UINT8 nuvoka_font_bits[NUVOKA_FONT_GLYPHS * NUVOKA_FONT_GLYPH_BYTES];

/* The glyph bits of a 16-bit character: its own, or "?" where the font has none. */
const UINT8* nuvoka_glyph(WCHAR character);

/* Draws `text` (ending with a 0) with its top left corner at x, y, in `colour` (RGB565), on the
 * surface that is ctx's destination (AhiDrawSurfDstSet). Returns the x just after the last
 * character. */
INT32 nuvoka_draw_text(UINT32 ctx, INT32 x, INT32 y, const WCHAR* text, UINT32 colour);
/* The same for 8-bit text, each byte taken as the character of its value (ASCII). */
INT32 nuvoka_draw_ascii(UINT32 ctx, INT32 x, INT32 y, const char* text, UINT32 colour);
/* How many pixels wide `text` is drawn. */
INT32 nuvoka_text_width(const WCHAR* text);

/* Fills the rectangle from x, y, w pixels wide and h high, in `colour` on ctx's destination. */
void nuvoka_fill(UINT32 ctx, INT32 x, INT32 y, INT32 w, INT32 h, UINT32 colour);

#ifdef __cplusplus
}
#endif
