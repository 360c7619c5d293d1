#pragma once
// What a run writes besides its recording: the GIF of what the display showed, the traces of
// events and platform calls, and screenshots.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iosfwd>
#include <optional>
#include <string>

#include "gif.hpp"
#include "result.hpp"
#include "surface.hpp"

namespace runner {

// The GIF of a run (--gif): every picture the display shows, each lasting until the next.
class Film {
public:
    using Milliseconds = std::chrono::milliseconds;

    sim::Result<> open(const std::filesystem::path& file);
    bool filming() const { return gif_.has_value(); }
    // The display shows `picture` from `at` on.
    void shown(const sim::Surface& picture, Milliseconds at);
    // The frames written so far: a picture that repeats the one before is none.
    int frames() const { return frames_; }
    // Writes the last frame, lasting until `at`, and ends the GIF.
    sim::Result<> close(Milliseconds at);

private:
    std::optional<GifWriter> gif_;
    int frames_ = 0;
};

// Where the run's traces go. With `events` (--trace) each delivered event and each fault that
// fires is said on the stream of problems; the platform calls (--trace-calls) go there too, or to
// their own file, where the events and faults stand before the calls they lead to as well.
class Traces {
public:
    Traces(bool events, std::ostream& err) : events_(events), err_(err) {}

    sim::Result<> openCallFile(const std::filesystem::path& file);
    bool tracesEvents() const { return events_; }
    // Where a traced platform call is written.
    std::ostream& calls() { return callFile_.is_open() ? callFile_ : err_; }
    // A line of the event trace, which ends in a line break.
    void event(const std::string& line);
    // A fault that fired, as a line of the trace; a fault that ends the run is said elsewhere,
    // so only the file of calls gets it.
    void fault(const std::string& line, bool endsTheRun);

private:
    bool events_;
    std::ostream& err_;
    std::ofstream callFile_;
};

// Writes `picture` as a PNG in `folder` (made when first used), named `label` and the local time
// to the millisecond: the file written, or why it could not be.
sim::Result<std::filesystem::path> writeScreenshot(const sim::Surface& picture, const std::filesystem::path& folder,
                                                   const std::string& label);

}  // namespace runner
