#include "call_screen.hpp"

#include <string_view>

#include "glyphs.hpp"
#include "platform_font.hpp"

namespace sim {

namespace {

constexpr int kBarHeight = 16;
constexpr int kSoftBarTop = kScreenHeight - 14;
constexpr int kMargin = 3;

constexpr Rgb565 kBack = toRgb565(8, 16, 40);
constexpr Rgb565 kBar = toRgb565(16, 32, 96);
constexpr Rgb565 kInk = toRgb565(255, 255, 255);
constexpr Rgb565 kCaller = toRgb565(200, 200, 120);
constexpr Rgb565 kRing = toRgb565(60, 150, 60);

int width(std::u16string_view text) { return kFontCellWidth * static_cast<int>(text.size()); }

void centred(Surface& screen, int y, std::u16string_view text, Rgb565 ink) {
    drawPlatformText(screen, (kScreenWidth - width(text)) / 2, y, text, ink);
}

}  // namespace

void drawCallScreen(Surface& screen, PhoneLanguage language) {
    const bool russian = language == PhoneLanguage::Russian;
    screen.fill(kBack);
    screen.fill(0, 0, kScreenWidth, kBarHeight, kBar);
    centred(screen, 2, russian ? u"Вызов" : u"Call", kInk);
    // A handset drawn as three rings around a dot.
    const int cx = kScreenWidth / 2, cy = 70;
    for (int r = 8; r <= 24; r += 8)
        for (int dx = -r; dx <= r; ++dx)
            for (int dy = -r; dy <= r; ++dy) {
                const int d = dx * dx + dy * dy;
                if (d <= r * r && d > (r - 2) * (r - 2)) screen.set(cx + dx, cy + dy, kRing);
            }
    screen.fill(cx - 3, cy - 3, 7, 7, kRing);
    centred(screen, 110, russian ? u"Входящий вызов" : u"Incoming call", kInk);
    centred(screen, 128, russian ? u"Номер скрыт" : u"Number withheld", kCaller);
    screen.fill(0, kSoftBarTop, kScreenWidth, kScreenHeight - kSoftBarTop, kBar);
    const std::u16string_view decline = russian ? u"Отклонить" : u"Decline";
    drawPlatformText(screen, kScreenWidth - kMargin - width(decline), kSoftBarTop + 1, decline, kInk);
}

}  // namespace sim
