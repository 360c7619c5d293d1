#include "screendiff.hpp"

#include <algorithm>

namespace sim {

ScreenDiff diffScreens(const Surface& expected, const Surface& actual) {
    ScreenDiff diff;
    diff.sameSize = expected.width() == actual.width() && expected.height() == actual.height();
    diff.picture = Surface(actual.width(), actual.height());
    diff.left = actual.width();
    diff.top = actual.height();
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x) {
            const bool differs = !expected.contains(x, y) || expected.at(x, y) != actual.at(x, y);
            const Rgb888 c = toRgb888(actual.at(x, y));
            diff.picture.set(x, y, differs ? toRgb565(255, 0, 0) : toRgb565(c.r / 3, c.g / 3, c.b / 3));
            if (!differs) continue;
            ++diff.differing;
            diff.left = std::min(diff.left, x), diff.right = std::max(diff.right, x);
            diff.top = std::min(diff.top, y), diff.bottom = std::max(diff.bottom, y);
        }
    if (diff.differing == 0) diff.left = diff.top = 0;
    return diff;
}

}  // namespace sim
