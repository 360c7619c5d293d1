/* Text drawn with the kit's font: the glyph records for AhiDrawChar are made a few at a time in
 * a small array on the stack, so drawing takes no heap. */
#include "nuvoka_text.h"

/* Glyph records handed to AhiDrawChar at once. */
#define RECORDS_AT_ONCE 16

/* The Latin-1 letters U+00C0 to U+00FF as their plain letters (× as x, ÷ as /). */
static const char plain_latin[65] = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";

static UINT32 font_code(WCHAR c) {
    if (c >= 0x20 && c < 0x7F) return c;
    if (c >= 0x0410 && c <= 0x044F) return c - 0x0410 + 0xC0; /* А to я */
    if (c == 0x0401) return 0xC5;                             /* Ё as Е */
    if (c == 0x0451) return 0xE5;                             /* ё as е */
    if (c >= 0x00C0 && c <= 0x00FF) return (UINT8)plain_latin[c - 0x00C0];
    return '?';
}

const UINT8* nuvoka_glyph(WCHAR character) {
    return nuvoka_font_bits + (font_code(character) - NUVOKA_FONT_FIRST_CODE) * NUVOKA_FONT_GLYPH_BYTES;
}

/* Draws `count` glyph records at x, y; returns the x after them. */
static INT32 draw_records(UINT32 ctx, INT32 x, INT32 y, const glyph_record_t* records, UINT32 count) {
    ahi_point_t at;
    at.x = x;
    at.y = y;
    if (count > 0) AhiDrawChar(ctx, &at, records, count, 0);
    return x + (INT32)count * NUVOKA_FONT_WIDTH;
}

static void set_record(glyph_record_t* record, const UINT8* bits) {
    record->width = NUVOKA_FONT_WIDTH;
    record->reserved = 0;
    record->advance = NUVOKA_FONT_WIDTH;
    record->height = NUVOKA_FONT_HEIGHT;
    record->bits = bits;
}

INT32 nuvoka_draw_text(UINT32 ctx, INT32 x, INT32 y, const WCHAR* text, UINT32 colour) {
    glyph_record_t records[RECORDS_AT_ONCE];
    UINT32 count = 0;
    if (text == NULL) return x;
    AhiDrawFgColorSet(ctx, colour);
    for (; *text != 0; ++text) {
        set_record(&records[count++], nuvoka_glyph(*text));
        if (count == RECORDS_AT_ONCE) {
            x = draw_records(ctx, x, y, records, count);
            count = 0;
        }
    }
    return draw_records(ctx, x, y, records, count);
}

INT32 nuvoka_draw_ascii(UINT32 ctx, INT32 x, INT32 y, const char* text, UINT32 colour) {
    glyph_record_t records[RECORDS_AT_ONCE];
    UINT32 count = 0;
    if (text == NULL) return x;
    AhiDrawFgColorSet(ctx, colour);
    for (; *text != 0; ++text) {
        set_record(&records[count++], nuvoka_glyph((UINT8)*text));
        if (count == RECORDS_AT_ONCE) {
            x = draw_records(ctx, x, y, records, count);
            count = 0;
        }
    }
    return draw_records(ctx, x, y, records, count);
}

INT32 nuvoka_text_width(const WCHAR* text) {
    INT32 width = 0;
    for (; text != NULL && *text != 0; ++text) width += NUVOKA_FONT_WIDTH;
    return width;
}

void nuvoka_fill(UINT32 ctx, INT32 x, INT32 y, INT32 w, INT32 h, UINT32 colour) {
    ahi_rect_t span;
    span.x1 = x;
    span.y1 = y;
    span.x2 = x + w;
    span.y2 = y + h;
    AhiDrawBrushFgColorSet(ctx, colour);
    AhiDrawBrushSet(ctx, NULL, NULL, 0, BRUSH_SOLID);
    AhiDrawRopSet(ctx, ROP_PAINT_BRUSH);
    AhiDrawSpans(ctx, &span, 1, 0);
    AhiDrawRopSet(ctx, ROP_COPY_SOURCE);
}
