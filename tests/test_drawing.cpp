// The application's drawing layer on the simulated surfaces: colour reduction, the two
// current colours, lines, outlines, fills, the dotted frame, cut-off at the edges and the
// copy to the display. Shapes are checked against every pixel of the off-screen surface.
#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "app_test.hpp"
#include "platform/drawing.h"
#include "platform/types.h"

using namespace nuvtest;

namespace {

using sim::Rgb565;

constexpr Rgb565 kPaper = 0x0000, kInk = 0xFFFF;

// Each channel keeps its top 5, 6 and 5 bits.
constexpr Rgb565 reduced(int r, int g, int b) { return static_cast<Rgb565>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)); }

// What the surface must show: paper, and ink where a case puts it (cut off at the edges).
struct Picture {
    Picture& block(int x1, int y1, int x2, int y2, Rgb565 colour = kInk) {
        for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y)
            for (int x = std::min(x1, x2); x <= std::max(x1, x2); ++x) surface.set(x, y, colour);
        return *this;
    }
    Picture& outline(int x1, int y1, int x2, int y2, Rgb565 colour = kInk) {
        block(x1, y1, x2, y1, colour).block(x1, y2, x2, y2, colour);
        return block(x1, y1, x1, y2, colour).block(x2, y1, x2, y2, colour);
    }
    Picture& grid(std::initializer_list<int> xs, std::initializer_list<int> ys) {
        for (int x : xs)
            for (int y : ys) surface.set(x, y, kInk);
        return *this;
    }
    sim::Surface surface;  // all paper
};

// The dotted frame as described: two-pixel dashes across each edge, top and bottom at every
// second column from x + 2 to x + 2·(w/2 − 1), the sides at every second row from y + 1 to
// y + 2·(h/2 − 1) + 1; corners bare.
Picture dottedFrame(int x, int y, int w, int h) {
    Picture out;
    for (int c = x + 2; c <= x + 2 * (w / 2 - 1); c += 2) out.grid({c}, {y, y + 1, y + h, y + h + 1});
    for (int r = y + 1; r <= y + 2 * (h / 2 - 1) + 1; r += 2) out.grid({x, x + 1, x + w, x + w + 1}, {r});
    return out;
}

::testing::AssertionResult surfaceIs(const sim::Surface& got, const Picture& want) {
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            if (got.at(x, y) != want.surface.at(x, y))
                return ::testing::AssertionFailure() << "(" << x << "," << y << ") is 0x" << std::hex << got.at(x, y)
                                                     << " not 0x" << want.surface.at(x, y);
    return ::testing::AssertionSuccess();
}

class Drawing : public AppTest {
protected:
    enum { kLine, kRect, kFill, kDotted };

    void SetUp() override {
        boot();
        setColor = function<void(UINT8, UINT8, UINT8)>("SetColorRGB");
        textColor = function<void(UINT8, UINT8, UINT8)>("TextColorRGB");
        for (const char* name : {"DrawLine", "DrawRect", "FillRect", "myDrawRect"})
            shapes.push_back(function<void(UINT16, UINT16, UINT16, UINT16)>(name));
        flush = function<void()>("AHG_Flush");
        writeChar = function<void(UINT8, UINT8, UINT8)>("WriteChar");
        offscreen().fill(kPaper);
        setColor(255, 255, 255);
    }

    sim::Surface& offscreen() { return phone().graphics.offscreen(); }
    sim::Surface& display() { return phone().graphics.display(); }
    void draw(int shape, int a, int b, int c, int d) {
        shapes[static_cast<std::size_t>(shape)](static_cast<UINT16>(a), static_cast<UINT16>(b), static_cast<UINT16>(c),
                                                static_cast<UINT16>(d));
    }

    // The colours an "H" drawn at (20, 30) on `paper` leaves in its cell.
    std::set<Rgb565> textInk(Rgb565 paper) {
        for (int y = 30; y < 42; ++y)
            for (int x = 20; x < 25; ++x) offscreen().set(x, y, paper);
        writeChar(20, 30, 'H');
        std::set<Rgb565> colours;
        for (int y = 30; y < 42; ++y)
            for (int x = 20; x < 25; ++x)
                if (offscreen().at(x, y) != paper) colours.insert(offscreen().at(x, y));
        return colours;
    }

    void (*setColor)(UINT8, UINT8, UINT8) = nullptr;
    void (*textColor)(UINT8, UINT8, UINT8) = nullptr;
    std::vector<void (*)(UINT16, UINT16, UINT16, UINT16)> shapes;
    void (*flush)() = nullptr;
    void (*writeChar)(UINT8, UINT8, UINT8) = nullptr;
};

TEST_F(Drawing, ColoursKeepTheTopBitsOfEachChannel) {
    auto check = [&](int r, int g, int b, Rgb565 want) {
        const Rgb565 paper = static_cast<Rgb565>(~want);
        offscreen().set(7, 9, paper);
        setColor(static_cast<UINT8>(r), static_cast<UINT8>(g), static_cast<UINT8>(b));
        draw(kFill, 7, 9, 0, 0);
        EXPECT_EQ(offscreen().at(7, 9), want) << "shape colour " << r << "," << g << "," << b;
        textColor(static_cast<UINT8>(r), static_cast<UINT8>(g), static_cast<UINT8>(b));
        EXPECT_EQ(textInk(paper), std::set<Rgb565>{want}) << "text colour " << r << "," << g << "," << b;
    };
    const int worked[][4] = {{255, 255, 255, 0xFFFF}, {120, 120, 255, 0x7BDF}, {32, 0, 0, 0x2000},
                             {0, 0, 221, 0x001B},     {85, 85, 85, 0x52AA},    {7, 3, 7, 0x0000}};
    for (const auto& [r, g, b, value] : worked) check(r, g, b, static_cast<Rgb565>(value));
    // Each channel through all its values, the others running the other way, so a
    // component leaking into its neighbour's bits shows.
    for (int channel = 0; channel < 3; ++channel)
        for (int v = 0; v <= 255; ++v) {
            int c[3] = {255 - v, 255 - v, 255 - v};
            c[channel] = v;
            check(c[0], c[1], c[2], reduced(c[0], c[1], c[2]));
        }
}

TEST_F(Drawing, ShapeAndTextColoursAreIndependent) {
    setColor(255, 0, 0);
    textColor(0, 255, 0);
    draw(kLine, 0, 0, 9, 0);
    EXPECT_EQ(offscreen().at(0, 0), reduced(255, 0, 0));
    setColor(255, 255, 0);
    EXPECT_EQ(textInk(kPaper), std::set<Rgb565>{reduced(0, 255, 0)});
    // Both stay in force across any number of shapes and texts.
    for (int round = 0; round < 3; ++round) {
        draw(kFill, 0, 0, 3, 3);
        EXPECT_EQ(textInk(kPaper), std::set<Rgb565>{reduced(0, 255, 0)});
        draw(kLine, 50, 50, 50, 60);
        EXPECT_TRUE(offscreen().at(3, 3) == reduced(255, 255, 0) && offscreen().at(50, 60) == reduced(255, 255, 0));
    }
}

TEST_F(Drawing, ShapesPaintExactlyTheirPixelsCutOffAtTheEdges) {
    const struct {
        int shape, a, b, c, d;
        Picture expected;
    } cases[] = {
        {kLine, 10, 10, 10, 10, Picture().block(10, 10, 10, 10)},
        {kLine, 3, 7, 12, 7, Picture().block(3, 7, 12, 7)},
        {kLine, 12, 7, 3, 7, Picture().block(3, 7, 12, 7)},
        {kLine, 175, 219, 175, 0, Picture().block(175, 0, 175, 219)},
        {kRect, 10, 20, 4, 2, Picture().block(10, 20, 14, 22).block(11, 21, 13, 21, kPaper)},
        {kRect, 0, 0, 0, 0, Picture().block(0, 0, 0, 0)},
        {kRect, 5, 5, 7, 0, Picture().block(5, 5, 12, 5)},
        {kRect, 0, 0, 175, 219, Picture().outline(0, 0, 175, 219)},
        {kFill, 10, 20, 0, 0, Picture().block(10, 20, 10, 20)},
        {kFill, 30, 40, 17, 9, Picture().block(30, 40, 47, 49)},
        {kFill, 0, 0, 176, 208, Picture().block(0, 0, 175, 208)},  // the list area, one column past the edge
        {kDotted, 0, 0, 8, 4, Picture().grid({2, 4, 6}, {0, 1, 4, 5}).grid({0, 1, 8, 9}, {1, 3})},
        // At and past the edges.
        {kFill, 170, 210, 20, 30, Picture().block(170, 210, 175, 219)},
        {kRect, 170, 200, 20, 30, Picture().outline(170, 200, 190, 230)},
        {kLine, 0, 50, 65535, 50, Picture().block(0, 50, 175, 50)},
        {kLine, 60, 65535, 60, 0, Picture().block(60, 0, 60, 219)},
        {kLine, 176, 0, 176, 219, Picture()},
        {kFill, 0, 220, 5, 5, Picture()},
        {kFill, 65530, 10, 3, 3, Picture()},
        {kFill, 65535, 65535, 0, 0, Picture()},
        {kRect, 65530, 65530, 4, 4, Picture()},
        {kDotted, 170, 214, 8, 4, Picture().grid({172, 174}, {214, 215, 218, 219}).grid({170, 171}, {215, 217})},
        {kDotted, 65500, 65500, 8, 4, Picture()},
    };
    for (const auto& c : cases) {
        offscreen().fill(kPaper);
        draw(c.shape, c.a, c.b, c.c, c.d);
        EXPECT_TRUE(surfaceIs(offscreen(), c.expected))
            << "shape " << c.shape << " (" << c.a << "," << c.b << "," << c.c << "," << c.d << ")";
    }
}

TEST_F(Drawing, SlantedLinesPaintBothEndsAndEveryColumnAndRowBetween) {
    const int cases[][4] = {{0, 0, 10, 3}, {10, 3, 0, 0}, {20, 5, 23, 40}, {0, 219, 175, 0}};
    for (const auto& [x1, y1, x2, y2] : cases) {
        offscreen().fill(kPaper);
        draw(kLine, x1, y1, x2, y2);
        std::set<int> columns, rows;
        for (int y = 0; y < sim::kScreenHeight; ++y)
            for (int x = 0; x < sim::kScreenWidth; ++x)
                if (offscreen().at(x, y) != kPaper) columns.insert(x), rows.insert(y);
        ASSERT_TRUE(offscreen().at(x1, y1) == kInk && offscreen().at(x2, y2) == kInk) << x1 << "," << y1;
        // Every column and row between the ends, and none outside.
        auto spans = [](const std::set<int>& got, int a, int b) {
            return *got.begin() == std::min(a, b) && *got.rbegin() == std::max(a, b) &&
                   got.size() == static_cast<std::size_t>(std::abs(b - a) + 1);
        };
        EXPECT_TRUE(spans(columns, x1, x2) && spans(rows, y1, y2)) << x1 << "," << y1 << " to " << x2 << "," << y2;
    }
}

TEST_F(Drawing, FillInsideAnOutlineCoversExactlyItsInside) {
    const int frames[][4] = {{10, 20, 4, 2}, {0, 0, 175, 219}, {50, 60, 2, 2}, {50, 60, 31, 12}};
    for (const auto& [x, y, w, h] : frames) {
        offscreen().fill(kPaper);
        setColor(255, 0, 0);
        draw(kRect, x, y, w, h);
        setColor(0, 0, 255);
        draw(kFill, x + 1, y + 1, w - 2, h - 2);
        Picture want;
        want.block(x, y, x + w, y + h, reduced(0, 0, 255)).outline(x, y, x + w, y + h, reduced(255, 0, 0));
        EXPECT_TRUE(surfaceIs(offscreen(), want)) << "frame " << x << "," << y << "," << w << "," << h;
    }
}

TEST_F(Drawing, DottedFramesOfEverySmallSize) {
    // Below a width of 4 no dashes cross the top and bottom; below a height of 2 none the sides.
    for (int w = 0; w <= 9; ++w)
        for (int h = 0; h <= 5; ++h) {
            offscreen().fill(kPaper);
            draw(kDotted, 40, 50, w, h);
            EXPECT_TRUE(surfaceIs(offscreen(), dottedFrame(40, 50, w, h))) << "size " << w << "," << h;
        }
}

TEST_F(Drawing, AnyCoordinatesAreSafeAndLeaveTheContextCopyingTheSource) {
    // Shapes anywhere in the 16-bit range, with sizes running off its end, touch only the
    // off-screen surface and restore the raster operation.
    const int places[] = {0, 175, 176, 220, 65530, 65535};
    const int sizes[] = {0, 5, 300, 65535};
    display().fill(0x1234);
    const sim::Surface shown = display();
    for (int x : places)
        for (int y : places)
            for (int w : sizes) {
                draw(kLine, x, y, x + w, y);
                draw(kFill, x, y, w, w);
                draw(kRect, x, y, w, 5);
                if (w <= 5) draw(kDotted, x, y, w, 5);  // a wrapped size means 32767 dashes: keep them few
                ASSERT_EQ(phone().graphics.rop(), ROP_COPY_SOURCE) << x << "," << y << " size " << w;
                ASSERT_EQ(phone().graphics.destinationHandle(), global<UINT32>("sDraw"));
            }
    EXPECT_TRUE(display() == shown) << "a shape reached the display";
}

TEST_F(Drawing, OnlyAFlushShowsTheSurface) {
    display().fill(0x1234);
    const sim::Surface before = display();
    setColor(0, 255, 0);
    draw(kFill, 10, 10, 50, 50);
    draw(kDotted, 20, 20, 100, 100);
    writeChar(100, 150, 'W');
    EXPECT_TRUE(display() == before) << "drawing reached the display without a flush";

    flush();
    EXPECT_TRUE(display() == offscreen());
    const sim::Surface firstFlush = display();
    flush();
    EXPECT_TRUE(display() == firstFlush) << "a second flush changed the picture";

    // After a flush, shapes and text go to the off-screen surface again.
    setColor(0, 0, 255);
    draw(kLine, 5, 5, 100, 5);
    writeChar(0, 0, 'X');
    EXPECT_TRUE(display() == firstFlush);
    flush();
    EXPECT_TRUE(display() == offscreen());
    EXPECT_FALSE(display() == firstFlush);
}

}  // namespace
