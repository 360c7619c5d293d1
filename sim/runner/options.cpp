#include "options.hpp"

#include <CLI/CLI.hpp>
#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "calls.hpp"
#include "module.hpp"
#include "platform/resources.h"
#include "script.hpp"

namespace runner {

std::optional<std::uint8_t> parseLanguage(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower == "ru") return LANGUAGE_RUSSIAN;
    if (lower == "en") return LANGUAGE_ENGLISH;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (first == last || ec != std::errc() || end != last || value > 0xFF) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

sim::Result<CallTracing> parseCallTracing(const std::string& value) {
    CallTracing tracing;
    const auto names = sim::call::functionNames();
    const auto matches = [&](const std::string& glob) {
        return std::any_of(names.begin(), names.end(),
                           [&](const char* n) { return ::fnmatch(glob.c_str(), n, 0) == 0; });
    };
    std::size_t from = 0;
    while (from <= value.size() && !value.empty()) {
        const std::size_t comma = std::min(value.find(',', from), value.size());
        const std::string item = value.substr(from, comma - from);
        from = comma + 1;
        if (item.empty()) continue;
        if (item.find_first_of("*?[") != std::string::npos) {
            if (!matches(item)) return sim::failure("--trace-calls: " + item + " matches no platform function");
            tracing.patterns.push_back(item);
        } else if (std::find_if(names.begin(), names.end(), [&](const char* n) { return item == n; }) != names.end()) {
            tracing.patterns.push_back(item);
        } else if (tracing.file) {
            return sim::failure("--trace-calls takes at most one file, not " + tracing.file->string() + " and " + item);
        } else {
            tracing.file = item;
        }
    }
    return tracing;
}

namespace {

// The options a script may give: those that shape what the run does, never where it writes.
bool shapesTheRun(const std::string& name) {
    const std::string option = name.substr(0, name.find('='));
    return option == "--lang" || option == "--app" || option == "--arm" || option == "--module" ||
           option == "--module-sha256" || isFaultOption(option);
}

bool isSha256(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                            [](unsigned char c) { return std::isdigit(c) || (c >= 'a' && c <= 'f'); });
}

}  // namespace

sim::Result<Options, Exit> withScriptOptions(Options commandLine, const std::vector<std::string>& scriptArgs,
                                             const std::filesystem::path& scriptFolder) {
    for (const std::string& arg : scriptArgs)
        if (arg.rfind("--", 0) == 0 && !shapesTheRun(arg))
            return tl::unexpected(Exit{ExitStatus::Refused, "a script's options give only --lang, --app, --arm, --module, --module-sha256 and the faults, not " +
                       arg});
    auto parsed = parseOptions(scriptArgs, "", commandLine.module);
    if (!parsed) return tl::unexpected(Exit{ExitStatus::Refused, parsed.error().text.substr(parsed.error().text.find(' ') + 1)});
    Options& script = *parsed;
    const auto fromScript = [&](const char* name) {
        return !commandLine.given.count(name) && script.given.count(name);
    };
    if (fromScript("--lang")) commandLine.language = script.language;
    if (fromScript("--app")) commandLine.app = script.app;
    const bool moduleFromCommandLine = commandLine.given.count("--module") || commandLine.given.count("--arm");
    if (script.given.count("--module") && !moduleFromCommandLine) {
        const std::filesystem::path module = script.module.is_relative() ? scriptFolder / script.module : script.module;
        std::error_code ec;
        // The module the command line runs anyway (this build's own, say) needs no leave.
        const bool runsAnyway = std::filesystem::equivalent(module, commandLine.module, ec);
        if (!runsAnyway && std::filesystem::is_regular_file(module, ec) && !sim::isPhoneModule(module))
            return tl::unexpected(Exit{ExitStatus::Refused, "the script names " + module.string() +
                                              ", a module built for this computer, whose code would run unguarded "
                                              "as this program: a script loads only the phone's own modules by "
                                              "itself; to run it, give --module " +
                                              module.string() + " on the command line"});
        commandLine.module = module;
    } else if (fromScript("--arm") && !moduleFromCommandLine) {
        commandLine.phoneModule = true;
        commandLine.module = script.module;
    }
    if (fromScript("--module-sha256")) commandLine.moduleSha256 = script.moduleSha256;
    // The faults come as a whole: a command line that gives any replaces the script's.
    const bool commandLineFaults =
        std::any_of(commandLine.given.begin(), commandLine.given.end(), [](auto& name) { return isFaultOption(name); });
    if (!commandLineFaults) commandLine.faults = script.faults;
    if (!commandLine.given.count("--app") && !script.given.count("--app"))
        commandLine.app = defaultAppPath(commandLine.module);
    return commandLine;
}

std::string languageArgument(std::uint8_t id) {
    if (id == LANGUAGE_RUSSIAN) return "ru";
    if (id == LANGUAGE_ENGLISH) return "en";
    return std::to_string(id);
}

std::string localeFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

namespace {

// What the command line gives as text, checked and turned into Options after the parse.
struct Given {
    std::string fsDir, lang, script, screenshot, module, moduleSha256;
    std::optional<std::string> traceCalls;
    std::int64_t callTime = 0;
};

// The phone, the module and the script.
void addRunOptions(CLI::App& cli, Options& options, Given& given, const std::filesystem::path& defaultModule) {
    std::string& fsDir = given.fsDir;
    std::string& lang = given.lang;
    std::string& script = given.script;
    std::string& screenshot = given.screenshot;
    std::string& module = given.module;
    std::string& moduleSha256 = given.moduleSha256;
    cli.add_option("--fs", fsDir, "host folder standing for the phone's root \"/\" (created when missing)")
        ->option_text("DIR (default " + options.fs.string() + ")");
    cli.add_option("--app", options.app, "the module's file on the phone, where its own files lie beside it")
        ->option_text("PATH (default /elf/NAME.elf for the module NAME.so or NAME.elf)");
    cli.add_option("--lang", lang,
                   "language id: ru (0x23), en (0x01) in any case, or a number; default from LC_ALL, LC_MESSAGES, "
                   "LANG")
        ->option_text("LANG");
    cli.add_flag("--headless", options.headless, "run without a window");
    cli.add_option("--script", script, "run the actions in FILE (- for standard input, each line as it arrives)")
        ->option_text("FILE");
    cli.add_option("--screenshot", screenshot, "write the display as PNG when the run ends")->option_text("FILE");
    cli.add_flag("--allow-any-path", options.allowAnyPath,
                 "let a script read and write host files anywhere (shot, expect screen, expect file); without it "
                 "they must lie in the working folder, the script's folder or a folder --fs, --record, "
                 "--screenshot, --gif name");
    cli.add_option("--module", module,
                   "the module to load: one built for this computer (NAME.so) or the phone's own (NAME.elf), with "
                   "its description NAME.desc beside it when there is one (default: " +
                       defaultModule.filename().string() + " beside this program)")
        ->option_text("FILE");
    cli.add_option("--module-sha256", moduleSha256,
                   "the SHA-256 of the module the run was recorded with, as recordings give it: a module that "
                   "differs is said in one line, and the run goes on")
        ->option_text("HEX");
    cli.add_flag(
        "--arm", options.phoneModule,
        "run the phone's own module of this build on the emulated ARM CPU (" + phoneModuleOfThisBuild().string() + ")");
    cli.add_option("--delay", options.delay,
                   "milliseconds between script actions (default " + std::to_string(Defaults::headlessDelay) +
                       " headless, " + std::to_string(Defaults::windowDelay) + " in the window)")
        ->option_text("MS")
        ->check(CLI::Range(0, Defaults::longestWait));
    cli.add_flag("--exit", options.exitAfterScript,
                 "close the window when the script has run and when the application has ended (otherwise the "
                 "window shows the end until Escape)");
}

// What a run writes besides its status: recordings, films, traces, profiles.
void addOutputOptions(CLI::App& cli, Options& options, Given& given) {
    cli.add_option("--record", options.record, "write the session as a script that --script replays")
        ->option_text("FILE");
    cli.add_option("--gif", options.gif, "write every distinct frame of the display as an animated GIF")
        ->option_text("FILE");
    cli.add_flag("--trace", options.trace, "print each delivered event, the state and its handler on standard error");
    cli.add_option("--trace-calls", given.traceCalls,
                   "print each platform call the module makes, with its arguments and result, on standard error or "
                   "into FILE; only the functions named or matched by the globs when given "
                   "(--trace-calls=DL_Fs*,suAllocMem)")
        ->expected(0, 1)
        ->option_text("[=FILE,GLOB,...]");
    cli.add_option("--profile", options.profile,
                   "write the ARM instructions the phone's own module executes, by function and source line with "
                   "the calls between functions, in callgrind's format (callgrind_annotate, KCachegrind)")
        ->option_text("FILE");
    cli.add_option("--coverage", options.coverage,
                   "write the source lines and functions of the phone's own module that ran, with their counts, "
                   "as an lcov tracefile (genhtml makes a report of it); with --suite, one for the whole suite")
        ->option_text("FILE");
    cli.add_option("--gdb", options.gdbPort,
                   "stop the phone's module before its entry and wait for gdb-multiarch on 127.0.0.1:PORT (0: any "
                   "free port, printed)")
        ->option_text("PORT")
        ->check(CLI::Range(0, 65535));
}

// The suite, the explorer and the lockstep.
void addTestingOptions(CLI::App& cli, Options& options) {
    cli.add_option("--suite", options.suite,
                   "run each script of PATH (a file, or every *.txt below a folder, in name order) as a test case "
                   "on a phone folder of its own (below --fs when given), several at a time; one line a case, then "
                   "the count; status 1 when any failed (repeatable)")
        ->option_text("PATH")
        ->allow_extra_args(false)
        ->take_all();
    cli.add_option("--jobs", options.jobs, "the suite's cases that run at once (default: one a core)")
        ->option_text("N")
        ->check(CLI::Range(1, 256));
    cli.add_option("--junit", options.junit, "write the suite's results as JUnit XML, which CI systems read")
        ->option_text("FILE");
    cli.add_option("--explore", options.explore,
                   "run N random sessions of keys, texts, ticks, waits, calls and restarts (some with a fault "
                   "option), each on an empty phone folder, until the module misbehaves or holds memory or files "
                   "when it ends; that session is shrunk and said (status 1)")
        ->option_text("N")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}));
    cli.add_option("--seed", options.seed, "the explorer's seed (default: a new one, printed, to repeat a run)")
        ->option_text("S");
    cli.add_option("--explore-out", options.exploreOut,
                   "write the explorer's shrunk failing session as a script that replays it on an empty folder")
        ->option_text("FILE");
    cli.add_option("--lockstep", options.lockstep,
                   "run the script on the module and on OTHER side by side (the host and phone builds of the same "
                   "sources, say), comparing the screens, the phone folders' files and the states after each line; "
                   "the first difference ends the run with status 1")
        ->option_text("OTHER");
}

// The window, and the limits a module meets.
void addWindowAndLimitOptions(CLI::App& cli, Options& options, Given& given) {
    cli.add_option("--scale", options.scale,
                   "the window's pixels per display pixel (default " + std::to_string(options.scale) + ")")
        ->option_text("N")
        ->check(CLI::Range(1, 16));
    cli.add_option("--keymap", options.keymap, "read the window's key map from FILE (lines of KEY = code)")
        ->option_text("FILE");
    cli.add_option("--budget", options.limits.instructions,
                   "ARM instructions that one call into the phone's module may run before it is stopped as a "
                   "module that never returns (default 200000000)")
        ->option_text("N")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1} << 48));
    given.callTime = options.limits.callTime.count();
    cli.add_option("--time-budget", given.callTime,
                   "milliseconds that one platform call, or one call into a host module, may take before the run "
                   "ends with status 4 (default 10000; 0 for no limit)")
        ->option_text("MS")
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{86'400'000}));
}

// The options as the parse left them, checked and completed from what was given as text.
sim::Result<Options, Exit> checked(Options options, const Given& given, const CLI::App& cli) {
    const std::string& fsDir = given.fsDir;
    const std::string& lang = given.lang;
    std::string moduleSha256 = given.moduleSha256;
    if (!lang.empty()) {
        const auto id = parseLanguage(lang);
        if (!id)
            return tl::unexpected(
                Exit{ExitStatus::Refused, "nuv-oka-sim: --lang takes ru, en or a number from 0 to 255, not \"" + lang + "\""});
        options.language = *id;
    }
    if (fsDir.empty()) return tl::unexpected(Exit{ExitStatus::Refused, "nuv-oka-sim: --fs needs a folder"});
    options.fs = fsDir;
    if (cli.get_option("--app")->count() && options.app.empty())
        return tl::unexpected(Exit{ExitStatus::Refused, "nuv-oka-sim: --app needs a path"});
    if (given.traceCalls) {
        auto tracing = parseCallTracing(*given.traceCalls);
        if (!tracing) return tl::unexpected(Exit{ExitStatus::Refused, "nuv-oka-sim: " + tracing.error().message});
        options.traceCalls = std::move(*tracing);
    }
    if (!given.script.empty()) options.script = given.script;
    if (!given.screenshot.empty()) options.screenshot = given.screenshot;
    if (!given.module.empty() && options.phoneModule)
        return tl::unexpected(Exit{ExitStatus::Refused, "nuv-oka-sim: give --module FILE or --arm, not both"});
    if (!given.module.empty()) options.module = given.module;
    if (options.phoneModule) options.module = phoneModuleOfThisBuild();
    if (!moduleSha256.empty()) {
        std::transform(moduleSha256.begin(), moduleSha256.end(), moduleSha256.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (!isSha256(moduleSha256))
            return tl::unexpected(Exit{ExitStatus::Refused, "nuv-oka-sim: --module-sha256 takes 64 hexadecimal digits"});
        options.moduleSha256 = moduleSha256;
    }
    for (const CLI::Option* option : cli.get_options())
        if (option->count() && !option->get_lnames().empty()) options.given.insert("--" + option->get_lnames()[0]);
    options.limits.callTime = std::chrono::milliseconds(given.callTime);
    // The module's file on the phone follows the module unless --app names it.
    if (!options.given.count("--app")) options.app = defaultAppPath(options.module);
    return options;
}

}  // namespace

sim::Result<Options, Exit> parseOptions(const std::vector<std::string>& args, const std::string& envLang,
                                        const std::filesystem::path& defaultModule, const std::string& moreHelp) {
    Options options;
    if (envLang.rfind("ru", 0) == 0) options.language = LANGUAGE_RUSSIAN;
    options.module = defaultModule;

    CLI::App cli{"nuv-oka-sim: the phone platform simulator, running a native module of the phone (by default " +
                     defaultModule.filename().string() + ")",
                 "nuv-oka-sim"};
    Given given;
    given.fsDir = options.fs.string();
    addRunOptions(cli, options, given, defaultModule);
    addOutputOptions(cli, options, given);
    addTestingOptions(cli, options);
    addWindowAndLimitOptions(cli, options, given);
    addFaultOptions(cli, options.faults);
    cli.footer(scriptHelp() + moreHelp);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        cli.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return tl::unexpected(Exit{ExitStatus::Ran, cli.help()});
    } catch (const CLI::ParseError& e) {
        return tl::unexpected(
            Exit{ExitStatus::Refused, "nuv-oka-sim: " + std::string(e.what()) + "\nRun with --help for the options."});
    }
    return checked(std::move(options), given, cli);
}

}  // namespace runner
