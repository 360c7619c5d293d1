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
// run once the application has ended; and whether it belongs to a script's start (what comes
// before the application runs). Each action states its own.
struct Rules {
    bool needsEditor = false;
    bool afterTheEnd = false;
    bool startsTheRun = false;
};

// How a script writes an action: its verb (one word, or "expect" and a word), the syntax and the
// line of --help that tell it. An action may have more than one form.
struct ActionForm {
    const char* verb;
    const char* syntax;
    const char* help;  // lines after the first are indented under it
};

// Each action: its rules, its forms, and `parse`, which makes it from what follows the verb
// (`rest`, trimmed) or the whole line; Session has a `run` overload for each. Adding an action
// means its struct here, its `parse` and its `run`; the parser, --help and the documentation's
// table come from the forms.
struct Press {
    static constexpr Rules kRules{};
    static constexpr ActionForm kForms[] = {{"press", "press KEY [N]", "press a key, N times (default once)"}};
    static sim::Result<Press> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::uint8_t key;
    int times = 1;
};
struct Tick {
    static constexpr Rules kRules{};
    static constexpr ActionForm kForms[] = {{"tick", "tick", "event 0x14: a repaint"}};
    static sim::Result<Tick> parse(std::string_view verb, const std::string& rest, const std::string& line);
};
struct Text {
    static constexpr Rules kRules{.needsEditor = true};
    static constexpr ActionForm kForms[] = {
        {"text", "text STRING", "the open editor's text becomes everything after the first blank"}};
    static sim::Result<Text> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::u16string text;
};
struct Back {
    static constexpr Rules kRules{.needsEditor = true};
    static constexpr ActionForm kForms[] = {{"back", "back", "the open editor closes without a change"}};
    static sim::Result<Back> parse(std::string_view verb, const std::string& rest, const std::string& line);
};
struct Shot {
    static constexpr Rules kRules{.afterTheEnd = true};
    static constexpr ActionForm kForms[] = {{"shot", "shot FILE", "write the screen as a PNG"}};
    static sim::Result<Shot> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::string file;
};
struct ExpectState {
    static constexpr Rules kRules{.afterTheEnd = true};
    static constexpr ActionForm kForms[] = {
        {"expect state", "expect state S",
         "the module is in state S: its number, its name in the module's\ndescription (NAME.desc beside it), or ended"}};
    static sim::Result<ExpectState> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::string state;                // as the script names it: a number, a name, or "ended"
    std::optional<std::uint32_t> id;  // when it is a number
};
struct ExpectScreen {
    static constexpr Rules kRules{.afterTheEnd = true};
    static constexpr ActionForm kForms[] = {
        {"expect screen", "expect screen FILE", "the screen equals the PNG in FILE pixel for pixel"}};
    static sim::Result<ExpectScreen> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::string file;  // a PNG of the whole screen
};
struct ExpectFile {
    static constexpr Rules kRules{.afterTheEnd = true};
    static constexpr ActionForm kForms[] = {
        {"expect file", "expect file PHONE HOST", "the phone's file holds exactly the bytes of the host file"}};
    static sim::Result<ExpectFile> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::string phonePath;  // UTF-8, as the script gives it
    std::string hostFile;
};
// What the module may take at most: its heap, its open files, or the phone's ARM instructions for
// the action before (the phone's cost of it).
struct ExpectBudget {
    static constexpr Rules kRules{.afterTheEnd = true};
    static constexpr ActionForm kForms[] = {
        {"expect heap", "expect heap BYTES", "the module holds at most BYTES of heap"},
        {"expect open-files", "expect open-files N", "the module holds at most N files open"},
        {"expect instructions", "expect instructions N",
         "the phone's module ran at most N ARM instructions for the action\nbefore, or its start before any (the "
         "module on the emulated CPU)"}};
    static sim::Result<ExpectBudget> parse(std::string_view verb, const std::string& rest, const std::string& line);
    enum class Measure { Heap, OpenFiles, Instructions };
    Measure measure;
    std::uint64_t most;
};
struct Restart {
    static constexpr Rules kRules{.afterTheEnd = true};
    static constexpr ActionForm kForms[] = {
        {"restart", "restart [ru|en|N]", "unload and load the application again, in a language"}};
    static sim::Result<Restart> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::optional<std::uint8_t> language;  // none: the language it had
};
// An incoming call takes the screen and the keys from the application; `resume` declines it.
struct Interrupt {
    static constexpr Rules kRules{};
    static constexpr ActionForm kForms[] = {
        {"interrupt", "interrupt",
         "an incoming call: the platform takes the UI token (0x1F) and shows\nits call screen, which takes the keys "
         "(end declines the call)"}};
    static sim::Result<Interrupt> parse(std::string_view verb, const std::string& rest, const std::string& line);
};
struct Resume {
    static constexpr Rules kRules{};
    static constexpr ActionForm kForms[] = {
        {"resume", "resume", "the call is declined: the token comes back (0x1E), then 0x14"}};
    static sim::Result<Resume> parse(std::string_view verb, const std::string& rest, const std::string& line);
};
// Time passes on the phone: at once headless, in real time in the window.
struct Wait {
    static constexpr Rules kRules{.afterTheEnd = true};
    static constexpr ActionForm kForms[] = {
        {"wait", "wait MS", "MS milliseconds pass: at once headless, in real time in the window"}};
    static sim::Result<Wait> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::chrono::milliseconds time;
};
// The options that shape the run (language, application path, module, faults), as a recording
// gives them: only among a script file's first lines, before the application starts.
struct SetOptions {
    static constexpr Rules kRules{.afterTheEnd = true, .startsTheRun = true};
    static constexpr ActionForm kForms[] = {
        {"options", "options ARGS",
         "the options that shape the run (--lang, --app, --arm, --module,\n--module-sha256, the faults), from a "
         "script file's first lines; the\ncommand line's own take precedence"}};
    static sim::Result<SetOptions> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::vector<std::string> args;
};
// A phone file gets these bytes (base64 in the script). Among a script file's first lines it is
// there before the application starts.
struct Put {
    static constexpr Rules kRules{.afterTheEnd = true, .startsTheRun = true};
    static constexpr ActionForm kForms[] = {
        {"put", "put PHONE [BASE64]",
         "the phone's file gets these bytes; among a script file's first lines\nbefore the application starts"}};
    static sim::Result<Put> parse(std::string_view verb, const std::string& rest, const std::string& line);
    std::string phonePath;  // UTF-8, as the script gives it
    std::string bytes;
};
// In the order --help lists them.
using Action = std::variant<Press, Text, Back, Tick, Restart, Interrupt, Resume, Shot, ExpectState, ExpectScreen,
                            ExpectFile, ExpectBudget, Wait, SetOptions, Put>;

// Every form of every action, in that order.
std::vector<ActionForm> actionForms();

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

// Text a message echoes, safe to print: at most `most` bytes of it (cut at a character's start,
// "..." and its full length said after), each control byte as \xNN.
std::string excerpt(std::string_view text, std::size_t most = 60);

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
