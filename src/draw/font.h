// The built-in 5 x 12 bitmap font, one glyph of 8 bytes for each code 0x20 to 0xFF.
#pragma once
#include "../platform/types.h"

#define FONT_FIRST_CODE 0x20
#define FONT_GLYPH_BYTES 8
#define FONT_CELL_WIDTH 5
#define FONT_CELL_HEIGHT 12
#define FONT_TABLE_BYTES 1792

extern "C" const UINT8 font_bits[FONT_TABLE_BYTES];
