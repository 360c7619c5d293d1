#include "keymap.hpp"

#include <SDL.h>

#include <istream>
#include <sstream>

#include "platform/app_framework.h"
#include "pc_keys.hpp"
#include "window_keys.hpp"
#include "script.hpp"

namespace window {

using runner::trim;

void KeyMap::bind(PcKey key, int code) {
    if (code < 0)
        keys_.erase(key);
    else
        keys_[key] = static_cast<std::uint8_t>(code);
}

KeyMap KeyMap::defaults() {
    KeyMap map;
    for (const runner::PcKey& key : runner::pcKeys())
        if (key.phoneKey && key.windowName) map.bind(SDL_GetKeyFromName(key.windowName), *key.phoneKey);
    return map;
}

std::optional<sim::EditKey> editKeyOf(PcKey key) {
    for (const runner::PcKey& k : runner::pcKeys())
        if (k.editKey && k.windowName && SDL_GetKeyFromName(k.windowName) == key) return k.editKey;
    return std::nullopt;
}

sim::Result<KeyMap> KeyMap::read(std::istream& in, const std::string& source) {
    KeyMap map = defaults();
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        const std::string where = source + " line " + std::to_string(number) + ": ";
        // The last "=" divides, so that "=" itself can be named as a key.
        const auto equals = line.rfind('=');
        if (equals == std::string::npos || equals == 0)
            return sim::failure(where + "not KEY = code: " + runner::excerpt(line));
        const std::string name = trim(line.substr(0, equals)), code = trim(line.substr(equals + 1));
        // SDL reads a name up to its first zero byte, and as UTF-8: anything else would name
        // another key than the one written.
        bool valid = true;
        (void)sim::utf16FromUtf8(line, valid);
        if (!valid || line.find('\0') != std::string::npos)
            return sim::failure(where + "a key map line is UTF-8 text without zero bytes: " + runner::excerpt(line));
        const SDL_Keycode key = SDL_GetKeyFromName(name.c_str());
        if (key == SDLK_UNKNOWN) return sim::failure(where + "no PC key is called \"" + runner::excerpt(name) + "\"");
        if (const auto before = map.named_.find(key); before != map.named_.end())
            return sim::failure(where + SDL_GetKeyName(key) + " is mapped already, on line " +
                                std::to_string(before->second));
        map.named_[key] = number;
        if (code == "none") {
            map.bind(key, -1);
            continue;
        }
        const auto phone = runner::parseKey(code);
        if (!phone)
            return sim::failure(where + "\"" + runner::excerpt(code) +
                                "\" is no phone key: give a key name, a code from 0 to 255 or none");
        map.bind(key, *phone);
    }
    return map;
}

int KeyMap::phoneKey(PcKey key) const {
    const auto found = keys_.find(key);
    return found == keys_.end() ? -1 : found->second;
}

std::string KeyMap::describe() const {
    // Grouped by phone key, so each reads as "soft-left: F1, [".
    std::map<std::uint8_t, std::string> byPhoneKey;
    for (const auto& [key, code] : keys_) {
        std::string& names = byPhoneKey[code];
        names += (names.empty() ? "" : ", ") + std::string(SDL_GetKeyName(key));
    }
    std::ostringstream out;
    for (const auto& [code, names] : byPhoneKey)
        out << "  " << runner::keyName(code) << " (" << int{code} << "): " << names << "\n";
    return out.str();
}

std::string KeyMap::legend(std::size_t width) const {
    struct Item {
        PcKey key;
        int code;  // the phone key it must give, or -1 for one of the window's own keys
        std::string words;
    };
    std::vector<Item> items{{SDLK_F1, KEY_SOFT_LEFT, "F1 soft-left"}, {SDLK_ESCAPE, KEY_END, "Esc end"}};
    for (const WindowKey& k : kWindowKeys)
        items.push_back({k.key, -1, std::string(SDL_GetKeyName(k.key)) + " " + k.legend});
    std::string line;
    for (const Item& item : items) {
        if (item.code >= 0 ? phoneKey(item.key) != item.code : named(item.key)) continue;
        const std::string more = (line.empty() ? "" : "  ") + item.words;
        if (line.size() + more.size() > width) break;
        line += more;
    }
    return line;
}

std::string keyMapHelp() {
    std::string help = "Window keys (--keymap FILE changes them with lines of KEY = code):\n" +
                       KeyMap::defaults().describe() +
                       "  In the character editor the keyboard types text; Backspace, Delete, Left, Right, Home and End\n"
                       "  edit; the number pad's keys multi-tap letters.\n";
    for (const WindowKey& k : kWindowKeys) help += "  " + std::string(SDL_GetKeyName(k.key)) + " " + k.help + "\n";
    return help +
           "  A key that the key map names does what the map says instead. When the module ends, the\n"
           "  window shows its last screen until Escape closes it (F5 starts the module again); with --exit\n"
           "  it closes. Where no window can be shown (no display), the simulator says so and runs headless.\n";
}

}  // namespace window
