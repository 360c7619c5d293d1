// Text output in the built-in font.
#include "draw.h"
#include "font.h"

#include "../platform/drawing.h"
#include "../platform/memory.h"
#include "../platform/text.h"

// The glyph of a byte; bytes below the font's first code have none and show blank.
static const UINT8* glyph_of(UINT8 c) {
    if (c < FONT_FIRST_CODE) c = ' ';
    return font_bits + (c - FONT_FIRST_CODE) * FONT_GLYPH_BYTES;
}

void WriteString(UINT8 x, UINT8 y, const char* text) {
    // The counter is as wide as the length, so a text of any length ends.
    UINT32 n = (UINT32)strlen(text);
    if (n == 0) return;
    glyph_record_t* records = (glyph_record_t*)suAllocMem(n * sizeof(glyph_record_t), NULL);
    if (records == NULL) return;
    for (UINT32 i = 0; i < n; i++) {
        records[i].width = FONT_CELL_WIDTH;
        records[i].reserved = 0;
        records[i].advance = FONT_CELL_WIDTH;
        records[i].height = FONT_CELL_HEIGHT;
        records[i].bits = glyph_of((UINT8)text[i]);
    }
    ahi_point_t at = {x, y};
    AhiDrawSurfDstSet(dCtx, sDraw, 0);
    AhiDrawChar(dCtx, &at, records, n, 0);
    suFreeMem(records);
}

void WriteChar(UINT8 x, UINT8 y, UINT8 c) {
    char text[2] = {(char)c, 0};
    WriteString(x, y, text);
}

UINT16 charCol(const char* text, char separator) {
    UINT16 count = 0;
    UINT32 n = (UINT32)strlen(text);
    for (UINT32 i = 0; i < n; i++)
        if (text[i] == separator) count++;
    return count;
}
