#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "clock.hpp"
#include "phone_language.hpp"
#include "surface.hpp"

namespace sim {

// The editing keys of a PC keyboard, and the phone's sideways keys.
enum class EditKey { Backspace, Delete, Left, Right, Home, End };

// What the editor enters for a character typed on a keyboard (or set whole by a script), as the
// application running on the phone reads text; none enters every character as it is typed.
using TypingFilter = char16_t (*)(char16_t);

// The platform's character editor: a text of at most `maxChars` 16-bit characters under a
// title, with a cursor. Text comes three ways: the application's own text when it opens, text
// typed on a keyboard (or set whole by a script), and letters multi-tapped on the keypad. A
// multi-tapped letter stays pending, shown underlined, while further taps of its key cycle it;
// any other key takes it, and so does a second of rest of its key.
class CharacterEditor {
public:
    static constexpr Clock::Duration kLetterTakenAfter{1000};

    CharacterEditor(std::u16string text, std::uint32_t maxChars, std::u16string title, TypingFilter typing = nullptr);

    const std::u16string& text() const { return text_; }
    // The text it opened with, as the application handed it over.
    const std::u16string& openedWith() const { return opened_; }
    const std::u16string& title() const { return title_; }
    std::uint32_t maxChars() const { return max_; }
    std::size_t cursor() const { return cursor_; }

    // Replaces the whole text as if typed; the editor keeps at most its maximum.
    void setText(std::u16string_view text);
    // Types characters at the cursor while there is room.
    void type(std::u16string_view text);
    void edit(EditKey key);
    // A key of the 12-key keypad tapped at time `at`: digits cycle the letters of the phone's
    // language ("2" is a, b, c, 2 or а, б, в, г, 2), "0" a blank and 0, "1" punctuation, "*" plus
    // and star; "#" switches between small and capital letters. False for any other key.
    bool tap(std::uint8_t key, PhoneLanguage language, Clock::Time at);
    // When the pending letter is taken unless its key is tapped again; none without one.
    std::optional<Clock::Time> letterTakenAt() const;
    // The time is `now`: a pending letter whose key has rested long enough is taken. True when
    // one was.
    bool passTime(Clock::Time now);

    // The characters a key of the keypad cycles through, small letters first; none for other keys.
    static std::u16string_view keypadChoices(std::uint8_t key, PhoneLanguage language);

    // Draws the editor as the whole screen.
    void render(Surface& screen, PhoneLanguage language) const;

private:
    struct Pending {
        std::uint8_t key;
        std::size_t choice;  // which of the key's characters is shown
        Clock::Time tapped;
    };
    void insert(char16_t c);

    std::u16string text_, opened_;
    std::uint32_t max_;
    std::u16string title_;
    TypingFilter typing_;
    std::size_t cursor_;
    std::optional<Pending> pending_;
    bool capitals_ = false;
};

}  // namespace sim
