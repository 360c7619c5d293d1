#pragma once
// What the parts of the session (session*.cpp) share: how they name handlers and events, and
// the rules for the names and paths a script line can hold.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>

#include "host_paths.hpp"
#include "phone.hpp"
#include "script.hpp"

namespace runner::session_parts {

namespace fs = std::filesystem;

inline std::string hexDigits(std::uint32_t value, int digits) {
    std::ostringstream out;
    out << "0x" << std::uppercase << std::hex << std::setw(digits) << std::setfill('0') << value;
    return out.str();
}

// The name of an event handler: the application's symbol when its module knows it.
inline std::string handlerName(const sim::Phone& phone, sim::ModuleAddress handler) {
    if (!handler) return "no handler";
    const sim::Module* module = phone.loader().module();
    const std::string name = module ? module->nameOf(handler) : "";
    return name.empty() ? hexDigits(static_cast<std::uint32_t>(handler), 8) : name;
}

inline std::string describe(const sim::Delivery& d) {
    std::string text = "event " + hexDigits(d.code, 4);
    if (d.code == EV_KEY_PRESS) text += " key " + keyName(d.key);
    return text;
}

inline sim::Result<std::string> readBytes(const fs::path& file) { return sim::readHostFile(file); }

// A script line ends at a blank after a path: a name with one cannot be put or pinned.
inline bool scriptCanName(const fs::path& file) {
    const std::string name = file.filename().string();
    return std::none_of(name.begin(), name.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7F; });
}

// The application's path as the application itself sees it: each byte of its 8-bit text
// widened to one 16-bit unit, which the phone's file service then maps to a host name.
inline std::u16string widened(const std::string& path) {
    std::u16string out;
    for (unsigned char c : path) out.push_back(c);
    return out;
}

inline bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x80; });
}

inline bool confirms(std::uint8_t key) { return key == KEY_OK || key == KEY_SELECT || key == KEY_SOFT_LEFT; }

}  // namespace runner::session_parts
