#pragma once
// Which key of the PC keyboard stands for which key of the phone.
#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>

#include "editor.hpp"
#include "result.hpp"

namespace window {

// A PC key as the window library numbers it (its key code).
using PcKey = std::int32_t;

class KeyMap {
public:
    // F1 or "[" the left soft key, Enter confirm (15), keypad Enter the centre key (61),
    // Escape the end key, the arrows the direction keys, digits, "*" and "#" (on the main
    // block and on the number pad) the 12-key keypad.
    static KeyMap defaults();

    // Reads lines of "KEY = code" over the defaults, KEY a PC key's name ("F1", "Return",
    // "Keypad 5", "["), code a phone key's script name ("soft-left", "key-5"), a number from 0
    // to 255, or "none" to leave the PC key unused. Blank lines and lines starting with "#"
    // are skipped. The first bad line is an error naming its number; a PC key named on two lines
    // is one.
    static sim::Result<KeyMap> read(std::istream& in, const std::string& source);

    // The phone's key for a PC key, or -1.
    int phoneKey(PcKey key) const;
    // The file named this PC key: it does what the file says, and no longer what the window does
    // with it (F2, F3, F5, F12).
    bool named(PcKey key) const { return named_.count(key) > 0; }
    // One line naming the PC keys of the menu, the end key and the window's own keys that still do
    // what they do by default, at most `width` characters, for under the phone's body.
    std::string legend(std::size_t width) const;
    // Every PC key of the map by name with its phone key, for --help.
    std::string describe() const;

private:
    void bind(PcKey key, int code);
    std::map<PcKey, std::uint8_t> keys_;
    std::map<PcKey, int> named_;  // by the file, with the number of the line
};

// What a PC key does in the character editor, if anything.
std::optional<sim::EditKey> editKeyOf(PcKey key);

// The window's keys for --help: the default key map and the keys of the window itself.
std::string keyMapHelp();

}  // namespace window
