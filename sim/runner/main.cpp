// nuv-oka-sim: runs the application in the simulated phone, in a window or headless, by hand
// or from a script.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include <fstream>
#include <iostream>

#include "options.hpp"
#include "png.hpp"
#include "session.hpp"
#include "window.hpp"

namespace {

std::filesystem::path moduleBesideThisProgram() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::current_path() : self.parent_path()) / "nuv-oka.so";
}

// Standard input's next line (the last may lack its line feed); none at its end. While no
// line is there, the debugger is served.
std::optional<std::string> nextLine(runner::Session& session, std::string& pending, runner::Stop& stop) {
    for (;;) {
        if (const auto end = pending.find('\n'); end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {session.debuggerSocket(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 && errno != EINTR) return std::nullopt;
        if (watched[1].revents && (stop = session.serveDebugger())) return std::nullopt;
        if (!watched[0].revents) continue;
        char bytes[4096];
        const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (pending.empty()) return std::nullopt;
            return std::exchange(pending, {});
        }
        pending.append(bytes, static_cast<std::size_t>(got));
    }
}

// The headless front end: the script's lines one after the other, standard input's as they
// arrive. No real time is spent between them.
int runHeadless(runner::Session& session, const std::optional<std::vector<runner::ScriptLine>>& lines,
                bool fromStandardInput, const std::string& source) {
    if (lines)
        for (const auto& line : *lines)
            if (runner::Stop stop = session.perform(line, source)) return *stop;
    if (!fromStandardInput) return 0;
    std::string pending;
    runner::Stop stop;
    for (int number = 1;; ++number) {
        const auto raw = nextLine(session, pending, stop);
        if (!raw) return stop.value_or(0);
        auto parsed = runner::parseLine(*raw, number);
        if (auto* error = std::get_if<runner::ScriptError>(&parsed)) {
            std::cerr << "nuv-oka-sim: " << source << ": " << error->message << std::endl;
            return 2;
        }
        if (auto* line = std::get_if<runner::ScriptLine>(&parsed))
            if (runner::Stop result = session.perform(*line, source)) return *result;
        std::cout.flush();
    }
}

std::optional<window::KeyMap> readKeyMap(const std::optional<std::filesystem::path>& file) {
    if (!file) return window::KeyMap::defaults();
    std::ifstream in(*file);
    if (!in || std::filesystem::is_directory(*file)) {
        std::cerr << "nuv-oka-sim: cannot read the key map " << file->string() << "\n";
        return std::nullopt;
    }
    auto map = window::KeyMap::read(in, file->string());
    if (auto* error = std::get_if<std::string>(&map)) {
        std::cerr << "nuv-oka-sim: " << *error << "\n";
        return std::nullopt;
    }
    return std::get<window::KeyMap>(std::move(map));
}

}  // namespace

int main(int argc, char** argv) {
    auto parsed = runner::parseOptions(std::vector<std::string>(argv + 1, argv + argc), runner::localeFromEnvironment(),
                                       moduleBesideThisProgram(), window::keyMapHelp());
    if (auto* exit = std::get_if<runner::Exit>(&parsed)) {
        (exit->status == 0 ? std::cout : std::cerr) << exit->text << "\n";
        return exit->status;
    }
    const runner::Options& options = std::get<runner::Options>(parsed);

    std::optional<std::vector<runner::ScriptLine>> lines;
    const bool fromStandardInput = options.script == "-";
    const std::string source = fromStandardInput ? runner::kStandardInput : options.script.value_or("");
    if (options.script && !fromStandardInput) {
        auto loaded = runner::loadScript(*options.script);
        if (auto* error = std::get_if<std::string>(&loaded)) {
            std::cerr << "nuv-oka-sim: " << *error << "\n";
            return 2;
        }
        lines = std::get<std::vector<runner::ScriptLine>>(std::move(loaded));
    }

    std::unique_ptr<window::Window> window;
    if (!options.headless) {
        const auto keys = readKeyMap(options.keymap);
        if (!keys) return 2;
        std::string error;
        window =
            window::Window::open({options.scale, options.delay.value_or(150), options.exitAfterScript, *keys}, error);
        if (!window) std::cerr << "nuv-oka-sim: no window can be opened (" << error << "); running headless\n";
    }

    runner::SessionConfig config;
    config.fs = options.fs, config.module = options.module, config.app = options.app;
    config.language = options.language, config.trace = options.trace, config.traceCalls = options.traceCalls,
        config.limits = options.limits;
    config.record = options.record, config.gif = options.gif, config.profile = options.profile;
    config.gdbPort = options.gdbPort;
    // The GIF's frames last as long as they were shown in the window, and --delay each headless.
    const auto started = std::chrono::steady_clock::now();
    if (window)
        config.clock = [started] {
            return std::chrono::duration_cast<runner::Milliseconds>(std::chrono::steady_clock::now() - started);
        };
    config.frameLength = runner::Milliseconds(options.delay.value_or(0));
    // The faults count calls from the first load of the module: a restart runs without them.
    config.prepare = [&options, armed = false](sim::Phone& phone) mutable {
        if (!std::exchange(armed, true)) runner::applyFaults(phone, options.faults);
    };
    runner::Session session(std::move(config), std::cout, std::cerr);
    // The window stays alive while the debugger holds the module; headless runs simply wait.
    if (window) session.whilePaused([&](std::string_view why) { return window->hold(session, why); });

    const runner::Stop stopped = session.start();
    int status = stopped.value_or(0);
    if (!stopped)
        status = window ? window->run(session, {lines, source, fromStandardInput})
                        : runHeadless(session, lines, fromStandardInput, source);
    window.reset();
    if (status != 2 && options.screenshot) {
        std::string error;
        if (!sim::writePng(session.screen(), *options.screenshot, error)) {
            std::cerr << "nuv-oka-sim: " << error << "\n";
            status = 2;
        }
    }
    return session.finish(status);
}
