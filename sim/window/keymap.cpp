#include "keymap.hpp"

#include <SDL.h>

#include <istream>
#include <sstream>

#include "platform/app_framework.h"
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
    const std::pair<PcKey, int> keys[] = {
        {SDLK_F1, KEY_SOFT_LEFT},     {SDLK_LEFTBRACKET, KEY_SOFT_LEFT},
        {SDLK_RETURN, KEY_OK},        {SDLK_KP_ENTER, KEY_SELECT},
        {SDLK_ESCAPE, KEY_END},       {SDLK_UP, KEY_UP},
        {SDLK_DOWN, KEY_DOWN},        {SDLK_LEFT, KEY_LEFT},
        {SDLK_RIGHT, KEY_RIGHT},      {SDLK_ASTERISK, KEY_STAR},
        {SDLK_KP_MULTIPLY, KEY_STAR}, {SDLK_HASH, KEY_HASH},
        {SDLK_KP_HASH, KEY_HASH},
    };
    for (const auto& [key, code] : keys) map.bind(key, code);
    const PcKey pad[] = {SDLK_KP_0, SDLK_KP_1, SDLK_KP_2, SDLK_KP_3, SDLK_KP_4,
                         SDLK_KP_5, SDLK_KP_6, SDLK_KP_7, SDLK_KP_8, SDLK_KP_9};
    for (int digit = 0; digit <= 9; ++digit) {
        map.bind(SDLK_0 + digit, KEY_0 + digit);
        map.bind(pad[digit], KEY_0 + digit);
    }
    return map;
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
        if (equals == std::string::npos || equals == 0) return sim::failure(where + "not KEY = code: " + line);
        const std::string name = trim(line.substr(0, equals)), code = trim(line.substr(equals + 1));
        const SDL_Keycode key = SDL_GetKeyFromName(name.c_str());
        if (key == SDLK_UNKNOWN) return sim::failure(where + "no PC key is called \"" + name + "\"");
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
            return sim::failure(where + "\"" + code +
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
        const char* words;
    };
    const Item items[] = {{SDLK_F1, KEY_SOFT_LEFT, "F1 soft-left"}, {SDLK_ESCAPE, KEY_END, "Esc end"},
                          {SDLK_F3, -1, "F3 panel"},           {SDLK_F5, -1, "F5 restart"},
                          {SDLK_F12, -1, "F12 shot"},          {SDLK_F6, -1, "F6 call"},
                          {SDLK_F2, -1, "F2 language"}};
    std::string line;
    for (const Item& item : items) {
        if (item.code >= 0 ? phoneKey(item.key) != item.code : named(item.key)) continue;
        const std::string more = (line.empty() ? "" : "  ") + std::string(item.words);
        if (line.size() + more.size() > width) break;
        line += more;
    }
    return line;
}

std::string keyMapHelp() {
    return "Window keys (--keymap FILE changes them with lines of KEY = code):\n" + KeyMap::defaults().describe() +
           "  In the character editor the keyboard types text; Backspace, Delete, Left, Right, Home and End\n"
           "  edit; the number pad's keys multi-tap letters. F12 writes a screenshot into the phone folder's\n"
           "  screenshots/, F5 restarts the application, F2 restarts it in the other language, F3 shows or\n"
           "  hides the side panel, F6 interrupts the application with an incoming call and F6 again\n"
           "  declines it; a key that the key map names does what the map says instead. When the\n"
           "  application ends, the window shows its last screen until Escape closes it (F5 starts the\n"
           "  application again); with --exit it closes. Where no window can be shown (no display), the\n"
           "  simulator says so and runs headless.\n";
}

}  // namespace window
