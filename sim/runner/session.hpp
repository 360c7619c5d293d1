#pragma once
// The one script engine of the simulator: a run of the application in a phone, driven by
// script lines or by a person at a window, recorded, traced and filmed alike. The headless
// runner and the window are thin front ends over it.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gif.hpp"
#include "options.hpp"
#include "phone.hpp"
#include "profile.hpp"
#include "script.hpp"

namespace sim::arm {
class Debugger;
}

namespace runner {

using Milliseconds = std::chrono::milliseconds;

struct SessionConfig {
    std::filesystem::path fs = "phone";
    std::filesystem::path module;
    std::string app = sim::kDefaultAppPath;
    std::uint8_t language = LANGUAGE_ENGLISH;
    sim::Limits limits;
    bool trace = false;
    std::optional<CallTracing> traceCalls;
    std::optional<std::filesystem::path> record;
    std::optional<std::filesystem::path> gif;
    std::optional<std::filesystem::path> profile;  // where the module's instructions are written
    // Called with each new phone before its module is loaded.
    std::function<void(sim::Phone&)> prepare;
    // The time of the run, which spaces the GIF's frames; without it each frame lasts
    // `frameLength`.
    std::function<Milliseconds()> clock;
    Milliseconds frameLength{0};
    // Stops the phone's module before its entry runs and waits for GDB on this port of
    // 127.0.0.1 (0: any free port); the port is printed.
    std::optional<std::uint16_t> gdbPort;
};

// An exit status that ends the run; none while it goes on.
using Stop = std::optional<int>;

// A script file read whole before anything runs: its lines, or the message that says why not.
std::variant<std::vector<ScriptLine>, std::string> loadScript(const std::filesystem::path& file);
// What scripts on standard input are called in messages.
inline constexpr const char* kStandardInput = "standard input";

class Session {
public:
    // Messages for the user go to `out`, problems and the trace to `err`.
    Session(SessionConfig config, std::ostream& out, std::ostream& err);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the recording and the GIF, makes the application's folder and starts it.
    Stop start();

    // One line of the script `source` (its file name, or kStandardInput).
    Stop perform(const ScriptLine& line, const std::string& source);

    // What a person does. Keys and restarts are recorded; text and editing keys reach the
    // recording as the editor's text when it is confirmed.
    Stop press(std::uint8_t key);
    void type(std::u16string_view text);
    void edit(sim::EditKey key);
    void takePendingLetter();
    Stop restart(std::optional<std::uint8_t> language);
    // Event 0x14, which a front end sends when its picture of the display was lost.
    void repaint();
    // A screenshot with a time-stamped name in the phone folder's screenshots/.
    void screenshot();

    // What a front end shows.
    sim::Surface screen();
    bool ended() const;
    bool editorOpen();
    bool letterPending();
    std::uint8_t language() const { return config_.language; }
    // The side panel: state, last event, files, memory.
    std::vector<std::string> panel();

    // GDB. While the debugger waits for its connection or holds the module, `keepAlive` is
    // called about every 50 ms with words to show; it ends the run by returning false. A front
    // end serves the debugger while the application waits for input, when its socket is
    // readable or every so often; the run ends when the debugger ended it.
    void whilePaused(std::function<bool(std::string_view why)> keepAlive);
    Stop serveDebugger();
    int debuggerSocket() const;

    // Ends the run with `status`: the last frame of the GIF and the recording are written.
    // Returns the status, or 2 when they could not be.
    int finish(int status);

private:
    Stop boot();
    Stop attachDebugger(bool first);
    Stop debuggerEnded();
    Stop checkFault(const std::string& where);
    Stop run(const Action& action, const std::string& where);
    Stop expectScreen(const ExpectScreen& expect, const std::string& where);
    Stop expectFile(const ExpectFile& expect, const std::string& where);
    void observe(const sim::Delivery& delivery);
    // Where the trace of platform calls goes: its file, or the stream of problems.
    std::ostream& callTrace();
    void record(const std::string& line);
    void frameShown();
    Milliseconds now() const;

    SessionConfig config_;
    std::ostream& out_;
    std::ostream& err_;
    std::function<bool(std::string_view)> keepAlive_;
    std::unique_ptr<sim::arm::Debugger> debugger_;  // outlives the phones, whose modules it follows
    bool debuggerEndSaid_ = false;
    std::unique_ptr<sim::Phone> phone_;
    std::optional<sim::Delivery> lastDelivery_;
    std::ofstream recording_;
    std::ofstream callTraceFile_;
    sim::Profile profile_;  // over every load of the module in the run
    std::optional<GifWriter> gif_;
    int frames_ = 0;  // written to the GIF
};

}  // namespace runner
