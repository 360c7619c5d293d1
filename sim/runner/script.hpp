#pragma once
#include <cstdint>
#include <iosfwd>
#include <string>
#include <variant>
#include <vector>

#include "phone.hpp"

namespace runner {

struct Press {
    std::uint8_t key;
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
using Action = std::variant<Press, Tick, Text, Back, Shot, ExpectState>;

struct ScriptLine {
    int number;
    std::string text;
    Action action;
};

struct ScriptError {
    std::string message;  // names the line number and the line
};

// Parses a whole script; the first bad line is an error.
std::variant<std::vector<ScriptLine>, ScriptError> parseScript(std::istream& in);

// Key names of the runner and their codes; a decimal code is accepted too.
std::optional<std::uint8_t> parseKey(const std::string& name);
std::u16string utf16FromUtf8(const std::string& text, bool& valid);
// The name of the state the application is in, as scripts name it.
std::string stateName(const sim::Phone& phone);

// Runs parsed actions on a booted phone. Returns the exit status: 0 when the script ran
// to its end, 1 for a failed expectation, 2 for an action that cannot run now, 4 when the
// application faulted.
int runScript(sim::Phone& phone, const std::vector<ScriptLine>& lines, std::ostream& err);

}  // namespace runner
