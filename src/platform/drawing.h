// 2D drawing: a context, surfaces, raster operations, lines, spans, copies and glyphs.
#pragma once
#include "types.h"

typedef struct ahi_point {
    INT32 x, y;
} ahi_point_t;

// Right and bottom lie one past the last pixel.
typedef struct ahi_rect {
    INT32 x1, y1, x2, y2;
} ahi_rect_t;

// One character for AhiDrawChar: a bitmap of rows of `width` bits, read as one bit stream.
typedef struct glyph_record {
    UINT8 width;
    UINT8 reserved;
    UINT8 advance;
    UINT8 height;
    const UINT8* bits;
} glyph_record_t;

#if PLATFORM_POINTERS_ARE_32_BITS
PLATFORM_STATIC_ASSERT(sizeof(glyph_record_t) == 8, "glyph records are 8 bytes");
#endif

#define ROP_COPY_SOURCE 0xCCCC
#define ROP_PAINT_BRUSH 0xF0F0
#define BRUSH_SOLID 2

PLATFORM_API UINT32 DAL_GetDeviceContext(UINT32 display);
PLATFORM_API UINT32 DAL_GetDrawingSurface(UINT32 display);
PLATFORM_API UINT32 AhiDispSurfGet(UINT32 ctx, UINT32* surface);
PLATFORM_API UINT32 AhiDrawSurfDstSet(UINT32 ctx, UINT32 surface, UINT32 flags);
PLATFORM_API UINT32 AhiDrawSurfSrcSet(UINT32 ctx, UINT32 surface, UINT32 flags);
PLATFORM_API UINT32 AhiDrawClipDstSet(UINT32 ctx, const ahi_rect_t* clip);
PLATFORM_API UINT32 AhiDrawClipSrcSet(UINT32 ctx, const ahi_rect_t* clip);
PLATFORM_API UINT32 AhiDrawRopSet(UINT32 ctx, UINT32 rop);
PLATFORM_API UINT32 AhiDrawBrushFgColorSet(UINT32 ctx, UINT32 color);
PLATFORM_API UINT32 AhiDrawFgColorSet(UINT32 ctx, UINT32 color);
PLATFORM_API UINT32 AhiDrawBrushSet(UINT32 ctx, const void* pattern, const ahi_point_t* origin, UINT32 background,
                                    UINT32 kind);
PLATFORM_API UINT32 AhiDrawLines(UINT32 ctx, const ahi_point_t* points, UINT32 count, UINT32 flags);
PLATFORM_API UINT32 AhiDrawSpans(UINT32 ctx, const ahi_rect_t* rects, UINT32 count, UINT32 flags);
PLATFORM_API UINT32 AhiDrawBitBlt(UINT32 ctx, const ahi_rect_t* source, const ahi_point_t* destination);
PLATFORM_API UINT32 AhiDrawChar(UINT32 ctx, const ahi_point_t* at, const glyph_record_t* glyphs, UINT32 count,
                                UINT32 flags);
