#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "platform/drawing.h"
#include "surface.hpp"

namespace sim {

// The 2D drawing service: one drawing context, an off-screen surface and the display
// surface, each known to the application by a 32-bit handle.
class Graphics {
public:
    static constexpr std::uint32_t kContext = 0xDC000001;
    static constexpr std::uint32_t kOffscreen = 0x5F000001;
    static constexpr std::uint32_t kDisplay = 0x5F000002;

    Surface& offscreen() { return offscreen_; }
    Surface& display() { return display_; }
    const Surface& display() const { return display_; }

    // Context settings; false for an unknown context or surface handle.
    bool setDestination(std::uint32_t ctx, std::uint32_t surface);
    bool setSource(std::uint32_t ctx, std::uint32_t surface);
    bool setDestinationClip(std::uint32_t ctx, const ahi_rect_t* clip);
    bool setSourceClip(std::uint32_t ctx, const ahi_rect_t* clip);
    bool setRop(std::uint32_t ctx, std::uint32_t rop);
    bool setBrushColor(std::uint32_t ctx, Rgb565 c);
    bool setTextColor(std::uint32_t ctx, Rgb565 c);
    bool setSolidBrush(std::uint32_t ctx, std::uint32_t kind);

    bool drawLines(std::uint32_t ctx, std::span<const ahi_point_t> points);
    bool fillSpans(std::uint32_t ctx, std::span<const ahi_rect_t> rects);
    bool bitBlt(std::uint32_t ctx, const ahi_rect_t& source, ahi_point_t destination);
    bool drawGlyphs(std::uint32_t ctx, ahi_point_t at, std::span<const glyph_record_t> glyphs);

    // What the context holds, for tests.
    std::uint32_t rop() const { return rop_; }
    Rgb565 brushColor() const { return brush_; }
    Rgb565 textColor() const { return text_; }
    std::uint32_t destinationHandle() const { return dst_; }

    // Counts of drawing calls, so tests can tell a full repaint from a partial one.
    struct Counters {
        std::uint32_t lines = 0, spans = 0, blits = 0, glyphRuns = 0;
    };
    const Counters& counters() const { return counters_; }

private:
    Surface* surface(std::uint32_t handle);
    bool inClip(int x, int y) const;
    void plot(Surface& dst, int x, int y);
    void drawLine(Surface& dst, ahi_point_t a, ahi_point_t b);

    Surface offscreen_;
    Surface display_;
    std::uint32_t dst_ = kOffscreen, src_ = kOffscreen;
    std::optional<ahi_rect_t> dstClip_, srcClip_;
    std::uint32_t rop_ = ROP_COPY_SOURCE;
    Rgb565 brush_ = 0, text_ = 0;
    Counters counters_;
};

// Applies a ternary raster operation (its low byte) to pattern, source and destination.
Rgb565 applyRop3(std::uint8_t rop, Rgb565 pattern, Rgb565 source, Rgb565 destination);

}  // namespace sim
