#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "editor.hpp"
#include "fault.hpp"

namespace sim {

// A canvas that shows the application's display surface.
struct Canvas {};

// The dialogs that lie on the screen, the newest on top: at most kMostDialogs of them, as on a
// phone, past which creating one fails. An editor's title keeps its first kMostTitleUnits.
class Dialogs {
public:
    static constexpr std::size_t kMostDialogs = 64;
    static constexpr std::size_t kMostTitleUnits = 256;

    using Dialog = std::variant<Canvas, CharacterEditor>;

    // Each character editor enters typed text through `typing`.
    explicit Dialogs(TypingFilter typing = nullptr) : typing_(typing) {}

    // 0 when creation fails.
    std::uint32_t createCanvas();
    std::uint32_t createEditor(std::u16string text, std::uint32_t maxChars, std::u16string title);
    bool remove(std::uint32_t handle);

    Dialog* find(std::uint32_t handle);
    // The dialog on top of the screen, if any.
    Dialog* top();
    CharacterEditor* topEditor();
    std::size_t count() const { return stack_.size(); }
    FaultPlan& creationFaults() { return faults_; }

private:
    std::uint32_t add(Dialog dialog);
    std::vector<std::pair<std::uint32_t, Dialog>> stack_;
    std::uint32_t nextHandle_ = 0xD1000001;
    FaultPlan faults_;
    TypingFilter typing_;
};

}  // namespace sim
