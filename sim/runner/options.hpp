#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "exit_status.hpp"
#include "faults.hpp"
#include "module_defaults.hpp"
#include "resources.hpp"
#include "result.hpp"

namespace runner {

using sim::ExitStatus;

// The command line's defaults, which --help shows too; the module's own (its file's path on the
// phone) follow from the module (module_defaults.hpp).
struct Defaults {
    static constexpr const char* fs = "phone";
    static constexpr int scale = 3;
    // Milliseconds between script actions: none headless, where no time is spent, and enough in
    // the window to follow them.
    static constexpr int headlessDelay = 0;
    static constexpr int windowDelay = 150;
    // The longest time, in milliseconds, that --delay and a script's wait take.
    static constexpr int longestWait = 600000;
};

// --trace-calls: the platform calls to trace (all when no pattern is given) and where to.
struct CallTracing {
    std::vector<std::string> patterns;
    std::optional<std::filesystem::path> file;  // standard error when none
};

// Reads the value of --trace-calls: comma-separated globs or names of platform functions, and
// at most one file name (a file named like a function is given with a folder, ./DL_FsOpenFile).
sim::Result<CallTracing> parseCallTracing(const std::string& value);

struct Options {
    std::filesystem::path fs = Defaults::fs;
    std::string app;  // the module's file on the phone: --app, or /elf/NAME.elf after the module

    std::uint8_t language = sim::kDefaultLanguage;
    bool headless = false;
    std::optional<std::string> script;  // a file, or "-" for standard input
    std::optional<std::filesystem::path> screenshot;
    // A script may name any host path, not only those inside the working folder, its own folder
    // and the folders the command line names.
    bool allowAnyPath = false;
    std::filesystem::path module;
    bool phoneModule = false;  // --arm: the phone's own module of this build
    // The module's SHA-256 that the run was recorded with (lower-case hex): a module that differs
    // is said, and the run goes on.
    std::optional<std::string> moduleSha256;
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
    std::optional<std::filesystem::path> coverage;
    // Waits for GDB on this port of 127.0.0.1 (0: any free port) before the module's entry runs.
    std::optional<std::uint16_t> gdbPort;

    // A suite: every script of these files and folders a test case of its own, `jobs` at a time,
    // with a JUnit report when asked.
    std::vector<std::filesystem::path> suite;
    int jobs = 0;  // 0: one a core
    std::optional<std::filesystem::path> junit;

    // Random sessions to explore the module with, from a seed, and where a failure's script goes.
    std::size_t explore = 0;
    std::optional<std::uint64_t> seed;
    std::optional<std::filesystem::path> exploreOut;

    // Another module that runs the script side by side with --module's, compared after each line.
    std::optional<std::filesystem::path> lockstep;

    // The window.
    int scale = Defaults::scale;
    std::optional<std::filesystem::path> keymap;

    // The options the command line gave, by their long names ("--lang").
    std::set<std::string> given;
};

// What to do instead of running: print the text and exit with the status (Ran for --help).
struct Exit {
    ExitStatus status;
    std::string text;
};

// The phone folder the command line names, none when it gives no --fs.
inline std::optional<std::filesystem::path> namedFs(const Options& options) {
    return options.given.count("--fs") ? std::optional(options.fs) : std::nullopt;
}

// Parses the command line. `envLang` is the locale the environment names (LC_ALL, else
// LC_MESSAGES, else LANG; may be empty); `defaultModule` is where the application module lies
// unless --module says otherwise; `moreHelp` ends the text of --help.
sim::Result<Options, Exit> parseOptions(const std::vector<std::string>& args, const std::string& envLang,
                                        const std::filesystem::path& defaultModule, const std::string& moreHelp = {});

// The options a script's `options` line gives (those that shape the run: --lang, --app, --arm,
// --module, --module-sha256 and the faults) added to those of the command line, whose own take
// precedence. A relative --module is relative to `scriptFolder`; a script may load the phone's own
// module, which runs contained on the emulated CPU, but not one built for this computer, whose
// code would run unguarded as this program: that one the command line's --module must name.
sim::Result<Options, Exit> withScriptOptions(Options commandLine, const std::vector<std::string>& scriptArgs,
                                             const std::filesystem::path& scriptFolder = {});

// A language id as --lang takes it: ru, en or its number.
std::string languageArgument(std::uint8_t id);

// The locale that decides the language: the first of LC_ALL, LC_MESSAGES and LANG that is set.
std::string localeFromEnvironment();

// "ru", "en" in any case, a decimal or a 0x-hex number from 0 to 255.
std::optional<std::uint8_t> parseLanguage(const std::string& text);

}  // namespace runner
