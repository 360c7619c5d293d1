// nuv-oka-sim: runs the application in the simulated phone, in a window or headless, by hand
// or from a script.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fstream>
#include <sstream>
#include <iostream>

#include "options.hpp"
#include "png.hpp"
#include "module_defaults.hpp"
#include "script_file.hpp"
#include "session.hpp"
#include "explorer.hpp"
#include "line_splitter.hpp"
#include "lockstep.hpp"
#include "suite.hpp"
#include "window.hpp"

namespace {

// Standard input's next line (the last may lack its line feed); none at its end. While no
// line is there, the debugger is served.
std::optional<std::string> nextLine(runner::Session& session, runner::LineSplitter& input, runner::Ending& stop) {
    for (;;) {
        if (auto line = input.next()) return line;
        pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {session.debuggerSocket(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 && errno != EINTR) return std::nullopt;
        if (watched[1].revents && (stop = session.serveDebugger())) return std::nullopt;
        if (!watched[0].revents) continue;
        char bytes[4096];
        const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return input.rest();
        input.add(std::string_view(bytes, static_cast<std::size_t>(got)));
    }
}

// The headless front end: the script's lines one after the other, standard input's as they
// arrive. No real time is spent between them.
runner::ExitStatus runHeadless(runner::Session& session, runner::ScriptFile* file, bool fromStandardInput,
                               const std::string& source) {
    while (file) {
        auto line = file->next();
        if (!line) return *session.refuse(line.error().message);
        if (!*line) break;
        if (runner::Ending stop = session.perform(**line, source)) return *stop;
    }
    if (!fromStandardInput) return runner::ExitStatus::Ran;
    runner::LineSplitter input;
    runner::Ending stop;
    for (int number = 1;; ++number) {
        const auto raw = nextLine(session, input, stop);
        if (!raw) return stop.value_or(runner::ExitStatus::Ran);
        if (runner::Ending result = session.performPiped(*raw, number, source)) return *result;
    }
}

sim::Result<window::KeyMap> readKeyMap(const std::optional<std::filesystem::path>& file) {
    if (!file) return window::KeyMap::defaults();
    std::error_code ec;
    if (std::filesystem::is_directory(*file, ec))
        return sim::failure("cannot read the key map " + file->string() + ": it is a folder");
    std::ifstream in(*file);
    if (!in) return sim::failure("cannot read the key map " + file->string() + ": " + std::strerror(errno));
    // The command line may name a pipe (/dev/stdin); whatever it is, at most a mebibyte is read.
    constexpr std::size_t kMost = std::size_t{1} << 20;
    std::string bytes(kMost + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMost) return sim::failure("cannot read the key map " + file->string() + ": over 1 MiB");
    std::istringstream lines(bytes);
    return window::KeyMap::read(lines, file->string());
}

// What a run is given to do: its script file, read as it runs, and its starting files, taken out
// of the script's first lines; or the lines of standard input as they arrive.
struct Work {
    std::optional<runner::ScriptFile> file;
    std::vector<runner::Put> startFiles;
    bool fromStandardInput = false;
    std::string source;
};

// Reads the script file that the options name and lets its first lines shape the run.
runner::Ending takeScript(runner::Options& options, Work& work) {
    work.fromStandardInput = options.script == "-";
    work.source = work.fromStandardInput ? runner::kStandardInput : options.script.value_or("");
    if (!options.script || work.fromStandardInput) return std::nullopt;
    auto opened = runner::ScriptFile::open(*options.script);
    if (!opened) {
        std::cerr << "nuv-oka-sim: " << opened.error().message << "\n";
        return runner::ExitStatus::Refused;
    }
    work.file = std::move(*opened);
    const std::filesystem::path scriptFolder = std::filesystem::path(*options.script).parent_path();
    auto shaped = runner::takeScriptStart(work.file->start(), std::move(options), work.startFiles, scriptFolder);
    if (!shaped) {
        std::cerr << "nuv-oka-sim: " << work.source << ": " << shaped.error().message << "\n";
        return runner::ExitStatus::Refused;
    }
    options = std::move(*shaped);
    return std::nullopt;
}

// The window, or none headless: with --headless, or when none can be opened (which is said).
// The key map is checked in every run, so that one written for the window fails headless too.
sim::Result<std::unique_ptr<window::Window>> openWindow(const runner::Options& options) {
    const auto keys = readKeyMap(options.keymap);
    if (!keys) return sim::failure(keys.error().message);
    if (options.headless) return std::unique_ptr<window::Window>();
    auto opened = window::Window::open(
        {options.scale, options.delay.value_or(runner::Defaults::windowDelay), options.exitAfterScript, *keys});
    if (opened) return std::move(*opened);
    std::cerr << "nuv-oka-sim: no window can be opened: " << opened.error().message << "; running headless\n";
    return std::unique_ptr<window::Window>();
}

runner::SessionConfig sessionConfig(const runner::Options& options, Work& work, bool realTime) {
    runner::SessionConfig config(options);
    // In the window time is real: the GIF's frames last as long as they were shown.
    const auto started = std::chrono::steady_clock::now();
    if (realTime)
        config.clock = [started] {
            return std::chrono::duration_cast<runner::Milliseconds>(std::chrono::steady_clock::now() - started);
        };
    config.startFiles = std::move(work.startFiles);
    if (work.file) config.scriptFolder = std::filesystem::path(*options.script).parent_path();
    return config;
}

// One session in the window or headless, from its start to its end.
runner::ExitStatus runSession(const runner::Options& options, Work& work) {
    if (options.screenshot) {
        if (const auto folder = sim::folderFor(*options.screenshot); !folder) {
            std::cerr << "nuv-oka-sim: --screenshot: " << folder.error().message << "\n";
            return runner::ExitStatus::Refused;
        }
    }
    auto window = openWindow(options);
    if (!window) {
        std::cerr << "nuv-oka-sim: " << window.error().message << "\n";
        return runner::ExitStatus::Refused;
    }
    runner::Session session(sessionConfig(options, work, *window != nullptr), std::cout, std::cerr);
    // The window stays alive while the debugger holds the module; headless runs simply wait.
    if (*window) session.whilePaused([&](std::string_view why) { return (*window)->hold(session, why); });

    const runner::Ending stopped = session.start();
    runner::ExitStatus status = stopped.value_or(runner::ExitStatus::Ran);
    runner::ScriptFile* script = work.file ? &*work.file : nullptr;
    if (!stopped)
        status = *window ? (*window)->run(session, {script, work.source, work.fromStandardInput})
                         : runHeadless(session, script, work.fromStandardInput, work.source);
    window->reset();
    if (status == runner::ExitStatus::Ran) status = session.pipedStatus();
    if (status != runner::ExitStatus::Refused && options.screenshot) {
        if (const auto written = sim::writePng(session.screen(), *options.screenshot); !written) {
            std::cerr << "nuv-oka-sim: " << written.error().message << "\n";
            status = runner::ExitStatus::Refused;
        }
    }
    return session.finish(status);
}

runner::ExitStatus run(int argc, char** argv) {
    const auto parsed =
        runner::parseOptions(std::vector<std::string>(argv + 1, argv + argc), runner::localeFromEnvironment(),
                             runner::moduleBesideThisProgram(), window::keyMapHelp());
    if (!parsed) {
        (parsed.error().status == runner::ExitStatus::Ran ? std::cout : std::cerr) << parsed.error().text << "\n";
        return parsed.error().status;
    }
    runner::Options options = *parsed;
    if (!options.suite.empty()) return runner::runSuiteCommand(options, std::cout, std::cerr);
    if (options.lockstep) return runner::runLockstep(options, std::cout, std::cerr);
    if (options.explore) return runner::runExplorer(options, std::cout, std::cerr);
    Work work;
    if (const runner::Ending refused = takeScript(options, work)) return *refused;
    return runSession(options, work);
}

}  // namespace

int main(int argc, char** argv) { return sim::exitCode(run(argc, argv)); }
