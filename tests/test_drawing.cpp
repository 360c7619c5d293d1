// The application's drawing layer on the simulated surfaces: the pixels each shape covers,
// cut off at the edges and wrapping as 16-bit coordinates do.
#include <algorithm>
#include <vector>

#include "app_test.hpp"
#include "platform/drawing.h"

using namespace nuvtest;

namespace {

using sim::Rgb565;
constexpr Rgb565 kPaper = 0x0000, kInk = 0xFFFF;

// What the surface must show: paper, and ink where a case puts it (cut off at the edges).
struct Picture {
    Picture& block(int x1, int y1, int x2, int y2, Rgb565 colour = kInk) {
        for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y)
            for (int x = std::min(x1, x2); x <= std::max(x1, x2); ++x) surface.set(x, y, colour);
        return *this;
    }
    Picture& outline(int x1, int y1, int x2, int y2) {
        return block(x1, y1, x2, y1).block(x1, y2, x2, y2).block(x1, y1, x1, y2).block(x2, y1, x2, y2);
    }
    Picture& grid(std::initializer_list<int> xs, std::initializer_list<int> ys) {
        for (int x : xs)
            for (int y : ys) surface.set(x, y, kInk);
        return *this;
    }
    sim::Surface surface;  // all paper
};

using Shape = void(UINT16, UINT16, UINT16, UINT16);
enum { kLine, kRect, kFill, kDotted };

class Drawing : public AppTest {
protected:
    void SetUp() override {
        boot();
        for (const char* name : {"DrawLine", "DrawRect", "FillRect", "myDrawRect"})
            shapes.push_back(function<Shape>(name));
        function<void(UINT8, UINT8, UINT8)>("SetColorRGB")(255, 255, 255);
        offscreen().fill(kPaper);
    }
    sim::Surface& offscreen() { return phone().graphics().offscreen(); }
    void draw(int shape, int a, int b, int c, int d) {
        shapes[std::size_t(shape)](UINT16(a), UINT16(b), UINT16(c), UINT16(d));
    }
    std::vector<Shape*> shapes;
};

// A fill and an outline of (x, y, w, h) cover the same w + 1 by h + 1 pixels; the dotted frame
// has two-pixel dashes at every second column and row, its corners bare.
TEST_F(Drawing, ShapesPaintExactlyTheirPixelsCutOffAtTheEdges) {
    const struct {
        int shape, a, b, c, d;
        Picture expected;
    } cases[] = {
        {kLine, 12, 7, 3, 7, Picture().block(3, 7, 12, 7)},
        {kLine, 175, 219, 175, 0, Picture().block(175, 0, 175, 219)},
        {kRect, 10, 20, 4, 2, Picture().outline(10, 20, 14, 22)},
        {kRect, 5, 5, 7, 0, Picture().block(5, 5, 12, 5)},
        {kFill, 10, 20, 0, 0, Picture().block(10, 20, 10, 20)},
        {kFill, 0, 0, 176, 208, Picture().block(0, 0, 175, 208)},  // the list area, one column past the edge
        {kDotted, 0, 0, 8, 4, Picture().grid({2, 4, 6}, {0, 1, 4, 5}).grid({0, 1, 8, 9}, {1, 3})},
        {kDotted, 40, 50, 3, 1, Picture()},  // too small for any dash
        {kFill, 170, 210, 20, 30, Picture().block(170, 210, 175, 219)},
        {kRect, 170, 200, 20, 30, Picture().outline(170, 200, 190, 230)},
        {kLine, 0, 50, 65535, 50, Picture().block(0, 50, 175, 50)},
        {kLine, 60, 65535, 60, 0, Picture().block(60, 0, 60, 219)},
        {kFill, 65530, 10, 3, 3, Picture()},
        {kFill, 65535, 65535, 0, 0, Picture()},
        {kRect, 65530, 65530, 4, 4, Picture()},
        {kDotted, 170, 214, 8, 4, Picture().grid({172, 174}, {214, 215, 218, 219}).grid({170, 171}, {215, 217})},
    };
    for (const auto& c : cases) {
        offscreen().fill(kPaper);
        draw(c.shape, c.a, c.b, c.c, c.d);
        EXPECT_TRUE(offscreen() == c.expected.surface)
            << "shape " << c.shape << " (" << c.a << "," << c.b << "," << c.c << "," << c.d << ")";
    }
}

}  // namespace
