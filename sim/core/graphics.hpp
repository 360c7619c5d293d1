#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "glyphs.hpp"
#include "platform/drawing.h"
#include "surface.hpp"

namespace sim {

// The 2D drawing service: one drawing context, an off-screen surface and the display
// surface, each known to the application by a 32-bit handle.
//
// Every primitive is cut to its destination (the surface and the destination clip) once,
// before it is walked, so coordinates anywhere in the 32-bit range cost no more than the
// pixels they reach. Rows are painted a run at a time; copies of the source and fills
// with the brush, the raster operations the platform's users draw with, are plain row
// copies and fills, and every other operation goes pixel by pixel through applyRop3.
//
// A call that draws a great many lines, rectangles or glyphs looks at the clock as it goes: one
// that takes longer than its time budget stops, fails and tells the listener.
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

    // Each call may take `budget` (0: no limit); one that takes longer is told to `overran`
    // in words that follow "it".
    void limitCallTime(std::chrono::milliseconds budget, std::function<void(const std::string&)> overran) {
        budget_ = budget, overran_ = std::move(overran);
    }

    bool drawLines(std::uint32_t ctx, std::span<const ahi_point_t> points);
    bool fillSpans(std::uint32_t ctx, std::span<const ahi_rect_t> rects);
    bool bitBlt(std::uint32_t ctx, const ahi_rect_t& source, ahi_point_t destination);
    bool drawGlyphs(std::uint32_t ctx, ahi_point_t at, std::span<const glyph_record_t> glyphs);

    // Counts of drawing calls, so tests can tell a full repaint from a partial one.
    struct Counters {
        std::uint32_t lines = 0, spans = 0, blits = 0, glyphRuns = 0;
    };
    const Counters& counters() const { return counters_; }

    using Box = sim::Box;

private:
    Surface* surface(std::uint32_t handle);
    // The part of `dst` that drawing may change.
    Box drawable(const Surface& dst) const;
    // Applies the raster operation to `count` pixels of row y from x. `source` holds the
    // source pixels; without it they are the source surface's at the same place.
    void paintRun(Surface& dst, int x, int y, int count, const Rgb565* source);
    void drawLine(Surface& dst, const Box& box, ahi_point_t a, ahi_point_t b);
    // Whether a call has used up its time after `done` of `count` items, timed from `started`,
    // which it sets when it first reads the clock (told once to the listener).
    using SteadyClock = std::chrono::steady_clock;
    bool overran(std::optional<SteadyClock::time_point>& started, std::size_t done, std::size_t count, const char* function,
                 const char* items);

    Surface offscreen_;
    Surface display_;
    std::uint32_t dst_ = kOffscreen, src_ = kOffscreen;
    std::optional<ahi_rect_t> dstClip_, srcClip_;
    std::uint32_t rop_ = ROP_COPY_SOURCE;
    Rgb565 brush_ = 0, text_ = 0;
    Counters counters_;
    std::chrono::milliseconds budget_{0};
    std::function<void(const std::string&)> overran_;
    GlyphPainter glyphs_;
};

// Applies a ternary raster operation (its low byte) to pattern, source and destination.
// The reference for every raster operation: the fast paths must give what it gives.
Rgb565 applyRop3(std::uint8_t rop, Rgb565 pattern, Rgb565 source, Rgb565 destination);

}  // namespace sim
