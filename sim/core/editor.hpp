#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "surface.hpp"

namespace sim {

// The editing keys of a PC keyboard, and the phone's sideways keys.
enum class EditKey { Backspace, Delete, Left, Right, Home, End };

// The platform's character editor: a text of at most `maxChars` 16-bit characters under a
// title, with a cursor. Text comes three ways: the application's own text when it opens, text
// typed on a keyboard (or set whole by a script), and letters multi-tapped on the keypad. A
// multi-tapped letter stays pending, shown underlined, while further taps of its key cycle it;
// any other key takes it.
class CharacterEditor {
public:
    CharacterEditor(std::u16string text, std::uint32_t maxChars, std::u16string title);

    const std::u16string& text() const { return text_; }
    // The text it opened with, as the application handed it over.
    const std::u16string& openedWith() const { return opened_; }
    const std::u16string& title() const { return title_; }
    std::uint32_t maxChars() const { return max_; }
    std::size_t cursor() const { return cursor_; }
    bool letterPending() const { return pending_.has_value(); }

    // Replaces the whole text as if typed; the editor keeps at most its maximum.
    void setText(std::u16string_view text);
    // Types characters at the cursor while there is room.
    void type(std::u16string_view text);
    void edit(EditKey key);
    // A key of the 12-key keypad: digits cycle the letters of the phone's language ("2" is
    // a, b, c, 2 or а, б, в, г, 2), "0" a blank and 0, "1" punctuation, "*" plus and star;
    // "#" switches between small and capital letters. False for any other key.
    bool tap(std::uint8_t key, bool russian);
    // The pending letter becomes an ordinary one.
    void takePendingLetter() { pending_.reset(); }

    // The characters a key of the keypad cycles through, small letters first; none for other keys.
    static std::u16string_view keypadChoices(std::uint8_t key, bool russian);

    // A character as the editor enters it when typed. The application reads code units
    // U+0080 to U+00FF as the CP1251 bytes of the same value, so one that CP1251 holds at
    // another place ("é" is its "й") is entered as "?"; the rest are entered as they are.
    static char16_t typed(char16_t c);

    // Draws the editor as the whole screen.
    void render(Surface& screen, bool russian) const;

private:
    struct Pending {
        std::uint8_t key;
        std::size_t choice;  // which of the key's characters is shown
    };
    void insert(char16_t c);

    std::u16string text_, opened_;
    std::uint32_t max_;
    std::u16string title_;
    std::size_t cursor_;
    std::optional<Pending> pending_;
    bool capitals_ = false;
};

}  // namespace sim
