#include "dialogs.hpp"

#include <algorithm>

namespace sim {

std::uint32_t Dialogs::add(Dialog dialog) {
    if (faults_.nextCallFails() || stack_.size() == kMostDialogs) return 0;
    const std::uint32_t handle = nextHandle_++;
    stack_.emplace_back(handle, std::move(dialog));
    return handle;
}

std::uint32_t Dialogs::createCanvas() { return add(Canvas{}); }

std::uint32_t Dialogs::createEditor(std::u16string text, std::uint32_t maxChars, std::u16string title) {
    if (title.size() > kMostTitleUnits) title.resize(kMostTitleUnits);
    return add(CharacterEditor(std::move(text), maxChars, std::move(title), typing_));
}

bool Dialogs::remove(std::uint32_t handle) {
    const auto found = std::find_if(stack_.begin(), stack_.end(), [&](const auto& d) { return d.first == handle; });
    if (found == stack_.end()) return false;
    stack_.erase(found);
    return true;
}

Dialogs::Dialog* Dialogs::find(std::uint32_t handle) {
    for (auto& [h, dialog] : stack_)
        if (h == handle) return &dialog;
    return nullptr;
}

Dialogs::Dialog* Dialogs::top() { return stack_.empty() ? nullptr : &stack_.back().second; }

CharacterEditor* Dialogs::topEditor() {
    Dialog* d = top();
    return d ? std::get_if<CharacterEditor>(d) : nullptr;
}

}  // namespace sim
