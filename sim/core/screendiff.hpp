#pragma once
#include <optional>

#include "surface.hpp"

namespace sim {

// How a screen differs from the one expected.
struct ScreenDiff {
    bool sameSize = true;
    int differing = 0;                               // pixels that differ
    int left = 0, top = 0, right = -1, bottom = -1;  // their bounding box, corners included
    Surface picture;                                 // the differing pixels red over a dimmed copy of the actual screen
    explicit operator bool() const { return !sameSize || differing > 0; }
};

ScreenDiff diffScreens(const Surface& expected, const Surface& actual);

// The smallest box, corners included, that holds every pixel of `after` that `before` lacks or
// shows otherwise; none when there is none.
struct PixelBox {
    int left, top, right, bottom;
};
std::optional<PixelBox> changedBox(const Surface& before, const Surface& after);

}  // namespace sim
