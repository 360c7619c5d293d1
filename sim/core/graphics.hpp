#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

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

    // A rectangle [x1, x2) x [y1, y2) in coordinates wide enough for any sum of two
    // 32-bit values.
    struct Box {
        std::int64_t x1, y1, x2, y2;
        bool empty() const { return x1 >= x2 || y1 >= y2; }
    };

private:
    Surface* surface(std::uint32_t handle);
    // The part of `dst` that drawing may change.
    Box drawable(const Surface& dst) const;
    // Applies the raster operation to `count` pixels of row y from x. `source` holds the
    // source pixels; without it they are the source surface's at the same place.
    void paintRun(Surface& dst, int x, int y, int count, const Rgb565* source);
    void drawLine(Surface& dst, const Box& box, ahi_point_t a, ahi_point_t b);
    void drawGlyph(Surface& dst, const Box& cell, const glyph_record_t& g, std::int64_t left, std::int64_t top);
    // Whether the call that began at `started` has used up its time after `done` of `count` items
    // (told once to the listener).
    using Clock = std::chrono::steady_clock;
    bool overran(Clock::time_point started, std::size_t done, std::size_t count, const char* function,
                 const char* items);

    // The places of a glyph's ink pixels, counted from its top-left corner on a surface `stride`
    // pixels wide; remembered for the glyphs of at most 64 bits last seen, keyed by their bits.
    struct GlyphInk {
        std::uint64_t bits = 0;
        std::uint32_t shape = 0;  // width, height and stride: never that of a real glyph at first
        std::uint8_t count = 0;
        std::array<std::uint16_t, 64> at{};
    };
    const GlyphInk& inkOf(std::uint64_t bits, std::uint8_t width, std::uint8_t height, int stride);

    Surface offscreen_;
    Surface display_;
    std::uint32_t dst_ = kOffscreen, src_ = kOffscreen;
    std::optional<ahi_rect_t> dstClip_, srcClip_;
    std::uint32_t rop_ = ROP_COPY_SOURCE;
    Rgb565 brush_ = 0, text_ = 0;
    Counters counters_;
    std::chrono::milliseconds budget_{0};
    std::function<void(const std::string&)> overran_;
    std::array<GlyphInk, 1024> inkCache_{};
};

// Applies a ternary raster operation (its low byte) to pattern, source and destination.
// The reference for every raster operation: the fast paths must give what it gives.
Rgb565 applyRop3(std::uint8_t rop, Rgb565 pattern, Rgb565 source, Rgb565 destination);

}  // namespace sim
