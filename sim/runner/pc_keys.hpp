#pragma once
// The PC keys that stand for the phone's keys and for the character editor's, as both front ends
// name them: the window (its library's key names) and the web page (the browser's). One table,
// so that a key does the same in both.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "editor.hpp"

namespace runner {

struct PcKey {
    const char* windowName;   // as the window library names it ("Keypad 5"); null where it has none
    const char* browserKey;   // the browser's KeyboardEvent.key ("ArrowUp"); null: matched by code
    const char* browserCode;  // the browser's KeyboardEvent.code ("Numpad5"), which wins over the key
    std::optional<std::uint8_t> phoneKey;  // the phone's key it gives
    std::optional<sim::EditKey> editKey;   // or what it does in the character editor
};

// Every PC key the front ends map by default.
std::span<const PcKey> pcKeys();

// The browser's half of the table as JSON, for the page's script:
// {"keys": {"ArrowUp": "up", ...}, "codes": {"Numpad5": "key-5", ...}, "editor": {"Backspace": 0, ...}}.
std::string pcKeysJson();

}  // namespace runner
