#pragma once
#include <cstdint>
#include <string>

#include "surface.hpp"

namespace sim {

// The platform's character editor: a text of at most `maxChars` 16-bit characters
// under a title, with a cursor.
class CharacterEditor {
public:
    CharacterEditor(std::u16string text, std::uint32_t maxChars, std::u16string title);

    const std::u16string& text() const { return text_; }
    const std::u16string& title() const { return title_; }
    std::uint32_t maxChars() const { return max_; }
    std::size_t cursor() const { return cursor_; }

    // Replaces the whole text; the editor keeps at most its maximum.
    void setText(std::u16string text);
    // Moves the cursor for the sideways keys.
    void moveCursor(int step);

    // Draws the editor as the whole screen.
    void render(Surface& screen, bool russian) const;

private:
    std::u16string text_;
    std::uint32_t max_;
    std::u16string title_;
    std::size_t cursor_;
};

}  // namespace sim
