#include "editor.hpp"

#include <algorithm>
#include <string_view>

#include "platform/app_framework.h"
#include "platform_font.hpp"

namespace sim {

namespace {

constexpr int kCellWidth = kFontCellWidth;
constexpr int kCellHeight = kFontCellHeight;
constexpr int kMargin = 3;
constexpr int kColumns = (kScreenWidth - 2 * kMargin) / kCellWidth;
constexpr int kTitleHeight = 16;
constexpr int kTextTop = kTitleHeight + 4;
constexpr int kLineHeight = 14;
constexpr int kSoftBarTop = kScreenHeight - 14;

constexpr Rgb565 kTitleBack = toRgb565(16, 32, 96);
constexpr Rgb565 kTitleInk = toRgb565(255, 255, 255);
constexpr Rgb565 kPaper = toRgb565(248, 248, 240);
constexpr Rgb565 kInk = toRgb565(0, 0, 0);
constexpr Rgb565 kCursor = toRgb565(220, 0, 0);
constexpr Rgb565 kCountInk = toRgb565(200, 200, 120);

// The font cell that shows a 16-bit character. Code units 0x00A0-0x00FF stand for the
// CP1251 letters of the same byte, as on a phone localised for Russian; U+0400-U+045F
// are the Unicode Cyrillic letters. Letters the font lacks show as their look-alikes
// (Ё as Е, Ukrainian І as I, ...), anything else as "?".
std::uint8_t cellFor(char16_t c) {
    // CP1251 0xA0-0xBF, in order, as the font's cells.
    static constexpr std::uint8_t kUpperHalf[32] = {
        ' ', 0xD3, 0xF3, 'J', '?',  0xC3, '|', '?', 0xC5, 'c', 0xC5, '"', '-', '-', 'R', 'I',
        '?', '+',  'I',  'i', 0xE3, 'u',  '?', '.', 0xE5, 'N', 0xE5, '"', 'j', 'S', 's', 'i',
    };
    if (c >= 0x20 && c < 0x7F) return static_cast<std::uint8_t>(c);
    if (c >= 0xC0 && c <= 0xFF) return static_cast<std::uint8_t>(c);
    if (c >= 0xA0 && c <= 0xBF) return kUpperHalf[c - 0xA0];
    if (c >= 0x410 && c <= 0x44F) return static_cast<std::uint8_t>(c - 0x350);
    switch (c) {
    case 0x401:
    case 0x404: return 0xC5;  // Ё Є
    case 0x451:
    case 0x454: return 0xE5;  // ё є
    case 0x406:
    case 0x407: return 'I';  // І Ї
    case 0x456:
    case 0x457: return 'i';  // і ї
    case 0x408: return 'J';
    case 0x458: return 'j';
    case 0x405: return 'S';
    case 0x455: return 's';
    case 0x40E: return 0xD3;  // Ў as У
    case 0x45E: return 0xF3;  // ў as у
    case 0x490: return 0xC3;  // Ґ as Г
    case 0x491: return 0xE3;  // ґ as г
    default: return '?';
    }
}

void fillRect(Surface& s, int x, int y, int w, int h, Rgb565 c) {
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col) s.set(col, row, c);
}

void drawCell(Surface& s, int x, int y, std::uint8_t code, Rgb565 ink) {
    const std::uint8_t* glyph = kPlatformFont + (code - kFontFirstCode) * kFontGlyphBytes;
    for (int row = 0; row < kCellHeight; ++row)
        for (int col = 0; col < kCellWidth; ++col) {
            const int bit = row * kCellWidth + col;
            if (glyph[bit / 8] & (0x80 >> (bit % 8))) s.set(x + col, y + row, ink);
        }
}

void drawText(Surface& s, int x, int y, std::u16string_view text, Rgb565 ink) {
    for (char16_t c : text) {
        drawCell(s, x, y, cellFor(c), ink);
        x += kCellWidth;
    }
}

std::u16string ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

char16_t capital(char16_t c) {
    if (c >= u'a' && c <= u'z') return c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    return c;
}

}  // namespace

CharacterEditor::CharacterEditor(std::u16string text, std::uint32_t maxChars, std::u16string title)
    : text_(std::move(text)), max_(maxChars), title_(std::move(title)) {
    if (text_.size() > max_) text_.resize(max_);
    cursor_ = text_.size();
    opened_ = text_;
}

char16_t CharacterEditor::typed(char16_t c) {
    // CP1251's bytes from 0x80 that stand for the character of the same code.
    static constexpr std::u16string_view kSameInCp1251 =
        u"\u00A0\u00A4\u00A6\u00A7\u00A9\u00AB\u00AC\u00AD\u00AE\u00B0\u00B1\u00B5\u00B6\u00B7\u00BB";
    if (c < 0x80 || c > 0xFF || kSameInCp1251.find(c) != std::u16string_view::npos) return c;
    return u'?';
}

std::u16string_view CharacterEditor::keypadChoices(std::uint8_t key, bool russian) {
    static constexpr std::u16string_view kLatin[] = {u" 0",   u".,?!-1", u"abc2",  u"def3", u"ghi4",
                                                     u"jkl5", u"mno6",   u"pqrs7", u"tuv8", u"wxyz9"};
    static constexpr std::u16string_view kCyrillic[] = {u" 0",    u".,?!-1", u"абвг2", u"дежз3", u"ийкл4",
                                                        u"мноп5", u"рсту6",  u"фхцч7", u"шщъы8", u"ьэюя9"};
    if (key == KEY_STAR) return u"+*";
    if (key < KEY_0 || key > KEY_9) return {};
    return (russian ? kCyrillic : kLatin)[key - KEY_0];
}

void CharacterEditor::setText(std::u16string_view text) {
    text_.clear();
    cursor_ = 0;
    pending_.reset();
    type(text);
}

void CharacterEditor::insert(char16_t c) { text_.insert(cursor_++, 1, c); }

void CharacterEditor::type(std::u16string_view text) {
    pending_.reset();
    for (char16_t c : text) {
        if (text_.size() >= max_) break;
        insert(typed(c));
    }
}

void CharacterEditor::edit(EditKey key) {
    const bool wasPending = pending_.has_value();
    pending_.reset();
    switch (key) {
    case EditKey::Backspace:
        if (cursor_ > 0) text_.erase(--cursor_, 1);
        break;
    case EditKey::Delete:
        if (cursor_ < text_.size()) text_.erase(cursor_, 1);
        break;
    case EditKey::Left:
        if (cursor_ > 0) --cursor_;
        break;
    case EditKey::Right:
        // The first press after a tapped letter only takes it, as on a phone.
        if (!wasPending && cursor_ < text_.size()) ++cursor_;
        break;
    case EditKey::Home: cursor_ = 0; break;
    case EditKey::End: cursor_ = text_.size(); break;
    }
}

bool CharacterEditor::tap(std::uint8_t key, bool russian) {
    if (key == KEY_HASH) {
        pending_.reset();
        capitals_ = !capitals_;
        return true;
    }
    const std::u16string_view choices = keypadChoices(key, russian);
    if (choices.empty()) return false;
    if (pending_ && pending_->key == key) {
        pending_->choice = (pending_->choice + 1) % choices.size();
    } else {
        pending_.reset();
        if (text_.size() >= max_) return true;
        insert(u' ');
        pending_ = Pending{key, 0};
    }
    const char16_t c = choices[pending_->choice];
    text_[cursor_ - 1] = capitals_ ? capital(c) : c;
    return true;
}

void CharacterEditor::render(Surface& screen, bool russian) const {
    screen.fill(kPaper);
    fillRect(screen, 0, 0, kScreenWidth, kTitleHeight, kTitleBack);
    drawText(screen, kMargin, 2, title_, kTitleInk);
    const std::u16string count = ascii(std::to_string(text_.size()) + "/" + std::to_string(max_));
    drawText(screen, kScreenWidth - kMargin - kCellWidth * static_cast<int>(count.size()), 2, count, kCountInk);

    // The text, wrapped at the screen's width, with the cursor before the character at
    // its position (after the last one at the end).
    for (std::size_t i = 0; i <= text_.size(); ++i) {
        const int line = static_cast<int>(i) / kColumns, column = static_cast<int>(i) % kColumns;
        const int x = kMargin + column * kCellWidth, y = kTextTop + line * kLineHeight;
        if (i < text_.size()) drawCell(screen, x, y, cellFor(text_[i]), kInk);
        if (i == cursor_) fillRect(screen, x - 1, y - 1, 1, kCellHeight + 2, kCursor);
        if (pending_ && i + 1 == cursor_) fillRect(screen, x, y + kCellHeight, kCellWidth, 1, kInk);
    }

    fillRect(screen, 0, kSoftBarTop, kScreenWidth, kScreenHeight - kSoftBarTop, kTitleBack);
    const std::u16string ok = russian ? u"\u041E\u043A" : u"OK";
    const std::u16string back = russian ? u"\u041D\u0430\u0437\u0430\u0434" : u"Back";
    drawText(screen, kMargin, kSoftBarTop + 1, ok, kTitleInk);
    if (capitals_) {
        // Only shown while the keypad gives capitals, so the ordinary screen stays as it is.
        const std::u16string shift = russian ? u"\u0410\u0411\u0412" : u"ABC";
        drawText(screen, (kScreenWidth - kCellWidth * static_cast<int>(shift.size())) / 2, kSoftBarTop + 1, shift,
                 kTitleInk);
    }
    drawText(screen, kScreenWidth - kMargin - kCellWidth * static_cast<int>(back.size()), kSoftBarTop + 1, back,
             kTitleInk);
}

}  // namespace sim
