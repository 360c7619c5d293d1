#include "body.hpp"

#include <algorithm>
#include <string_view>

#include "editor.hpp"
#include "glyphs.hpp"
#include "platform/app_framework.h"
#include "platform_font.hpp"
#include "utf.hpp"

namespace window {

namespace {

using sim::Rgb565;
using sim::Surface;
using sim::toRgb565;

constexpr Rgb565 kCase = toRgb565(52, 56, 64);
constexpr Rgb565 kCaseEdge = toRgb565(96, 102, 114);
constexpr Rgb565 kSpeaker = toRgb565(24, 24, 28);
constexpr Rgb565 kBezel = toRgb565(8, 8, 10);
constexpr Rgb565 kKeyFace = toRgb565(208, 212, 218);
constexpr Rgb565 kSoftFace = toRgb565(150, 156, 168);
constexpr Rgb565 kConfirmFace = toRgb565(64, 168, 84);
constexpr Rgb565 kEndFace = toRgb565(200, 64, 64);
constexpr Rgb565 kLitFace = toRgb565(255, 200, 64);
constexpr Rgb565 kKeyInk = toRgb565(28, 28, 32);
constexpr Rgb565 kLightInk = toRgb565(250, 250, 250);
constexpr Rgb565 kPanelBack = toRgb565(24, 28, 36);
constexpr Rgb565 kPanelInk = toRgb565(200, 220, 200);
constexpr Rgb565 kCaptionBack = toRgb565(150, 40, 30);
constexpr Rgb565 kCaptionInk = toRgb565(255, 255, 255);
constexpr Rgb565 kLegendInk = toRgb565(170, 176, 188);

constexpr int kKeypadTop = 300, kKeypadStep = 19, kKeypadWidth = 52, kKeypadHeight = 15;
constexpr int kKeypadColumns[] = {12, 74, 136};

enum class Look { Soft, Confirm, End, Arrow, Centre, Keypad };

struct KeyDesign {
    Area box;
    int code;
    Look look;
};

// Where a right soft key would be: the application has none, so the case bears its name there
// instead of a key that does nothing.
constexpr Area kNamePlate{148, 248, 40, 12};
constexpr int kLegendTop = 380;

// The keys row by row: the soft key and the direction keys around their centre, the confirm and
// end keys, then the 12-key keypad.
std::vector<KeyDesign> design() {
    std::vector<KeyDesign> keys = {
        {{12, 248, 40, 12}, KEY_SOFT_LEFT, Look::Soft}, {{88, 248, 24, 13}, KEY_UP, Look::Arrow},
        {{60, 263, 26, 16}, KEY_LEFT, Look::Arrow},     {{88, 263, 24, 16}, KEY_SELECT, Look::Centre},
        {{114, 263, 26, 16}, KEY_RIGHT, Look::Arrow},   {{12, 266, 40, 13}, KEY_OK, Look::Confirm},
        {{148, 266, 40, 13}, KEY_END, Look::End},       {{88, 281, 24, 13}, KEY_DOWN, Look::Arrow},
    };
    const int keypad[] = {KEY_0 + 1, KEY_0 + 2, KEY_0 + 3, KEY_0 + 4, KEY_0 + 5, KEY_0 + 6,
                          KEY_0 + 7, KEY_0 + 8, KEY_0 + 9, KEY_STAR,  KEY_0,     KEY_HASH};
    for (int i = 0; i < 12; ++i)
        keys.push_back({{kKeypadColumns[i % 3], kKeypadTop + (i / 3) * kKeypadStep, kKeypadWidth, kKeypadHeight},
                        keypad[i],
                        Look::Keypad});
    return keys;
}

void fill(Surface& s, const Area& b, Rgb565 c) { s.fill(b.x, b.y, b.width, b.height, c); }

// A box with its corner pixels cut, which reads as rounded at this size.
void fillRounded(Surface& s, const Area& b, Rgb565 c) {
    fill(s, {b.x + 1, b.y, b.width - 2, b.height}, c);
    fill(s, {b.x, b.y + 1, 1, b.height - 2}, c);
    fill(s, {b.x + b.width - 1, b.y + 1, 1, b.height - 2}, c);
}

void centredText(Surface& s, const Area& b, std::u16string_view line, Rgb565 ink) {
    const int width = static_cast<int>(line.size()) * sim::kFontCellWidth;
    sim::drawPlatformText(s, b.x + (b.width - width) / 2, b.y + (b.height - sim::kFontCellHeight + 1) / 2, line, ink);
}

// A small triangle pointing the way of a direction key.
void arrow(Surface& s, const Area& b, int code, Rgb565 ink) {
    const int cx = b.x + b.width / 2, cy = b.y + b.height / 2;
    for (int i = 0; i < 4; ++i)
        for (int j = -i; j <= i; ++j) {
            switch (code) {
            case KEY_UP: s.set(cx + j, cy - 2 + i, ink); break;
            case KEY_DOWN: s.set(cx + j, cy + 1 - i, ink); break;
            case KEY_LEFT: s.set(cx - 2 + i, cy + j, ink); break;
            default: s.set(cx + 1 - i, cy + j, ink); break;
            }
        }
}

// A keypad key's label: its sign and the characters it multi-taps, a blank shown as "_".
std::u16string keypadLabel(int code, sim::PhoneLanguage language) {
    if (code == KEY_HASH) return language == sim::PhoneLanguage::Russian ? u"# Аа" : u"# Aa";
    const std::u16string_view choices = sim::CharacterEditor::keypadChoices(static_cast<std::uint8_t>(code), language);
    std::u16string label{static_cast<char16_t>(code), u' '};
    for (char16_t c : choices.substr(0, choices.size() - 1)) label.push_back(c == u' ' ? u'_' : c);
    return label;
}

void paintKey(Surface& s, const KeyDesign& key, bool lit, sim::PhoneLanguage language) {
    Rgb565 face = kKeyFace, ink = kKeyInk;
    if (key.look == Look::Soft) face = kSoftFace;
    if (key.look == Look::Confirm) face = kConfirmFace, ink = kLightInk;
    if (key.look == Look::End) face = kEndFace, ink = kLightInk;
    if (lit) face = kLitFace, ink = kKeyInk;
    fillRounded(s, key.box, face);
    const Area& b = key.box;
    switch (key.look) {
    case Look::Soft: fill(s, {b.x + b.width / 2 - 6, b.y + b.height / 2, 12, 1}, ink); break;
    case Look::Confirm: centredText(s, b, u"OK", ink); break;
    case Look::End: centredText(s, b, u"End", ink); break;
    case Look::Arrow: arrow(s, b, key.code, ink); break;
    case Look::Centre: fill(s, {b.x + b.width / 2 - 2, b.y + b.height / 2 - 2, 4, 4}, ink); break;
    case Look::Keypad: centredText(s, b, keypadLabel(key.code, language), ink); break;
    }
}

}  // namespace

PhoneBody::PhoneBody(std::string legend) : legend_(std::move(legend)) {
    for (const KeyDesign& key : design()) keys_.push_back({key.box, key.code});
}

std::optional<std::size_t> PhoneBody::keyAt(int x, int y) const {
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i].box.contains(x, y)) return i;
    return std::nullopt;
}

std::optional<std::size_t> PhoneBody::keyFor(int code) const {
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i].code == code) return i;
    return std::nullopt;
}

Surface PhoneBody::paint(const Surface& display, const std::set<std::size_t>& lit, sim::PhoneLanguage language,
                         std::string_view name, const std::vector<std::string>* panel) const {
    Surface picture(kWidth + (panel ? kPanelWidth : 0), kHeight, kCase);
    fill(picture, {0, 0, kWidth, 1}, kCaseEdge);
    fill(picture, {0, 0, 1, kHeight}, kCaseEdge);
    fill(picture, {kWidth - 1, 0, 1, kHeight}, kCaseEdge);
    fill(picture, {0, kHeight - 1, kWidth, 1}, kCaseEdge);
    fillRounded(picture, {80, 8, 40, 4}, kSpeaker);
    fill(picture, {kDisplay.x - 2, kDisplay.y - 2, kDisplay.width + 4, kDisplay.height + 4}, kBezel);
    for (int y = 0; y < display.height(); ++y)
        std::copy_n(display.row(y), display.width(), picture.row(kDisplay.y + y) + kDisplay.x);

    const std::vector<KeyDesign> designs = design();
    for (std::size_t i = 0; i < designs.size(); ++i) paintKey(picture, designs[i], lit.count(i) > 0, language);
    centredText(picture, kNamePlate, sim::ascii(std::string(name.substr(0, kNamePlate.width / sim::kFontCellWidth))),
                kCaseEdge);
    const std::string legend = legend_.substr(0, kLegendLength);
    centredText(picture, {0, kLegendTop, kWidth, sim::kFontCellHeight}, sim::ascii(legend), kLegendInk);

    if (panel) {
        fill(picture, {kWidth, 0, kPanelWidth, kHeight}, kPanelBack);
        int y = 8;
        for (const std::string& line : *panel) {
            const std::string shown = line.substr(0, (kPanelWidth - 12) / sim::kFontCellWidth);
            sim::drawPlatformText(picture, kWidth + 6, y, sim::ascii(shown), kPanelInk);
            y += sim::kFontCellHeight + 2;
        }
    }
    return picture;
}

void PhoneBody::caption(Surface& picture, std::string_view text) const {
    std::vector<std::string_view> lines;
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        lines.push_back(text.substr(from, std::min<std::size_t>(end - from, kDisplay.width / sim::kFontCellWidth)));
        from = end + 1;
    }
    const int lineHeight = sim::kFontCellHeight + 1;
    fill(picture, {kDisplay.x, kDisplay.y, kDisplay.width, static_cast<int>(lines.size()) * lineHeight + 3},
         kCaptionBack);
    for (std::size_t i = 0; i < lines.size(); ++i)
        centredText(picture,
                    {kDisplay.x, kDisplay.y + 2 + static_cast<int>(i) * lineHeight, kDisplay.width, lineHeight},
                    sim::ascii(std::string(lines[i])), kCaptionInk);
}

}  // namespace window
