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
#include <utility>
#include <vector>

#include "gif.hpp"
#include "options.hpp"
#include "phone.hpp"
#include "instruction_profile.hpp"
#include "profile.hpp"
#include "result.hpp"
#include "script.hpp"

namespace sim::arm {
class Debugger;
}

namespace runner {

using Milliseconds = std::chrono::milliseconds;

struct SessionConfig {
    // What the command line gives, its defaults where it gives nothing.
    explicit SessionConfig(const Options& options = {});

    std::filesystem::path fs;
    std::filesystem::path module;
    std::string app;
    std::uint8_t language;
    bool trace;
    std::optional<CallTracing> traceCalls;
    // Stops the phone's module before its entry runs and waits for GDB on this port of
    // 127.0.0.1 (0: any free port); the port is printed.
    std::optional<std::uint16_t> gdbPort;
    sim::Limits limits;
    std::optional<std::filesystem::path> record;
    std::optional<std::filesystem::path> gif;
    std::optional<std::filesystem::path> profile;  // where the module's instructions are written
    // Called with each new phone before its module is loaded.
    std::function<void(sim::Phone&)> prepare;
    // The real time of the run, where time passes by itself: the front end moves the phone's
    // clock, `wait` asks it to wait (requestedWait), and the GIF's frames last as long as they
    // were shown. Without it time passes only by `wait`, and each frame lasts `frameLength` and
    // the waits while it was shown.
    std::function<Milliseconds()> clock;
    Milliseconds frameLength;
};

// An exit status that ends the run; none while it goes on.
using Stop = std::optional<int>;

// A script file read whole before anything runs: its lines, or the message that says why not.
sim::Result<std::vector<ScriptLine>> loadScript(const std::filesystem::path& file);
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
    // Line `number` of `source` as it was read: parsed, then performed. A line that cannot be
    // parsed stops the run with status 2.
    Stop perform(const std::string& raw, int number, const std::string& source);
    // Every line of `in` as it arrives, until one stops the run or the input ends.
    Stop performAll(std::istream& in, const std::string& source);

    // What a person does. Keys and restarts are recorded; text and editing keys reach the
    // recording as the editor's text when it is confirmed.
    Stop press(std::uint8_t key);
    void type(std::u16string_view text);
    void edit(sim::EditKey key);
    Stop restart(std::optional<std::uint8_t> language);
    // Time passes on the phone.
    void elapse(Milliseconds time);
    // How long until time changes something on the phone by itself; none while nothing waits.
    std::optional<Milliseconds> untilDue();
    // What `wait` asked of a front end whose time is real, since it last asked; then none.
    Milliseconds requestedWait() { return std::exchange(requestedWait_, Milliseconds{0}); }
    // Event 0x14, which a front end sends when its picture of the display was lost.
    void repaint();
    // A screenshot with a time-stamped name in the phone folder's screenshots/.
    void screenshot();

    // What a front end shows.
    sim::Surface screen();
    bool ended() const;
    bool editorOpen();
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
    void finishDebugger(int status);
    Stop debuggerEnded();
    Stop checkFault(const std::string& where);
    // One action for each kind: a kind of action that has none does not compile.
    Stop run(const Press& press, const std::string& where);
    Stop run(const Tick& tick, const std::string& where);
    Stop run(const Text& text, const std::string& where);
    Stop run(const Back& back, const std::string& where);
    Stop run(const Shot& shot, const std::string& where);
    Stop run(const ExpectState& expect, const std::string& where);
    Stop run(const ExpectScreen& expect, const std::string& where);
    Stop run(const ExpectFile& expect, const std::string& where);
    Stop run(const Restart& restart, const std::string& where);
    Stop run(const Wait& wait, const std::string& where);
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
    // Deletes the debugger where its type is known (session_debugger.cpp).
    struct DebuggerDeleter {
        void operator()(sim::arm::Debugger* debugger) const;
    };
    std::unique_ptr<sim::arm::Debugger, DebuggerDeleter> debugger_;  // outlives the phones, whose modules it follows
    bool debuggerEndSaid_ = false;
    std::unique_ptr<sim::Phone> phone_;
    std::optional<sim::Delivery> lastDelivery_;
    std::ofstream recording_;
    std::ofstream callTraceFile_;
    sim::InstructionProfile profile_;  // over every load of the module in the run
    std::optional<GifWriter> gif_;
    int frames_ = 0;                 // written to the GIF
    Milliseconds waited_{0};         // by `wait`, where time is not real
    Milliseconds requestedWait_{0};  // by `wait`, where it is
};

}  // namespace runner
