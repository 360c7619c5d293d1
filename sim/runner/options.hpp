#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "faults.hpp"
#include "platform/resources.h"

namespace runner {

// --trace-calls: the platform calls to trace (all when no pattern is given) and where to.
struct CallTracing {
    std::vector<std::string> patterns;
    std::optional<std::filesystem::path> file;  // standard error when none
};

// Reads the value of --trace-calls: comma-separated globs or names of platform functions, and
// at most one file name (a file named like a function is given with a folder, ./DL_FsOpenFile).
std::variant<CallTracing, std::string> parseCallTracing(const std::string& value);

struct Options {
    std::filesystem::path fs = "phone";
    std::string app = "/elf/nuv-oka.elf";
    std::uint8_t language = LANGUAGE_ENGLISH;
    bool headless = false;
    std::optional<std::string> script;  // a file, or "-" for standard input
    std::optional<std::filesystem::path> screenshot;
    std::filesystem::path module;
    FaultOptions faults;
    sim::Limits limits;  // --budget, --time-budget

    // The session.
    std::optional<int> delay;  // milliseconds between script actions; default by front end
    bool exitAfterScript = false;
    std::optional<std::filesystem::path> record;
    std::optional<std::filesystem::path> gif;
    bool trace = false;
    std::optional<CallTracing> traceCalls;
    std::optional<std::filesystem::path> profile;
    // Waits for GDB on this port of 127.0.0.1 (0: any free port) before the module's entry runs.
    std::optional<std::uint16_t> gdbPort;

    // The window.
    int scale = 3;
    std::optional<std::filesystem::path> keymap;
};

// What to do instead of running: print the text and exit with the status.
struct Exit {
    int status;
    std::string text;
};

// Parses the command line. `envLang` is the locale the environment names (LC_ALL, else
// LC_MESSAGES, else LANG; may be empty); `defaultModule` is where the application module lies
// unless --module says otherwise; `moreHelp` ends the text of --help.
std::variant<Options, Exit> parseOptions(const std::vector<std::string>& args, const std::string& envLang,
                                         const std::filesystem::path& defaultModule, const std::string& moreHelp = {});

// The locale that decides the language: the first of LC_ALL, LC_MESSAGES and LANG that is set.
std::string localeFromEnvironment();

// "ru", "en" in any case, a decimal or a 0x-hex number from 0 to 255.
std::optional<std::uint8_t> parseLanguage(const std::string& text);

}  // namespace runner
