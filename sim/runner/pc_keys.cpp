#include "pc_keys.hpp"

#include "platform/app_framework.h"
#include "script.hpp"

namespace runner {

namespace {

using sim::EditKey;

constexpr std::uint8_t digit(int d) { return static_cast<std::uint8_t>(KEY_0 + d); }

// The number pad is the keypad whether Num Lock is on or not: the browser's code names its keys.
constexpr PcKey kKeys[] = {
    {"F1", "F1", nullptr, KEY_SOFT_LEFT, {}},
    {"[", "[", nullptr, KEY_SOFT_LEFT, {}},
    {"Return", "Enter", nullptr, KEY_OK, {}},
    {"Keypad Enter", nullptr, "NumpadEnter", KEY_SELECT, {}},
    {"Escape", "Escape", nullptr, KEY_END, {}},
    {"Up", "ArrowUp", nullptr, KEY_UP, {}},
    {"Down", "ArrowDown", nullptr, KEY_DOWN, {}},
    {"Left", "ArrowLeft", nullptr, KEY_LEFT, {}},
    {"Right", "ArrowRight", nullptr, KEY_RIGHT, {}},
    {"*", "*", nullptr, KEY_STAR, {}},
    {"Keypad *", nullptr, "NumpadMultiply", KEY_STAR, {}},
    {"#", "#", nullptr, KEY_HASH, {}},
    {"Keypad #", nullptr, nullptr, KEY_HASH, {}},
    {"0", "0", nullptr, digit(0), {}},
    {"1", "1", nullptr, digit(1), {}},
    {"2", "2", nullptr, digit(2), {}},
    {"3", "3", nullptr, digit(3), {}},
    {"4", "4", nullptr, digit(4), {}},
    {"5", "5", nullptr, digit(5), {}},
    {"6", "6", nullptr, digit(6), {}},
    {"7", "7", nullptr, digit(7), {}},
    {"8", "8", nullptr, digit(8), {}},
    {"9", "9", nullptr, digit(9), {}},
    {"Keypad 0", nullptr, "Numpad0", digit(0), {}},
    {"Keypad 1", nullptr, "Numpad1", digit(1), {}},
    {"Keypad 2", nullptr, "Numpad2", digit(2), {}},
    {"Keypad 3", nullptr, "Numpad3", digit(3), {}},
    {"Keypad 4", nullptr, "Numpad4", digit(4), {}},
    {"Keypad 5", nullptr, "Numpad5", digit(5), {}},
    {"Keypad 6", nullptr, "Numpad6", digit(6), {}},
    {"Keypad 7", nullptr, "Numpad7", digit(7), {}},
    {"Keypad 8", nullptr, "Numpad8", digit(8), {}},
    {"Keypad 9", nullptr, "Numpad9", digit(9), {}},
    {"Backspace", "Backspace", nullptr, {}, EditKey::Backspace},
    {"Delete", "Delete", nullptr, {}, EditKey::Delete},
    {"Home", "Home", nullptr, {}, EditKey::Home},
    {"End", "End", nullptr, {}, EditKey::End},
};

}  // namespace

std::span<const PcKey> pcKeys() { return kKeys; }

std::string pcKeysJson() {
    std::string keys, codes, edit;
    const auto add = [](std::string& to, const char* name, const std::string& value) {
        to += (to.empty() ? "\"" : ",\"") + std::string(name) + "\":" + value;
    };
    for (const PcKey& k : kKeys) {
        if (k.editKey) {
            if (k.browserKey) add(edit, k.browserKey, std::to_string(static_cast<int>(*k.editKey)));
            continue;
        }
        const std::string name = "\"" + keyName(*k.phoneKey) + "\"";
        if (k.browserCode)
            add(codes, k.browserCode, name);
        else if (k.browserKey)
            add(keys, k.browserKey, name);
    }
    return "{\"keys\":{" + keys + "},\"codes\":{" + codes + "},\"editor\":{" + edit + "}}";
}

}  // namespace runner
