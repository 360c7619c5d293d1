#pragma once
// The script language of the simulator: one action a line, parsed here and run by a Session
// (session.hpp), whichever front end reads the lines.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "description.hpp"
#include "phone.hpp"
#include "result.hpp"
#include "utf.hpp"

namespace runner {

// What an action asks of the run before it runs: an open character editor, and whether it may
// run once the application has ended. Each action states its own.
struct Rules {
    bool needsEditor = false;
    bool afterTheEnd = false;
};

struct Press {
    static constexpr Rules kRules{};
    std::uint8_t key;
    int times = 1;
};
struct Tick {
    static constexpr Rules kRules{};
};
struct Text {
    static constexpr Rules kRules{.needsEditor = true};
    std::u16string text;
};
struct Back {
    static constexpr Rules kRules{.needsEditor = true};
};
struct Shot {
    static constexpr Rules kRules{.afterTheEnd = true};
    std::string file;
};
struct ExpectState {
    static constexpr Rules kRules{.afterTheEnd = true};
    std::string state;                // as the script names it: a number, a name, or "ended"
    std::optional<std::uint32_t> id;  // when it is a number
};
struct ExpectScreen {
    static constexpr Rules kRules{.afterTheEnd = true};
    std::string file;  // a PNG of the whole screen
};
struct ExpectFile {
    static constexpr Rules kRules{.afterTheEnd = true};
    std::string phonePath;  // UTF-8, as the script gives it
    std::string hostFile;
};
// What the module may take at most: its heap, its open files, or the phone's ARM instructions for
// the action before (the phone's cost of it).
struct ExpectBudget {
    static constexpr Rules kRules{.afterTheEnd = true};
    enum class Measure { Heap, OpenFiles, Instructions };
    Measure measure;
    std::uint64_t most;
};
struct Restart {
    static constexpr Rules kRules{.afterTheEnd = true};
    std::optional<std::uint8_t> language;  // none: the language it had
};
// Time passes on the phone: at once headless, in real time in the window.
struct Wait {
    static constexpr Rules kRules{.afterTheEnd = true};
    std::chrono::milliseconds time;
};
// An incoming call takes the screen and the keys from the application; `resume` declines it.
struct Interrupt {
    static constexpr Rules kRules{};
};
struct Resume {
    static constexpr Rules kRules{};
};
// The options that shape the run (language, application path, module kind, faults), as a
// recording gives them: only among a script file's first lines, before the application starts.
struct SetOptions {
    static constexpr Rules kRules{.afterTheEnd = true};
    std::vector<std::string> args;
};
// A phone file gets these bytes (base64 in the script). Among a script file's first lines it is
// there before the application starts.
struct Put {
    static constexpr Rules kRules{.afterTheEnd = true};
    std::string phonePath;  // UTF-8, as the script gives it
    std::string bytes;
};
using Action = std::variant<Press, Tick, Text, Back, Shot, ExpectState, ExpectScreen, ExpectFile, ExpectBudget, Restart,
                            Wait, Interrupt, Resume, SetOptions, Put>;

// Whether an action belongs to a script's start: what comes before the application runs.
bool startsTheRun(const Action& action);

struct ScriptLine {
    int number;
    std::string text;
    Action action;
};

// Whether a line is empty, blank or a comment: no action.
bool skipped(const std::string& raw);
// One line of a script: an action, nothing for an empty line or a comment, or what is wrong
// (the message names the line number and the line).
sim::Result<std::optional<ScriptLine>> parseLine(const std::string& raw, int number);
// Parses a whole script; the first bad line is an error.
sim::Result<std::vector<ScriptLine>> parseScript(std::istream& in);

// The phone's keys as scripts name them; a decimal code is accepted too.
struct KeyName {
    const char* name;
    std::uint8_t code;
};
std::span<const KeyName> keyNames();
std::optional<std::uint8_t> parseKey(const std::string& name);
// The name a script gives a key: its name, or its decimal code.
std::string keyName(std::uint8_t code);

// Bytes as base64 text and back; none for text that is not base64.
std::string base64(std::string_view bytes);
std::optional<std::string> fromBase64(std::string_view text);

// The text without the blanks (spaces, tabs, carriage returns) at either end.
std::string trim(std::string_view text);

using sim::utf16FromUtf8;
using sim::utf8FromUtf16;
// The state the module is in, as scripts name it: its name in the module's description, else
// its number; "ended" once it has ended.
std::string stateName(const sim::Phone& phone, const ModuleDescription& description);
std::string stateName(std::uint32_t id, const ModuleDescription& description);

// The actions, key names and exit statuses, as --help lists them.
std::string scriptHelp();

}  // namespace runner
