#pragma once
// The phone in a desktop window: a thin front end over a runner::Session that shows the
// display in a drawn phone body and turns the keyboard and the mouse into the phone's keys.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "keymap.hpp"
#include "result.hpp"
#include "script_file.hpp"
#include "session.hpp"

namespace window {

struct WindowOptions {
    int scale;
    int delay;  // milliseconds between script actions
    bool exitAfterScript;
    KeyMap keys;
};

// Where the window's script comes from: a file read before, standard input as it arrives, or
// none.
struct WindowScript {
    runner::ScriptFile* file = nullptr;  // the caller's, read as it runs
    std::string source;
    bool fromStandardInput = false;
};

class Window {
public:
    // Opens the window; an error when there is no display to open it on.
    static sim::Result<std::unique_ptr<Window>> open(const WindowOptions& options);
    struct Parts;
    explicit Window(std::unique_ptr<Parts> parts);
    ~Window();

    // Runs until the window is closed, the application ends after the script, or a script
    // with --exit ends. Returns the exit status.
    sim::ExitStatus run(runner::Session& session, WindowScript script);

    // While the debugger holds the module: the window is drawn with `why` over the display, and
    // keys, clicks and typing are held until the module runs again. False when the window was
    // closed.
    bool hold(runner::Session& session, std::string_view why);

private:
    std::unique_ptr<Parts> parts_;
};

}  // namespace window
