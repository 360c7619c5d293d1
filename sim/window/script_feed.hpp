#pragma once
// The window's script: the lines of a file read before the run, or of standard input as they
// arrive, run one at a time when the window's loop asks for the next.
#include <cstdint>
#include <memory>

#include "window.hpp"

namespace window {

class LineReader;

class ScriptFeed {
public:
    // Each line that arrives on standard input wakes the window's loop with the event `wake`.
    ScriptFeed(WindowScript script, std::uint32_t wake);
    ~ScriptFeed();

    // A line is there to run now.
    bool ready();
    // No line will come any more.
    bool over();
    // Runs the next line; a line that cannot be parsed stops the run with status 2.
    runner::Ending runNext(runner::Session& session);

private:
    WindowScript script_;
    int number_ = 0;
    std::unique_ptr<LineReader> reader_;
};

}  // namespace window
