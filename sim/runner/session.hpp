#pragma once
// The one script engine of the simulator: a run of the application in a phone, driven by
// script lines or by a person at a window, recorded, traced and filmed alike. The headless
// runner and the window are thin front ends over it.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "description.hpp"
#include "exit_status.hpp"
#include "instruction_profile.hpp"
#include "line_coverage.hpp"
#include "outputs.hpp"
#include "phone.hpp"
#include "recorder.hpp"
#include "result.hpp"
#include "script.hpp"
#include "script_file.hpp"
#include "session_config.hpp"

namespace sim::arm {
class Debugger;
}

namespace runner {

using sim::ExitStatus;
// The exit status that ends the run; none while it goes on.
using Ending = std::optional<ExitStatus>;

class Session {
public:
    // Messages for the user go to `out`, problems and the trace to `err`.
    Session(SessionConfig config, std::ostream& out, std::ostream& err);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the recording and the GIF, makes the application's folder and starts it.
    Ending start();

    // One line of the script `source` (its file name, or kStandardInput).
    Ending perform(const ScriptLine& line, const std::string& source);
    // A line the front end could not read: said, and status 2.
    Ending refuse(const std::string& message) { return fail(ExitStatus::Refused, message); }
    // Line `number` of `source` as it was read: parsed, then performed. A line that cannot be
    // parsed stops the run with status 2.
    Ending perform(const std::string& raw, int number, const std::string& source);
    // Every line of `in` as it arrives, until one stops the run or the input ends.
    Ending performAll(std::istream& in, const std::string& source);

    // What a line did, for a program that drives the phone line by line: its stop, and the
    // message that says why it failed (empty when it did not).
    struct Answer {
        Ending stop;
        std::string problem;
        // Whether the run can go on after it: a bad line or a failed expect leaves the phone as
        // it was; a fault, the power going or a module that cannot be loaded again do not.
        bool goesOn;
    };
    // Line `number` performed; its problem is answered, not printed.
    Answer answer(const std::string& raw, int number, const std::string& source);
    // A line from a pipe: performed and answered on the stream of messages, with "ok" or
    // "error: " and the problem, once it is done. Only a line after which the run cannot go on
    // stops it; the worst problem of the others is the run's status at its end (pipedStatus:
    // 1 when an expect failed, else 2 when a line was bad, else 0).
    Ending performPiped(const std::string& raw, int number, const std::string& source);
    ExitStatus pipedStatus() const { return pipedStatus_; }

    // What a person does. Keys and restarts are recorded; text and editing keys reach the
    // recording as the editor's text when it is confirmed.
    Ending press(std::uint8_t key);
    void type(std::u16string_view text);
    void edit(sim::EditKey key);
    Ending restart(std::optional<std::uint8_t> language);
    // Time passes on the phone.
    void elapse(Milliseconds time);
    // How long until time changes something on the phone by itself; none while nothing waits.
    std::optional<Milliseconds> untilDue();
    // What `wait` asked of a front end whose time is real, since it last asked; then none.
    Milliseconds requestedWait() { return std::exchange(requestedWait_, Milliseconds{0}); }
    // An incoming call (`interrupt`, the window's F6) and its end (`resume`, F6 again, or the end
    // key on the call screen), recorded; false when there is none to begin or to end.
    bool interrupt();
    bool resume();
    bool interrupted() const;
    // Event 0x14, which a front end sends when its picture of the display was lost.
    void repaint();
    // A screenshot with a time-stamped name in the phone folder's screenshots/: the file written,
    // or none when it could not be (both are said on the streams too).
    std::optional<std::filesystem::path> screenshot();

    // What a front end shows.
    sim::Surface screen();
    bool ended() const;
    bool editorOpen();
    std::uint8_t language() const { return config_.language; }
    // "ARM" for the phone's own module on the emulated CPU, "host" for one built for this computer:
    // the module last loaded, also after it was unloaded.
    std::string moduleKind() const;
    // The module's name as it registered it with the framework, until then its file's name: for
    // titles and labels (printable ASCII) and, cut to letters, digits, '-', '_' and '.', for file
    // names.
    std::string moduleName() const;
    std::string moduleFileLabel() const;
    // The state the module is in, as scripts name it, and by its number alone (or "ended").
    std::string state() const { return stateName(); }
    std::string stateNumber() const { return runner::stateName(*phone_, ModuleDescription{}); }
    // The platform functions reach this session's phone from now on: sessions side by side take
    // turns.
    void activate() {
        if (phone_) phone_->activate();
    }
    // The side panel: state, last event, files, memory. While a call interrupts the module the
    // panel says how the front end that shows it ends the call: `howToResume`.
    std::vector<std::string> panel(std::string_view howToResume);

    // GDB. While the debugger waits for its connection or holds the module, `keepAlive` is
    // called about every 50 ms with words to show; it ends the run by returning false. A front
    // end serves the debugger while the application waits for input, when its socket is
    // readable or every so often; the run ends when the debugger ended it.
    void whilePaused(std::function<bool(std::string_view why)> keepAlive);
    Ending serveDebugger();
    int debuggerSocket() const;

    // Ends the run with `status`: the last frame of the GIF and the recording are written.
    // Returns the status, or Refused when they could not be.
    ExitStatus finish(ExitStatus status);

private:
    Ending boot();
    Ending startPhone();  // a new phone, its module loaded and started
    Ending makePhone();
    Ending measureModule();
    Ending attachDebugger(bool first);
    void finishDebugger(ExitStatus status);
    Ending debuggerEnded();
    Ending checkFault(const std::string& where);
    Ending pressKey(std::uint8_t key, const std::string& where);
    // One action for each kind: a kind of action that has none does not compile.
    Ending run(const Press& press, const std::string& where);
    Ending run(const Tick& tick, const std::string& where);
    Ending run(const Text& text, const std::string& where);
    Ending run(const Back& back, const std::string& where);
    Ending run(const Shot& shot, const std::string& where);
    Ending run(const ExpectState& expect, const std::string& where);
    Ending run(const ExpectScreen& expect, const std::string& where);
    Ending run(const ExpectFile& expect, const std::string& where);
    Ending run(const ExpectBudget& expect, const std::string& where);
    Ending run(const Restart& restart, const std::string& where);
    Ending run(const Wait& wait, const std::string& where);
    Ending run(const Interrupt& interrupt, const std::string& where);
    Ending run(const Resume& resume, const std::string& where);
    Ending run(const SetOptions& options, const std::string& where);
    Ending run(const Put& put, const std::string& where);
    // A problem of the line being performed: said on the stream of problems, or kept for its
    // answer.
    Ending fail(ExitStatus status, const std::string& message);
    sim::Result<> putFile(const Put& put);
    Ending openOutputs();
    Ending readDescription();
    void checkModuleHash();
    std::string stateName(std::uint32_t id) const;
    std::string stateName() const;
    std::optional<std::uint64_t> instructionsSoFar() const;
    std::filesystem::path hostFile(const std::string& named) const;
    std::vector<std::filesystem::path> filesBesideTheApplication() const;
    void reportFault(const std::string& what, bool endsTheRun);
    void observe(const sim::Delivery& delivery);
    // The display changed: the GIF gets its picture.
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
    ModuleDescription description_;
    bool emulated_ = false;  // the module last loaded runs on the emulated CPU
    // The ARM instructions the module ran for the last action that was no expect.
    std::optional<std::uint64_t> lastActionCost_;
    std::optional<sim::Delivery> lastDelivery_;
    std::string sender_;  // what the trace says sent an event: ", from line 3", ", at start"
    bool faultsArmed_ = false;
    bool answering_ = false;  // problems go into the answer
    bool broken_ = false;     // the phone cannot go on
    std::string problem_;
    ExitStatus pipedStatus_ = ExitStatus::Ran;
    // What the run writes: its recording, its traces, its GIF, and what the phone's module ran.
    Recorder recorder_;
    Traces traces_;
    Film film_;
    sim::InstructionProfile profile_;  // over every load of the module in the run
    sim::LineCoverage coverage_;       // likewise
    Milliseconds waited_{0};           // by `wait`, where time is not real
    Milliseconds requestedWait_{0};    // by `wait`, where it is
};

}  // namespace runner
