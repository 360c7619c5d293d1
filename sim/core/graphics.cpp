#include "graphics.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace sim {

Surface::Surface(int width, int height, Rgb565 fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height), fill) {}

namespace {

constexpr std::uint8_t kRopSource = ROP_COPY_SOURCE & 0xFF;
constexpr std::uint8_t kRopBrush = ROP_PAINT_BRUSH & 0xFF;

using Box = Graphics::Box;
__extension__ typedef __int128 Wide;

Box boxOf(const ahi_rect_t& r) { return {r.x1, r.y1, r.x2, r.y2}; }
Box boxOf(const Surface& s) { return {0, 0, s.width(), s.height()}; }

Wide floorDiv(Wide a, Wide b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
Wide ceilDiv(Wide a, Wide b) { return -floorDiv(-a, b); }

// A line from a to b walks its major axis one pixel per step; at step k (0 to major) its
// minor coordinate has moved floor((2·minor·k + major) / (2·major)) pixels: exactly the
// pixels of Bresenham's walk with its error term starting at dx - |dy|, ties stepping
// the minor axis on x-major lines and the major one on the others. The closed form lets
// a line be cut to the box before it is walked.
struct LineSteps {
    std::int64_t major, minor;

    // The first step whose minor offset is at least t, and the last whose offset is at most t.
    Wide firstReaching(Wide t) const { return t <= 0 ? 0 : ceilDiv(2 * Wide{major} * t - major, 2 * Wide{minor}); }
    Wide lastWithin(Wide t) const {
        return t < 0 ? -1 : floorDiv(2 * Wide{major} * (t + 1) - major - 1, 2 * Wide{minor});
    }
};

// The steps k of [0, last] at which start + sign·k lies in [lo, hi).
std::pair<Wide, Wide> stepsInside(std::int64_t start, int sign, std::int64_t lo, std::int64_t hi, Wide last) {
    Wide first = sign > 0 ? Wide{lo} - start : Wide{start} - (hi - 1);
    Wide end = sign > 0 ? Wide{hi} - 1 - start : Wide{start} - lo;
    return {std::max<Wide>(first, 0), std::min<Wide>(end, last)};
}

}  // namespace

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

Box Graphics::drawable(const Surface& dst) const {
    const Box whole = boxOf(dst);
    return dstClip_ ? intersect(whole, boxOf(*dstClip_)) : whole;
}

namespace {

// The loops over a run's pixels count as no edges of the fuzzers' coverage, and are not inlined
// into code that does: a counter bumped at each pixel costs more than the pixel, and the fuzzer
// learns nothing from how many there are. The clang builds alone know the attribute.
#if defined(__clang__)
#define NUV_PIXEL_LOOP __attribute__((noinline, no_sanitize("coverage")))
#else
#define NUV_PIXEL_LOOP
#endif

NUV_PIXEL_LOOP void fillRun(Rgb565* out, int count, Rgb565 colour) {
    for (int i = 0; i < count; ++i) out[i] = colour;
}

NUV_PIXEL_LOOP void ropRun(Rgb565* out, int count, std::uint8_t rop, Rgb565 brush, const Rgb565* source,
                           const Surface* src, int x, int y) {
    for (int i = 0; i < count; ++i) {
        const Rgb565 s = source ? source[i] : src ? src->at(x + i, y) : 0;
        out[i] = applyRop3(rop, brush, s, out[i]);
    }
}

}  // namespace

void Graphics::paintRun(Surface& dst, int x, int y, int count, const Rgb565* source) {
    Rgb565* out = dst.row(y) + x;
    const auto rop = static_cast<std::uint8_t>(rop_);
    if (rop == kRopBrush) {
        fillRun(out, count, brush_);
        return;
    }
    const Surface* src = surface(src_);
    if (!source && src && y < src->height() && x + count <= src->width()) source = src->row(y) + x;
    if (rop == kRopSource && source) {
        std::memmove(out, source, static_cast<std::size_t>(count) * sizeof(Rgb565));
        return;
    }
    ropRun(out, count, rop, brush_, source, src, x, y);
}

void Graphics::drawLine(Surface& dst, const Box& box, ahi_point_t a, ahi_point_t b) {
    if (a.y == b.y || a.x == b.x) {  // a run along one axis, as most lines are
        const Box run = intersect(box, {std::min(a.x, b.x), std::min(a.y, b.y), std::int64_t{std::max(a.x, b.x)} + 1,
                                        std::int64_t{std::max(a.y, b.y)} + 1});
        if (run.empty()) return;
        for (auto y = run.y1; y < run.y2; ++y)
            paintRun(dst, static_cast<int>(run.x1), static_cast<int>(y), static_cast<int>(run.x2 - run.x1), nullptr);
        return;
    }
    const std::int64_t dx = std::abs(std::int64_t{b.x} - a.x), dy = std::abs(std::int64_t{b.y} - a.y);
    const bool xMajor = dx >= dy;
    const LineSteps steps{xMajor ? dx : dy, xMajor ? dy : dx};
    const std::int64_t major0 = xMajor ? a.x : a.y, minor0 = xMajor ? a.y : a.x;
    const int majorSign = (xMajor ? a.x < b.x : a.y < b.y) ? 1 : -1;
    const int minorSign = (xMajor ? a.y < b.y : a.x < b.x) ? 1 : -1;

    auto [first, last] =
        stepsInside(major0, majorSign, xMajor ? box.x1 : box.y1, xMajor ? box.x2 : box.y2, steps.major);
    // The minor offsets that stay inside the box.
    const auto [offsetLo, offsetHi] =
        stepsInside(minor0, minorSign, xMajor ? box.y1 : box.x1, xMajor ? box.y2 : box.x2, steps.minor);
    if (offsetLo > offsetHi) return;
    if (steps.minor > 0) {
        first = std::max(first, steps.firstReaching(offsetLo));
        last = std::min(last, steps.lastWithin(offsetHi));
    }
    if (first > last) return;

    if (steps.minor == 0 && xMajor) {  // a horizontal run
        const auto x = static_cast<int>(std::min(major0 + majorSign * first, major0 + majorSign * last));
        paintRun(dst, x, static_cast<int>(minor0), static_cast<int>(last - first + 1), nullptr);
        return;
    }
    // Walk from `first` with the offset's quotient and remainder; in 64 bits where they fit.
    const std::int64_t period = 2 * steps.major;
    std::int64_t offset = 0, rest = 0;
    if (steps.minor > 0 && steps.major < (std::int64_t{1} << 30)) {
        const std::int64_t start = 2 * steps.minor * static_cast<std::int64_t>(first) + steps.major;
        offset = start / period, rest = start % period;
    } else if (steps.minor > 0) {
        const Wide start = 2 * Wide{steps.minor} * first + steps.major;
        offset = static_cast<std::int64_t>(start / period), rest = static_cast<std::int64_t>(start % period);
    }
    for (auto k = static_cast<std::int64_t>(first); k <= static_cast<std::int64_t>(last); ++k) {
        const std::int64_t major = major0 + majorSign * k, minor = minor0 + minorSign * offset;
        paintRun(dst, static_cast<int>(xMajor ? major : minor), static_cast<int>(xMajor ? minor : major), 1, nullptr);
        rest += 2 * steps.minor;
        if (rest >= period) {
            rest -= period;
            ++offset;
        }
    }
}

bool Graphics::overran(std::optional<SteadyClock::time_point>& started, std::size_t done, std::size_t count,
                       const char* function, const char* items) {
    // The clock is read every 64 items, each of which costs at most a screenful of pixels, from
    // the 64th on: a call of fewer items never reads it.
    if (done % 64 != 63 || budget_.count() <= 0) return false;
    if (!started) started = SteadyClock::now();
    if (SteadyClock::now() - *started < budget_) return false;
    if (overran_)
        overran_("kept the platform drawing for more than " + std::to_string(budget_.count()) + " ms in one " +
                 function + " call (" + std::to_string(count) + " " + items + ")");
    return true;
}

bool Graphics::drawLines(std::uint32_t ctx, std::span<const ahi_point_t> points) {
    Surface* dst = surface(dst_);
    if (ctx != kContext || !dst || points.size() < 2) return false;
    ++counters_.lines;
    const Box box = drawable(*dst);
    if (box.empty()) return true;
    std::optional<SteadyClock::time_point> started;
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (overran(started, i, points.size(), "AhiDrawLines", "points")) return false;
        drawLine(*dst, box, points[i - 1], points[i]);
    }
    return true;
}

bool Graphics::fillSpans(std::uint32_t ctx, std::span<const ahi_rect_t> rects) {
    Surface* dst = surface(dst_);
    if (ctx != kContext || !dst) return false;
    ++counters_.spans;
    const Box box = drawable(*dst);
    std::optional<SteadyClock::time_point> started;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (overran(started, i, rects.size(), "AhiDrawSpans", "rectangles")) return false;
        const Box b = intersect(box, boxOf(rects[i]));
        if (b.empty()) continue;
        for (auto y = b.y1; y < b.y2; ++y)
            paintRun(*dst, static_cast<int>(b.x1), static_cast<int>(y), static_cast<int>(b.x2 - b.x1), nullptr);
    }
    return true;
}

bool Graphics::bitBlt(std::uint32_t ctx, const ahi_rect_t& source, ahi_point_t destination) {
    Surface* dst = surface(dst_);
    const Surface* src = surface(src_);
    if (ctx != kContext || !dst || !src) return false;
    ++counters_.blits;
    Box from = intersect(boxOf(source), boxOf(*src));
    if (srcClip_) from = intersect(from, boxOf(*srcClip_));
    const std::int64_t dx = std::int64_t{destination.x} - source.x1, dy = std::int64_t{destination.y} - source.y1;
    const Box to = intersect(drawable(*dst), {from.x1 + dx, from.y1 + dy, from.x2 + dx, from.y2 + dy});
    if (to.empty()) return true;
    const auto width = static_cast<int>(to.x2 - to.x1);
    // A copy within one surface reads what was there before it began.
    std::vector<Rgb565> before;
    if (src == dst) {
        for (auto y = to.y1; y < to.y2; ++y) {
            const Rgb565* row = src->row(static_cast<int>(y - dy)) + (to.x1 - dx);
            before.insert(before.end(), row, row + width);
        }
    }
    for (auto y = to.y1; y < to.y2; ++y) {
        const Rgb565* row =
            src == dst ? before.data() + (y - to.y1) * width : src->row(static_cast<int>(y - dy)) + (to.x1 - dx);
        paintRun(*dst, static_cast<int>(to.x1), static_cast<int>(y), width, row);
    }
    return true;
}

bool Graphics::drawGlyphs(std::uint32_t ctx, ahi_point_t at, std::span<const glyph_record_t> glyphs) {
    Surface* dst = surface(dst_);
    if (ctx != kContext || !dst) return false;
    ++counters_.glyphRuns;
    const Rgb565 colour = text_;  // kept apart from the pixels, which might alias it
    const Box box = drawable(*dst);
    // Painted 64 glyphs at a time, the clock looked at in between.
    constexpr std::size_t kPart = 64;
    std::optional<SteadyClock::time_point> started;
    std::int64_t penX = at.x;
    for (std::size_t done = 0; done < glyphs.size() && penX < box.x2; done += kPart) {
        if (done && overran(started, done - 1, glyphs.size(), "AhiDrawChar", "glyphs")) return false;
        penX =
            glyphs_.paint(*dst, box, penX, at.y, glyphs.subspan(done, std::min(kPart, glyphs.size() - done)), colour);
    }
    return true;
}

}  // namespace sim
