// The application's drawing layer on the simulated surfaces: colour reduction, the two
// current colours, lines, outlines, fills, the dotted frame, cut-off at the edges and the
// copy to the display. Each case clears the off-screen surface and compares every pixel
// of it against the pixel set the case must paint.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app_test.hpp"
#include "platform/drawing.h"
#include "platform/types.h"

using namespace nuvtest;

namespace {

using sim::kScreenHeight;
using sim::kScreenWidth;
using sim::Rgb565;
using Pixels = std::set<std::pair<int, int>>;

constexpr Rgb565 kPaper = 0x0000;
constexpr Rgb565 kInk = 0xFFFF;

// The RGB565 value of three 8-bit components: the top 5, 6 and 5 bits side by side.
constexpr Rgb565 reduced(int r, int g, int b) {
    return static_cast<Rgb565>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

// The pixels of the block from (x1, y1) to (x2, y2), both corners included, that lie on
// the surface.
Pixels block(long x1, long y1, long x2, long y2) {
    Pixels out;
    for (long y = std::max(0L, std::min(y1, y2)); y <= std::min<long>(kScreenHeight - 1, std::max(y1, y2)); ++y)
        for (long x = std::max(0L, std::min(x1, x2)); x <= std::min<long>(kScreenWidth - 1, std::max(x1, x2)); ++x)
            out.emplace(static_cast<int>(x), static_cast<int>(y));
    return out;
}

Pixels unite(std::initializer_list<Pixels> parts) {
    Pixels out;
    for (const Pixels& p : parts) out.insert(p.begin(), p.end());
    return out;
}

// The four edges of the block from (x, y) to (x + w, y + h).
Pixels outline(long x, long y, long w, long h) {
    return unite({block(x, y, x + w, y), block(x, y + h, x + w, y + h), block(x, y, x, y + h),
                  block(x + w, y, x + w, y + h)});
}

// The dotted frame as its dashes are described: two-pixel dashes across each edge, top and
// bottom at every second column from x + 2 to x + 2·(w/2 − 1), the sides at every second
// row from y + 1 to y + 2·(h/2 − 1) + 1; corners bare.
Pixels dottedFrame(long x, long y, long w, long h) {
    Pixels out;
    for (long c = x + 2; c <= x + 2 * (w / 2 - 1); c += 2) {
        out.merge(block(c, y, c, y + 1));
        out.merge(block(c, y + h, c, y + h + 1));
    }
    for (long r = y + 1; r <= y + 2 * (h / 2 - 1) + 1; r += 2) {
        out.merge(block(x, r, x + 1, r));
        out.merge(block(x + w, r, x + w + 1, r));
    }
    return out;
}

// Every pixel of the surface against the colour `expected` gives it.
::testing::AssertionResult surfaceMatches(const sim::Surface& surface, const std::function<Rgb565(int, int)>& expected) {
    int wrong = 0;
    std::ostringstream report;
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            const Rgb565 want = expected(x, y), got = surface.at(x, y);
            if (got == want) continue;
            if (++wrong <= 12)
                report << " (" << x << "," << y << ") is 0x" << std::hex << got << " not 0x" << want << std::dec << ';';
        }
    }
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ:" << report.str();
}

::testing::AssertionResult paintedExactly(const sim::Surface& surface, const Pixels& ink, Rgb565 inkColour = kInk) {
    std::vector<bool> mask(static_cast<std::size_t>(surface.width() * surface.height()));
    for (const auto& [x, y] : ink) mask[static_cast<std::size_t>(y * surface.width() + x)] = true;
    return surfaceMatches(surface, [&](int x, int y) {
        return mask[static_cast<std::size_t>(y * surface.width() + x)] ? inkColour : kPaper;
    });
}

Pixels inked(const sim::Surface& surface, Rgb565 paper = kPaper) {
    Pixels out;
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            if (surface.at(x, y) != paper) out.emplace(x, y);
    return out;
}

class Drawing : public AppTest {
protected:
    void SetUp() override {
        boot();
        setColor = function<void(UINT8, UINT8, UINT8)>("SetColorRGB");
        textColor = function<void(UINT8, UINT8, UINT8)>("TextColorRGB");
        line = function<void(UINT16, UINT16, UINT16, UINT16)>("DrawLine");
        rect = function<void(UINT16, UINT16, UINT16, UINT16)>("DrawRect");
        fill = function<void(UINT16, UINT16, UINT16, UINT16)>("FillRect");
        dotted = function<void(UINT16, UINT16, UINT16, UINT16)>("myDrawRect");
        flush = function<void()>("AHG_Flush");
        writeChar = function<void(UINT8, UINT8, UINT8)>("WriteChar");
        clear();
        setColor(255, 255, 255);
    }

    void clear(Rgb565 paper = kPaper) { offscreen().fill(paper); }
    sim::Surface& offscreen() { return phone().graphics.offscreen(); }
    sim::Surface& display() { return phone().graphics.display(); }

    // The colours of the pixels that a glyph drawn at (x, y) left on the surface.
    std::set<Rgb565> textInk(Rgb565 paper) {
        clear(paper);
        writeChar(20, 30, 'H');
        std::set<Rgb565> colours;
        for (const auto& [x, y] : inked(offscreen(), paper)) colours.insert(offscreen().at(x, y));
        return colours;
    }

    void (*setColor)(UINT8, UINT8, UINT8) = nullptr;
    void (*textColor)(UINT8, UINT8, UINT8) = nullptr;
    void (*line)(UINT16, UINT16, UINT16, UINT16) = nullptr;
    void (*rect)(UINT16, UINT16, UINT16, UINT16) = nullptr;
    void (*fill)(UINT16, UINT16, UINT16, UINT16) = nullptr;
    void (*dotted)(UINT16, UINT16, UINT16, UINT16) = nullptr;
    void (*flush)() = nullptr;
    void (*writeChar)(UINT8, UINT8, UINT8) = nullptr;
};

TEST_F(Drawing, ColoursAreReducedToRgb565) {
    struct Case {
        int r, g, b;
        Rgb565 value;
    };
    const Case cases[] = {
        {255, 255, 255, 0xFFFF}, {120, 120, 255, 0x7BDF}, {32, 0, 0, 0x2000},
        {0, 0, 221, 0x001B},     {85, 85, 85, 0x52AA},    {7, 3, 7, 0x0000},
    };
    for (const Case& c : cases) {
        const Rgb565 paper = static_cast<Rgb565>(~c.value);
        clear(paper);
        setColor(static_cast<UINT8>(c.r), static_cast<UINT8>(c.g), static_cast<UINT8>(c.b));
        fill(40, 50, 2, 1);
        EXPECT_TRUE(surfaceMatches(offscreen(), [&](int x, int y) {
            return x >= 40 && x <= 42 && y >= 50 && y <= 51 ? c.value : paper;
        })) << "shape colour (" << c.r << "," << c.g << "," << c.b << ")";

        textColor(static_cast<UINT8>(c.r), static_cast<UINT8>(c.g), static_cast<UINT8>(c.b));
        EXPECT_EQ(textInk(paper), std::set<Rgb565>{c.value}) << "text colour (" << c.r << "," << c.g << "," << c.b << ")";
    }
}

TEST_F(Drawing, EveryChannelValueKeepsItsTopBits) {
    // Each channel through all its values, the other two running the other way, so a
    // component leaking into its neighbour's bits shows.
    for (int channel = 0; channel < 3; ++channel) {
        for (int v = 0; v <= 255; ++v) {
            int c[3] = {255 - v, 255 - v, 255 - v};
            c[channel] = v;
            const Rgb565 want = reduced(c[0], c[1], c[2]);
            const Rgb565 paper = static_cast<Rgb565>(~want);

            offscreen().set(7, 9, paper);
            setColor(static_cast<UINT8>(c[0]), static_cast<UINT8>(c[1]), static_cast<UINT8>(c[2]));
            fill(7, 9, 0, 0);
            EXPECT_EQ(offscreen().at(7, 9), want) << "shape colour, channel " << channel << " value " << v;

            textColor(static_cast<UINT8>(c[0]), static_cast<UINT8>(c[1]), static_cast<UINT8>(c[2]));
            EXPECT_EQ(textInk(paper), std::set<Rgb565>{want}) << "text colour, channel " << channel << " value " << v;
        }
    }
}

TEST_F(Drawing, ShapeAndTextColoursAreIndependent) {
    setColor(255, 0, 0);
    textColor(0, 0, 255);
    // A later text colour leaves lines in the shape colour ...
    textColor(0, 255, 0);
    line(0, 0, 9, 0);
    EXPECT_TRUE(paintedExactly(offscreen(), block(0, 0, 9, 0), reduced(255, 0, 0)));
    // ... and a later shape colour leaves text in the text colour.
    setColor(255, 255, 0);
    EXPECT_EQ(textInk(kPaper), std::set<Rgb565>{reduced(0, 255, 0)});
    // Both stay in force across any number of shapes and texts.
    clear();
    fill(0, 0, 3, 3);
    writeChar(100, 100, 'H');
    line(50, 50, 50, 60);
    for (const auto& [x, y] : inked(offscreen())) {
        const Rgb565 want = x >= 100 ? reduced(0, 255, 0) : reduced(255, 255, 0);
        ASSERT_EQ(offscreen().at(x, y), want) << "(" << x << "," << y << ")";
    }
}

TEST_F(Drawing, StraightLinesCoverEveryPixelBetweenTheirEnds) {
    struct Case {
        int x1, y1, x2, y2;
    };
    const Case cases[] = {
        {10, 10, 10, 10},  {3, 7, 12, 7},   {12, 7, 3, 7},    {5, 2, 5, 40},       {5, 40, 5, 2},
        {0, 0, 175, 0},    {175, 0, 0, 0},  {0, 219, 175, 219}, {0, 0, 0, 219},   {175, 219, 175, 0},
        {0, 0, 0, 0},      {175, 219, 175, 219},
    };
    for (const Case& c : cases) {
        clear();
        line(static_cast<UINT16>(c.x1), static_cast<UINT16>(c.y1), static_cast<UINT16>(c.x2), static_cast<UINT16>(c.y2));
        EXPECT_TRUE(paintedExactly(offscreen(), block(c.x1, c.y1, c.x2, c.y2)))
            << "DrawLine(" << c.x1 << "," << c.y1 << "," << c.x2 << "," << c.y2 << ")";
    }
}

TEST_F(Drawing, SlantedLinesPaintBothEndsAndStayBetweenThem) {
    struct Case {
        int x1, y1, x2, y2;
    };
    const Case cases[] = {{0, 0, 10, 3}, {10, 3, 0, 0}, {20, 5, 23, 40}, {100, 200, 7, 13}, {0, 219, 175, 0}};
    for (const Case& c : cases) {
        clear();
        line(static_cast<UINT16>(c.x1), static_cast<UINT16>(c.y1), static_cast<UINT16>(c.x2), static_cast<UINT16>(c.y2));
        const Pixels painted = inked(offscreen());
        const Pixels box = block(c.x1, c.y1, c.x2, c.y2);
        const std::string name = "DrawLine(" + std::to_string(c.x1) + "," + std::to_string(c.y1) + "," +
                                 std::to_string(c.x2) + "," + std::to_string(c.y2) + ")";
        EXPECT_TRUE(painted.count({c.x1, c.y1}) && painted.count({c.x2, c.y2})) << name;
        EXPECT_TRUE(std::includes(box.begin(), box.end(), painted.begin(), painted.end())) << name;
        // A line without gaps has a pixel on every column and every row it spans.
        const int span = std::max(std::abs(c.x2 - c.x1), std::abs(c.y2 - c.y1)) + 1;
        EXPECT_GE(static_cast<int>(painted.size()), span) << name;
        std::set<int> columns, rows;
        for (const auto& [x, y] : painted) columns.insert(x), rows.insert(y);
        EXPECT_EQ(static_cast<int>(columns.size()), std::abs(c.x2 - c.x1) + 1) << name;
        EXPECT_EQ(static_cast<int>(rows.size()), std::abs(c.y2 - c.y1) + 1) << name;
    }
}

TEST_F(Drawing, OutlinesFramesTheBlockOfWidthPlusOne) {
    rect(10, 20, 4, 2);
    // Columns 10 to 14, rows 20 to 22; the middle row is bare between its ends.
    const Pixels fiveByThree = {{10, 20}, {11, 20}, {12, 20}, {13, 20}, {14, 20}, {10, 21},
                                {14, 21}, {10, 22}, {11, 22}, {12, 22}, {13, 22}, {14, 22}};
    EXPECT_TRUE(paintedExactly(offscreen(), fiveByThree));

    struct Case {
        int x, y, w, h;
    };
    const Case cases[] = {{0, 0, 0, 0}, {5, 5, 1, 1}, {5, 5, 7, 0}, {5, 5, 0, 7}, {0, 0, 175, 219}, {30, 40, 100, 3}};
    for (const Case& c : cases) {
        clear();
        rect(static_cast<UINT16>(c.x), static_cast<UINT16>(c.y), static_cast<UINT16>(c.w), static_cast<UINT16>(c.h));
        EXPECT_TRUE(paintedExactly(offscreen(), outline(c.x, c.y, c.w, c.h)))
            << "DrawRect(" << c.x << "," << c.y << "," << c.w << "," << c.h << ")";
    }
}

TEST_F(Drawing, FillsCoverTheBlockTheOutlineFrames) {
    fill(10, 20, 0, 0);
    EXPECT_TRUE(paintedExactly(offscreen(), {{10, 20}}));

    struct Case {
        int x, y, w, h;
    };
    const Case cases[] = {{0, 0, 0, 0}, {3, 4, 1, 0}, {3, 4, 0, 1}, {30, 40, 17, 9}, {0, 0, 175, 219}};
    for (const Case& c : cases) {
        clear();
        fill(static_cast<UINT16>(c.x), static_cast<UINT16>(c.y), static_cast<UINT16>(c.w), static_cast<UINT16>(c.h));
        EXPECT_TRUE(paintedExactly(offscreen(), block(c.x, c.y, c.x + c.w, c.y + c.h)))
            << "FillRect(" << c.x << "," << c.y << "," << c.w << "," << c.h << ")";
    }

    // FillRect(x + 1, y + 1, w − 2, h − 2) fills exactly the inside of DrawRect(x, y, w, h):
    // the outline keeps its colour and no pixel inside stays bare.
    const Case frames[] = {{10, 20, 4, 2}, {0, 0, 175, 219}, {50, 60, 2, 2}, {50, 60, 30, 12}};
    const Rgb565 edge = reduced(255, 0, 0), inside = reduced(0, 0, 255);
    for (const Case& c : frames) {
        clear();
        setColor(255, 0, 0);
        rect(static_cast<UINT16>(c.x), static_cast<UINT16>(c.y), static_cast<UINT16>(c.w), static_cast<UINT16>(c.h));
        setColor(0, 0, 255);
        fill(static_cast<UINT16>(c.x + 1), static_cast<UINT16>(c.y + 1), static_cast<UINT16>(c.w - 2),
             static_cast<UINT16>(c.h - 2));
        const Pixels frame = outline(c.x, c.y, c.w, c.h), whole = block(c.x, c.y, c.x + c.w, c.y + c.h);
        EXPECT_TRUE(surfaceMatches(offscreen(), [&](int x, int y) {
            return frame.count({x, y}) ? edge : whole.count({x, y}) ? inside : kPaper;
        })) << "frame (" << c.x << "," << c.y << "," << c.w << "," << c.h << ")";
    }
}

TEST_F(Drawing, ListAreaFillReachesRow208AndTheRightEdge) {
    fill(0, 0, 176, 208);
    EXPECT_TRUE(paintedExactly(offscreen(), block(0, 0, 175, 208)));
}

TEST_F(Drawing, DottedFrameIsTwoPixelDashesWithBareCorners) {
    dotted(0, 0, 8, 4);
    Pixels expected;
    for (int c : {2, 4, 6})
        for (int r : {0, 1, 4, 5}) expected.emplace(c, r);
    for (int r : {1, 3})
        for (int c : {0, 1, 8, 9}) expected.emplace(c, r);
    EXPECT_TRUE(paintedExactly(offscreen(), expected));

    for (int w = 0; w <= 11; ++w) {
        for (int h = 0; h <= 9; ++h) {
            clear();
            dotted(40, 50, static_cast<UINT16>(w), static_cast<UINT16>(h));
            const Pixels want = dottedFrame(40, 50, w, h);
            EXPECT_TRUE(paintedExactly(offscreen(), want)) << "myDrawRect(40,50," << w << "," << h << ")";
            // Narrow frames have no dashes across the top and bottom, so only the side
            // columns are painted; flat ones have none on the sides, so only the edge rows.
            for (const auto& [x, y] : inked(offscreen())) {
                if (w < 4) {
                    EXPECT_TRUE(x == 40 || x == 41 || x == 40 + w || x == 41 + w) << w << "x" << h << " at " << x;
                }
                if (h < 2) {
                    EXPECT_TRUE(y == 50 || y == 51 || y == 50 + h || y == 51 + h) << w << "x" << h << " at " << y;
                }
            }
        }
    }
}

TEST_F(Drawing, ShapesAtAndPastTheEdgesAreCutOff) {
    struct Case {
        const char* name;
        std::function<void()> draw;
        Pixels expected;
    };
    const std::vector<Case> cases = {
        {"FillRect(170,100,20,5)", [&] { fill(170, 100, 20, 5); }, block(170, 100, 175, 105)},
        {"FillRect(100,215,3,20)", [&] { fill(100, 215, 3, 20); }, block(100, 215, 103, 219)},
        {"FillRect(170,210,20,30)", [&] { fill(170, 210, 20, 30); }, block(170, 210, 175, 219)},
        {"DrawRect(170,200,20,30)", [&] { rect(170, 200, 20, 30); },
         unite({block(170, 200, 175, 200), block(170, 200, 170, 219)})},
        {"DrawLine(0,50,65535,50)", [&] { line(0, 50, 65535, 50); }, block(0, 50, 175, 50)},
        {"DrawLine(60,65535,60,0)", [&] { line(60, 65535, 60, 0); }, block(60, 0, 60, 219)},
        {"DrawLine(176,0,176,219)", [&] { line(176, 0, 176, 219); }, {}},
        {"DrawLine(0,220,175,220)", [&] { line(0, 220, 175, 220); }, {}},
        {"FillRect(176,0,5,5)", [&] { fill(176, 0, 5, 5); }, {}},
        {"FillRect(0,220,5,5)", [&] { fill(0, 220, 5, 5); }, {}},
        {"FillRect(65530,10,3,3)", [&] { fill(65530, 10, 3, 3); }, {}},
        {"FillRect(65535,65535,0,0)", [&] { fill(65535, 65535, 0, 0); }, {}},
        {"DrawLine(65530,65530,65535,65535)", [&] { line(65530, 65530, 65535, 65535); }, {}},
        {"DrawRect(65530,65530,4,4)", [&] { rect(65530, 65530, 4, 4); }, {}},
        {"myDrawRect(170,214,8,4)", [&] { dotted(170, 214, 8, 4); }, dottedFrame(170, 214, 8, 4)},
        {"myDrawRect(65500,65500,8,4)", [&] { dotted(65500, 65500, 8, 4); }, {}},
    };
    for (const Case& c : cases) {
        clear();
        c.draw();
        EXPECT_TRUE(paintedExactly(offscreen(), c.expected)) << c.name;
        EXPECT_EQ(phone().graphics.rop(), ROP_COPY_SOURCE) << c.name;
    }
}

TEST_F(Drawing, AnyCoordinatesAreSafeAndLeaveTheContextCopyingTheSource) {
    // Shapes anywhere in the 16-bit range, with sizes that run off the end of it, end
    // without harm, touch only the off-screen surface and restore the raster operation.
    const UINT16 places[] = {0, 1, 174, 175, 176, 219, 220, 32767, 65530, 65535};
    const UINT16 sizes[] = {0, 1, 5, 300, 65535};
    display().fill(0x1234);
    const sim::Surface shown = display();
    for (UINT16 x : places) {
        for (UINT16 y : places) {
            for (UINT16 w : sizes) {
                line(x, y, static_cast<UINT16>(x + w), y);
                fill(x, y, w, w);
                rect(x, y, w, 5);
                // A dash whose sum wraps runs across the whole 16-bit range: keep them few.
                if (w <= 5) dotted(x, y, w, 5);
                ASSERT_EQ(phone().graphics.rop(), ROP_COPY_SOURCE) << x << "," << y << " size " << w;
                ASSERT_EQ(phone().graphics.destinationHandle(), global<UINT32>("sDraw"));
            }
        }
    }
    EXPECT_TRUE(display() == shown) << "a shape reached the display";
}

TEST_F(Drawing, OnlyAFlushShowsTheSurface) {
    display().fill(0x1234);
    const sim::Surface before = display();

    // Drawing alone never reaches the display.
    setColor(0, 255, 0);
    fill(10, 10, 50, 50);
    line(0, 219, 175, 0);
    dotted(20, 20, 100, 100);
    textColor(255, 0, 0);
    writeChar(100, 150, 'W');
    EXPECT_TRUE(display() == before);

    // A flush shows the whole surface as it is.
    flush();
    EXPECT_TRUE(surfaceMatches(display(), [&](int x, int y) { return offscreen().at(x, y); }));
    const sim::Surface firstFlush = display();

    // A second flush with nothing drawn shows the same picture.
    flush();
    EXPECT_TRUE(display() == firstFlush);

    // After a flush, shapes and text go to the off-screen surface again, not the display.
    setColor(0, 0, 255);
    fill(0, 0, 175, 219);
    writeChar(0, 0, 'X');
    line(5, 5, 100, 5);
    EXPECT_TRUE(display() == firstFlush);
    flush();
    EXPECT_TRUE(surfaceMatches(display(), [&](int x, int y) { return offscreen().at(x, y); }));
    EXPECT_FALSE(display() == firstFlush);
}

}  // namespace
