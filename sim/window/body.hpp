#pragma once
// The phone body around the display, drawn in code at one pixel per unit: the window scales
// the whole picture by a whole number.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "phone_language.hpp"
#include "platform_font.hpp"
#include "surface.hpp"

namespace window {

struct Area {
    int x, y, width, height;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

struct BodyKey {
    Area box;
    int code;  // the phone's key code
};

class PhoneBody {
public:
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 398;
    static constexpr int kPanelWidth = 216;
    static constexpr Area kDisplay{12, 20, sim::kScreenWidth, sim::kScreenHeight};
    // The line under the keypad that names the PC keys: at most this many characters.
    static constexpr std::size_t kLegendLength = (kWidth - 8) / sim::kFontCellWidth;

    // `legend`: the line under the keypad, such as "F1 soft-left  Esc end".
    explicit PhoneBody(std::string legend = {});

    const std::vector<BodyKey>& keys() const { return keys_; }
    // The index of the key at a point of the picture, or of the first key with a code.
    std::optional<std::size_t> keyAt(int x, int y) const;
    std::optional<std::size_t> keyFor(int code) const;

    // The whole picture: the body with the display in it, the keys in `lit` lit, the keypad
    // labelled in the phone's language, the module's name on the plate, and the side panel's
    // lines to the right when given.
    sim::Surface paint(const sim::Surface& display, const std::set<std::size_t>& lit, sim::PhoneLanguage language,
                       std::string_view name, const std::vector<std::string>* panel) const;
    // Text in a band across the top of the display, such as "paused by the debugger": one line
    // for each line of `text`, each cut to the display's width.
    void caption(sim::Surface& picture, std::string_view text) const;

private:
    std::vector<BodyKey> keys_;
    std::string legend_;
};

}  // namespace window
