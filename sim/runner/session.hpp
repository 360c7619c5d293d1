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
#include "phone.hpp"
#include "script.hpp"

namespace runner {

using Milliseconds = std::chrono::milliseconds;

struct SessionConfig {
    std::filesystem::path fs = "phone";
    std::filesystem::path module;
    std::string app = sim::kDefaultAppPath;
    std::uint8_t language = LANGUAGE_ENGLISH;
    sim::Limits limits;
    bool trace = false;
    std::optional<std::filesystem::path> record;
    std::optional<std::filesystem::path> gif;
    // Called with each new phone before its module is loaded.
    std::function<void(sim::Phone&)> prepare;
    // The time of the run, which spaces the GIF's frames; without it each frame lasts
    // `frameLength`.
    std::function<Milliseconds()> clock;
    Milliseconds frameLength{0};
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

    // Ends the run with `status`: the last frame of the GIF and the recording are written.
    // Returns the status, or 2 when they could not be.
    int finish(int status);

private:
    Stop boot();
    Stop checkFault(const std::string& where);
    Stop run(const Action& action, const std::string& where);
    Stop expectScreen(const ExpectScreen& expect, const std::string& where);
    Stop expectFile(const ExpectFile& expect, const std::string& where);
    void observe(const sim::Delivery& delivery);
    void record(const std::string& line);
    void frameShown();
    Milliseconds now() const;

    SessionConfig config_;
    std::ostream& out_;
    std::ostream& err_;
    std::unique_ptr<sim::Phone> phone_;
    std::optional<sim::Delivery> lastDelivery_;
    std::ofstream recording_;
    std::optional<GifWriter> gif_;
    int frames_ = 0;  // written to the GIF
};

}  // namespace runner
