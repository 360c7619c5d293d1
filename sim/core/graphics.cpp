#include "graphics.hpp"

#include <algorithm>
#include <cstdlib>

namespace sim {

Rgb565 applyRop3(std::uint8_t rop, Rgb565 p, Rgb565 s, Rgb565 d) {
    unsigned result = 0;
    for (unsigned index = 0; index < 8; ++index) {
        if (!(rop & (1u << index))) continue;
        const unsigned mask = ((index & 4) ? p : ~p) & ((index & 2) ? s : ~s) & ((index & 1) ? d : ~d);
        result |= mask;
    }
    return static_cast<Rgb565>(result & 0xFFFF);
}

Surface* Graphics::surface(std::uint32_t handle) {
    if (handle == kOffscreen) return &offscreen_;
    if (handle == kDisplay) return &display_;
    return nullptr;
}

bool Graphics::setDestination(std::uint32_t ctx, std::uint32_t s) {
    if (ctx != kContext || !surface(s)) return false;
    dst_ = s;
    return true;
}

bool Graphics::setSource(std::uint32_t ctx, std::uint32_t s) {
    if (ctx != kContext || !surface(s)) return false;
    src_ = s;
    return true;
}

bool Graphics::setDestinationClip(std::uint32_t ctx, const ahi_rect_t* clip) {
    if (ctx != kContext) return false;
    dstClip_ = clip ? std::optional<ahi_rect_t>(*clip) : std::nullopt;
    return true;
}

bool Graphics::setSourceClip(std::uint32_t ctx, const ahi_rect_t* clip) {
    if (ctx != kContext) return false;
    srcClip_ = clip ? std::optional<ahi_rect_t>(*clip) : std::nullopt;
    return true;
}

bool Graphics::setRop(std::uint32_t ctx, std::uint32_t rop) {
    if (ctx != kContext) return false;
    rop_ = rop;
    return true;
}

bool Graphics::setBrushColor(std::uint32_t ctx, Rgb565 c) {
    if (ctx != kContext) return false;
    brush_ = c;
    return true;
}

bool Graphics::setTextColor(std::uint32_t ctx, Rgb565 c) {
    if (ctx != kContext) return false;
    text_ = c;
    return true;
}

bool Graphics::setSolidBrush(std::uint32_t ctx, std::uint32_t kind) {
    // Only the plain brush of the brush colour exists here.
    return ctx == kContext && kind == BRUSH_SOLID;
}

bool Graphics::inClip(int x, int y) const {
    if (!dstClip_) return true;
    return x >= dstClip_->x1 && x < dstClip_->x2 && y >= dstClip_->y1 && y < dstClip_->y2;
}

void Graphics::plot(Surface& dst, int x, int y) {
    if (!dst.contains(x, y) || !inClip(x, y)) return;
    const Surface* src = surface(src_);
    const Rgb565 s = src ? src->at(x, y) : 0;
    dst.set(x, y, applyRop3(static_cast<std::uint8_t>(rop_), brush_, s, dst.at(x, y)));
}

// Bresenham's line: both end points and every pixel of horizontal and vertical lines.
void Graphics::drawLine(Surface& dst, ahi_point_t a, ahi_point_t b) {
    long x = a.x, y = a.y;
    const long dx = std::labs(static_cast<long>(b.x) - a.x), dy = -std::labs(static_cast<long>(b.y) - a.y);
    const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    long err = dx + dy;
    for (;;) {
        plot(dst, static_cast<int>(x), static_cast<int>(y));
        if (x == b.x && y == b.y) break;
        const long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

bool Graphics::drawLines(std::uint32_t ctx, std::span<const ahi_point_t> points) {
    Surface* dst = surface(dst_);
    if (ctx != kContext || !dst || points.size() < 2) return false;
    ++counters_.lines;
    for (std::size_t i = 1; i < points.size(); ++i) drawLine(*dst, points[i - 1], points[i]);
    return true;
}

bool Graphics::fillSpans(std::uint32_t ctx, std::span<const ahi_rect_t> rects) {
    Surface* dst = surface(dst_);
    if (ctx != kContext || !dst) return false;
    ++counters_.spans;
    for (const ahi_rect_t& r : rects) {
        const int x1 = std::max(0, r.x1), y1 = std::max(0, r.y1);
        const int x2 = std::min(dst->width(), r.x2), y2 = std::min(dst->height(), r.y2);
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x) plot(*dst, x, y);
    }
    return true;
}

bool Graphics::bitBlt(std::uint32_t ctx, const ahi_rect_t& source, ahi_point_t destination) {
    Surface* dst = surface(dst_);
    const Surface* src = surface(src_);
    if (ctx != kContext || !dst || !src) return false;
    ++counters_.blits;
    // A copy within one surface reads from a snapshot, so it is not disturbed by itself.
    Surface snapshot;
    if (src == dst) snapshot = *src;
    const Surface& before = src == dst ? snapshot : *src;
    for (int y = source.y1; y < source.y2; ++y) {
        for (int x = source.x1; x < source.x2; ++x) {
            if (!before.contains(x, y)) continue;
            if (srcClip_ && !(x >= srcClip_->x1 && x < srcClip_->x2 && y >= srcClip_->y1 && y < srcClip_->y2)) continue;
            const int tx = destination.x + (x - source.x1), ty = destination.y + (y - source.y1);
            if (!dst->contains(tx, ty) || !inClip(tx, ty)) continue;
            dst->set(tx, ty, applyRop3(static_cast<std::uint8_t>(rop_), brush_, before.at(x, y), dst->at(tx, ty)));
        }
    }
    return true;
}

bool Graphics::drawGlyphs(std::uint32_t ctx, ahi_point_t at, std::span<const glyph_record_t> glyphs) {
    Surface* dst = surface(dst_);
    if (ctx != kContext || !dst) return false;
    ++counters_.glyphRuns;
    long penX = at.x;
    for (const glyph_record_t& g : glyphs) {
        if (g.bits) {
            for (int row = 0; row < g.height; ++row) {
                for (int col = 0; col < g.width; ++col) {
                    const unsigned bit = static_cast<unsigned>(row * g.width + col);
                    if (!(g.bits[bit / 8] & (0x80u >> (bit % 8)))) continue;
                    const long x = penX + col, y = static_cast<long>(at.y) + row;
                    if (dst->contains(static_cast<int>(x), static_cast<int>(y)) &&
                        inClip(static_cast<int>(x), static_cast<int>(y)))
                        dst->set(static_cast<int>(x), static_cast<int>(y), text_);
                }
            }
        }
        penX += g.advance;
    }
    return true;
}

}  // namespace sim
