// What the drawing functions do, for the phone that is active.
#include "services.hpp"

namespace sim::service {

namespace {
Graphics& graphics() { return Phone::active().graphics(); }
}  // namespace

UINT32 DAL_GetDeviceContext(UINT32) { return Graphics::kContext; }
UINT32 DAL_GetDrawingSurface(UINT32) { return Graphics::kOffscreen; }

UINT32 AhiDispSurfGet(UINT32 ctx, UINT32* surface) {
    if (ctx != Graphics::kContext || !surface) return kFailed;
    *surface = Graphics::kDisplay;
    return kOk;
}

UINT32 AhiDrawSurfDstSet(UINT32 ctx, UINT32 surface, UINT32) { return result(graphics().setDestination(ctx, surface)); }
UINT32 AhiDrawSurfSrcSet(UINT32 ctx, UINT32 surface, UINT32) { return result(graphics().setSource(ctx, surface)); }
UINT32 AhiDrawClipDstSet(UINT32 ctx, const ahi_rect_t* clip) {
    return result(graphics().setDestinationClip(ctx, clip));
}
UINT32 AhiDrawClipSrcSet(UINT32 ctx, const ahi_rect_t* clip) { return result(graphics().setSourceClip(ctx, clip)); }
UINT32 AhiDrawRopSet(UINT32 ctx, UINT32 rop) { return result(graphics().setRop(ctx, rop)); }

UINT32 AhiDrawBrushFgColorSet(UINT32 ctx, UINT32 color) {
    return result(graphics().setBrushColor(ctx, static_cast<Rgb565>(color)));
}

UINT32 AhiDrawFgColorSet(UINT32 ctx, UINT32 color) {
    return result(graphics().setTextColor(ctx, static_cast<Rgb565>(color)));
}

UINT32 AhiDrawBrushSet(UINT32 ctx, const void*, const ahi_point_t*, UINT32, UINT32 kind) {
    return result(graphics().setSolidBrush(ctx, kind));
}

UINT32 AhiDrawLines(UINT32 ctx, const ahi_point_t* points, UINT32 count, UINT32) {
    return result(graphics().drawLines(ctx, items(points, count)));
}

UINT32 AhiDrawSpans(UINT32 ctx, const ahi_rect_t* rects, UINT32 count, UINT32) {
    return result(graphics().fillSpans(ctx, items(rects, count)));
}

UINT32 AhiDrawBitBlt(UINT32 ctx, const ahi_rect_t* source, const ahi_point_t* destination) {
    return source && destination ? result(graphics().bitBlt(ctx, *source, *destination)) : kFailed;
}

UINT32 AhiDrawChar(UINT32 ctx, const ahi_point_t* at, const glyph_record_t* glyphs, UINT32 count, UINT32) {
    return at ? result(graphics().drawGlyphs(ctx, *at, items(glyphs, count))) : kFailed;
}

}  // namespace sim::service
