#pragma once
// The script language of the simulator: one action a line, parsed here and run by a Session
// (session.hpp), whichever front end reads the lines.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "phone.hpp"
#include "utf.hpp"

namespace runner {

struct Press {
    std::uint8_t key;
    int times = 1;
};
struct Tick {};
struct Text {
    std::u16string text;
};
struct Back {};
struct Shot {
    std::string file;
};
struct ExpectState {
    std::string state;  // init, main, edit or ended
};
struct ExpectScreen {
    std::string file;  // a PNG of the whole screen
};
struct ExpectFile {
    std::string phonePath;  // UTF-8, as the script gives it
    std::string hostFile;
};
struct Restart {
    std::optional<std::uint8_t> language;  // none: the language it had
};
using Action = std::variant<Press, Tick, Text, Back, Shot, ExpectState, ExpectScreen, ExpectFile, Restart>;

struct ScriptLine {
    int number;
    std::string text;
    Action action;
};

struct ScriptError {
    std::string message;  // names the line number and the line
};

// One line of a script: an action, nothing for an empty line or a comment, or what is wrong.
std::variant<std::monostate, ScriptLine, ScriptError> parseLine(const std::string& raw, int number);
// Parses a whole script; the first bad line is an error.
std::variant<std::vector<ScriptLine>, ScriptError> parseScript(std::istream& in);

// The phone's keys as scripts name them; a decimal code is accepted too.
struct KeyName {
    const char* name;
    std::uint8_t code;
};
std::span<const KeyName> keyNames();
std::optional<std::uint8_t> parseKey(const std::string& name);
// The name a script gives a key: its name, or its decimal code.
std::string keyName(std::uint8_t code);

using sim::utf16FromUtf8;
using sim::utf8FromUtf16;
// The name of the state the application is in, as scripts name it.
std::string stateName(const sim::Phone& phone);
std::string stateName(std::uint32_t id);

// The actions, key names and exit statuses, as --help lists them.
std::string scriptHelp();

}  // namespace runner
