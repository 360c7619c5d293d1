#include "options.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

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

std::string localeFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

sim::Result<Options, Exit> parseOptions(const std::vector<std::string>& args, const std::string& envLang,
                                        const std::filesystem::path& defaultModule, const std::string& moreHelp) {
    Options options;
    if (envLang.rfind("ru", 0) == 0) options.language = LANGUAGE_RUSSIAN;
    options.module = defaultModule;

    const std::string appName = application().name;
    CLI::App cli{"nuv-oka-sim: the phone platform simulator running the " + appName + " application", "nuv-oka-sim"};
    std::string fsDir = options.fs.string(), lang, script, screenshot, module;
    cli.add_option("--fs", fsDir, "host folder standing for the phone's root \"/\" (created when missing)")
        ->option_text("DIR (default " + options.fs.string() + ")");
    cli.add_option("--app", options.app, "the application file's path on the phone")
        ->option_text("PATH (default " + options.app + ")");
    cli.add_option("--lang", lang,
                   "language id: ru (0x23), en (0x01) in any case, or a number; default from LC_ALL, LC_MESSAGES, "
                   "LANG")
        ->option_text("LANG");
    cli.add_flag("--headless", options.headless, "run without a window");
    cli.add_option("--script", script, "run the actions in FILE (- for standard input, each line as it arrives)")
        ->option_text("FILE");
    cli.add_option("--screenshot", screenshot, "write the display as PNG when the run ends")->option_text("FILE");
    cli.add_option("--module", module, "the application module to load (default: beside this program)")
        ->option_text("FILE");
    cli.add_option("--delay", options.delay,
                   "milliseconds between script actions (default " + std::to_string(Defaults::headlessDelay) +
                       " headless, " + std::to_string(Defaults::windowDelay) + " in the window)")
        ->option_text("MS")
        ->check(CLI::Range(0, Defaults::longestWait));
    cli.add_flag("--exit", options.exitAfterScript, "close the window when the script has run");
    cli.add_option("--record", options.record, "write the session as a script that --script replays")
        ->option_text("FILE");
    cli.add_option("--gif", options.gif, "write every distinct frame of the display as an animated GIF")
        ->option_text("FILE");
    cli.add_flag("--trace", options.trace, "print each delivered event, the state and its handler on standard error");
    cli.add_option("--scale", options.scale,
                   "the window's pixels per display pixel (default " + std::to_string(options.scale) + ")")
        ->option_text("N")
        ->check(CLI::Range(1, 16));
    cli.add_option("--keymap", options.keymap, "read the window's key map from FILE (lines of KEY = code)")
        ->option_text("FILE");
    addFaultOptions(cli, options.faults);
    cli.footer(scriptHelp() + moreHelp);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        cli.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return tl::unexpected(Exit{0, cli.help()});
    } catch (const CLI::ParseError& e) {
        return tl::unexpected(Exit{2, "nuv-oka-sim: " + std::string(e.what()) + "\nRun with --help for the options."});
    }
    if (!lang.empty()) {
        const auto id = parseLanguage(lang);
        if (!id)
            return tl::unexpected(
                Exit{2, "nuv-oka-sim: --lang takes ru, en or a number from 0 to 255, not \"" + lang + "\""});
        options.language = *id;
    }
    if (fsDir.empty()) return tl::unexpected(Exit{2, "nuv-oka-sim: --fs needs a folder"});
    options.fs = fsDir;
    if (options.app.empty()) return tl::unexpected(Exit{2, "nuv-oka-sim: --app needs a path"});
    if (!script.empty()) options.script = script;
    if (!screenshot.empty()) options.screenshot = screenshot;
    if (!module.empty()) options.module = module;
    return options;
}

}  // namespace runner
