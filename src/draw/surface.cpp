// The off-screen surface, its copy to the display, the two current colours and the
// shape primitives.
#include "draw.h"

#include "../platform/drawing.h"

UINT32 dCtx = 0;
UINT32 sDraw = 0;
UINT32 sDisp = 0;

static UINT32 rgb565(UINT8 red, UINT8 green, UINT8 blue) {
    return ((UINT32)(red & 0xF8) << 8) | ((UINT32)(green & 0xFC) << 3) | ((UINT32)blue >> 3);
}

void AHG_Init(void) {
    dCtx = DAL_GetDeviceContext(0);
    sDraw = DAL_GetDrawingSurface(0);
    AhiDispSurfGet(dCtx, &sDisp);
    AhiDrawSurfDstSet(dCtx, sDisp, 0);
    AhiDrawSurfSrcSet(dCtx, sDraw, 0);
    AhiDrawClipDstSet(dCtx, NULL);
    AhiDrawClipSrcSet(dCtx, NULL);
}

void AHG_Flush(void) {
    ahi_rect_t whole = {0, 0, SCREEN_WIDTH, SCREEN_HEIGHT};
    ahi_point_t origin = {0, 0};
    AhiDrawSurfSrcSet(dCtx, sDraw, 0);
    AhiDrawSurfDstSet(dCtx, sDisp, 0);
    AhiDrawClipSrcSet(dCtx, NULL);
    AhiDrawClipDstSet(dCtx, NULL);
    AhiDrawRopSet(dCtx, ROP_COPY_SOURCE);
    AhiDrawBitBlt(dCtx, &whole, &origin);
}

void SetColorRGB(UINT8 red, UINT8 green, UINT8 blue) { AhiDrawBrushFgColorSet(dCtx, rgb565(red, green, blue)); }

void TextColorRGB(UINT8 red, UINT8 green, UINT8 blue) { AhiDrawFgColorSet(dCtx, rgb565(red, green, blue)); }

// Lines and outlines: `count` joined points in the brush colour.
static void draw_points(const ahi_point_t* points, UINT32 count) {
    AhiDrawSurfDstSet(dCtx, sDraw, 0);
    AhiDrawRopSet(dCtx, ROP_PAINT_BRUSH);
    AhiDrawLines(dCtx, points, count, 0);
    AhiDrawRopSet(dCtx, ROP_COPY_SOURCE);
}

void DrawLine(UINT16 x1, UINT16 y1, UINT16 x2, UINT16 y2) {
    ahi_point_t points[2] = {{x1, y1}, {x2, y2}};
    draw_points(points, 2);
}

void DrawRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h) {
    UINT16 right = (UINT16)(x + w), bottom = (UINT16)(y + h);
    ahi_point_t points[5] = {{x, y}, {right, y}, {right, bottom}, {x, bottom}, {x, y}};
    draw_points(points, 5);
}

void FillRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h) {
    ahi_rect_t span = {x, y, (INT32)(UINT16)(x + w + 1), (INT32)(UINT16)(y + h + 1)};
    AhiDrawBrushSet(dCtx, NULL, NULL, 0, BRUSH_SOLID);
    AhiDrawSurfDstSet(dCtx, sDraw, 0);
    AhiDrawRopSet(dCtx, ROP_PAINT_BRUSH);
    AhiDrawSpans(dCtx, &span, 1, 0);
    AhiDrawRopSet(dCtx, ROP_COPY_SOURCE);
}

void myDrawRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h) {
    for (UINT16 i = 1; i < (w >> 1); i++) {
        UINT16 c = (UINT16)(x + 2 * i);
        DrawLine(c, y, c, (UINT16)(y + 1));
        DrawLine(c, (UINT16)(y + h), c, (UINT16)(y + h + 1));
    }
    for (UINT16 j = 0; j < (h >> 1); j++) {
        UINT16 r = (UINT16)(y + 2 * j + 1);
        DrawLine(x, r, (UINT16)(x + 1), r);
        DrawLine((UINT16)(x + w), r, (UINT16)(x + w + 1), r);
    }
}
