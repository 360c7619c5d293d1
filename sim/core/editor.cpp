#include "editor.hpp"

#include <algorithm>
#include <string_view>

#include "glyphs.hpp"
#include "platform/app_framework.h"
#include "platform_font.hpp"
#include "utf.hpp"

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

char16_t capital(char16_t c) {
    if (c >= u'a' && c <= u'z') return c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    return c;
}

}  // namespace

CharacterEditor::CharacterEditor(std::u16string text, std::uint32_t maxChars, std::u16string title, TypingFilter typing)
    : text_(std::move(text)), max_(maxChars), title_(std::move(title)), typing_(typing) {
    if (text_.size() > max_) text_.resize(max_);
    cursor_ = text_.size();
    opened_ = text_;
}

std::u16string_view CharacterEditor::keypadChoices(std::uint8_t key, PhoneLanguage language) {
    static constexpr std::u16string_view kLatin[] = {u" 0",   u".,?!-1", u"abc2",  u"def3", u"ghi4",
                                                     u"jkl5", u"mno6",   u"pqrs7", u"tuv8", u"wxyz9"};
    static constexpr std::u16string_view kCyrillic[] = {u" 0",    u".,?!-1", u"абвг2", u"дежз3", u"ийкл4",
                                                        u"мноп5", u"рсту6",  u"фхцч7", u"шщъы8", u"ьэюя9"};
    if (key == KEY_STAR) return u"+*";
    if (key < KEY_0 || key > KEY_9) return {};
    return (language == PhoneLanguage::Russian ? kCyrillic : kLatin)[key - KEY_0];
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
        insert(typing_ ? typing_(c) : c);
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

bool CharacterEditor::tap(std::uint8_t key, PhoneLanguage language, Clock::Time at) {
    if (key == KEY_HASH) {
        pending_.reset();
        capitals_ = !capitals_;
        return true;
    }
    const std::u16string_view choices = keypadChoices(key, language);
    if (choices.empty()) return false;
    if (pending_ && pending_->key == key) {
        pending_->choice = (pending_->choice + 1) % choices.size();
        pending_->tapped = at;
    } else {
        pending_.reset();
        if (text_.size() >= max_) return true;
        insert(u' ');
        pending_ = Pending{key, 0, at};
    }
    const char16_t c = choices[pending_->choice];
    text_[cursor_ - 1] = capitals_ ? capital(c) : c;
    return true;
}

std::optional<Clock::Time> CharacterEditor::letterTakenAt() const {
    if (!pending_) return std::nullopt;
    return pending_->tapped + kLetterTakenAfter;
}

bool CharacterEditor::passTime(Clock::Time now) {
    if (!pending_ || now < *letterTakenAt()) return false;
    pending_.reset();
    return true;
}

void CharacterEditor::render(Surface& screen, PhoneLanguage language) const {
    const bool russian = language == PhoneLanguage::Russian;
    screen.fill(kPaper);
    screen.fill(0, 0, kScreenWidth, kTitleHeight, kTitleBack);
    drawPlatformText(screen, kMargin, 2, title_, kTitleInk);
    const std::u16string count = ascii(std::to_string(text_.size()) + "/" + std::to_string(max_));
    drawPlatformText(screen, kScreenWidth - kMargin - kCellWidth * static_cast<int>(count.size()), 2, count, kCountInk);

    // The text, wrapped at the screen's width, with the cursor before the character at
    // its position (after the last one at the end).
    for (std::size_t i = 0; i <= text_.size(); ++i) {
        const int line = static_cast<int>(i) / kColumns, column = static_cast<int>(i) % kColumns;
        const int x = kMargin + column * kCellWidth, y = kTextTop + line * kLineHeight;
        if (i < text_.size()) drawPlatformText(screen, x, y, std::u16string_view(text_).substr(i, 1), kInk);
        if (i == cursor_) screen.fill(x - 1, y - 1, 1, kCellHeight + 2, kCursor);
        if (pending_ && i + 1 == cursor_) screen.fill(x, y + kCellHeight, kCellWidth, 1, kInk);
    }

    screen.fill(0, kSoftBarTop, kScreenWidth, kScreenHeight - kSoftBarTop, kTitleBack);
    const std::u16string ok = russian ? u"\u041E\u043A" : u"OK";
    const std::u16string back = russian ? u"\u041D\u0430\u0437\u0430\u0434" : u"Back";
    drawPlatformText(screen, kMargin, kSoftBarTop + 1, ok, kTitleInk);
    if (capitals_) {
        // Only shown while the keypad gives capitals, so the ordinary screen stays as it is.
        const std::u16string shift = russian ? u"\u0410\u0411\u0412" : u"ABC";
        drawPlatformText(screen, (kScreenWidth - kCellWidth * static_cast<int>(shift.size())) / 2, kSoftBarTop + 1,
                         shift, kTitleInk);
    }
    drawPlatformText(screen, kScreenWidth - kMargin - kCellWidth * static_cast<int>(back.size()), kSoftBarTop + 1, back,
                     kTitleInk);
}

}  // namespace sim
