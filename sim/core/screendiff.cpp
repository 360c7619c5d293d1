#include "screendiff.hpp"

#include <algorithm>

namespace sim {

namespace {
bool differs(const Surface& before, const Surface& after, int x, int y) {
    return !before.contains(x, y) || before.at(x, y) != after.at(x, y);
}
}  // namespace

std::optional<PixelBox> changedBox(const Surface& before, const Surface& after) {
    PixelBox box{after.width(), after.height(), -1, -1};
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (differs(before, after, x, y)) {
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
            }
    if (box.right < 0) return std::nullopt;
    return box;
}

ScreenDiff diffScreens(const Surface& expected, const Surface& actual) {
    ScreenDiff diff;
    diff.sameSize = expected.width() == actual.width() && expected.height() == actual.height();
    diff.picture = Surface(actual.width(), actual.height());
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x) {
            const bool changed = differs(expected, actual, x, y);
            const Rgb888 c = toRgb888(actual.at(x, y));
            diff.picture.set(x, y, changed ? toRgb565(255, 0, 0) : toRgb565(c.r / 3, c.g / 3, c.b / 3));
            diff.differing += changed;
        }
    if (const auto box = changedBox(expected, actual))
        diff.left = box->left, diff.top = box->top, diff.right = box->right, diff.bottom = box->bottom;
    return diff;
}

}  // namespace sim
