#include "editor.hpp"

#include <algorithm>

namespace sim {

CharacterEditor::CharacterEditor(std::u16string text, std::uint32_t maxChars, std::u16string title)
    : max_(maxChars), title_(std::move(title)) {
    setText(std::move(text));
}

void CharacterEditor::setText(std::u16string text) {
    if (text.size() > max_) text.resize(max_);
    text_ = std::move(text);
    cursor_ = text_.size();
}

void CharacterEditor::moveCursor(int step) {
    const long next = static_cast<long>(cursor_) + step;
    cursor_ = static_cast<std::size_t>(std::clamp<long>(next, 0, static_cast<long>(text_.size())));
}

void CharacterEditor::render(Surface& screen) const { screen.fill(toRgb565(255, 255, 255)); }

}  // namespace sim
