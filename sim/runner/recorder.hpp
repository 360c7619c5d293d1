#pragma once
// What writes a recording: a script that replays the run. It starts with the options that shape
// the run and the files of the phone as they were before the application started, goes on with
// what a person or a script did, and ends by pinning the files and the screen the run left.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iosfwd>
#include <string>
#include <vector>

#include "faults.hpp"
#include "result.hpp"
#include "surface.hpp"

namespace runner {

// What shapes the run a recording replays: its first line gives it as options.
struct RecordedRun {
    std::uint8_t language;
    std::string app;
    std::filesystem::path module;
    bool emulated;  // the module runs on the emulated CPU
    FaultOptions faults;
};

class Recorder {
public:
    // What the recording leaves out, and why, is said on `err` too.
    explicit Recorder(std::ostream& err) : err_(err) {}

    // Starts the recording in `file`; the message says why it cannot be written.
    sim::Result<> open(const std::filesystem::path& file);
    bool recording() const { return out_.is_open(); }
    // One line, written through at once: a run that ends badly keeps what it did.
    void record(const std::string& line);
    // The start: how to replay it, the options that shape the run and every file of the phone
    // folder `phoneRoot` as it is before the application starts.
    void writeStart(const RecordedRun& run, const std::filesystem::path& phoneRoot);
    // The end pins the result: the host `files` beside the application, whose folder on the
    // phone is `appFolder`, and the `screen`, each written next to the recording.
    void pinEnd(const std::vector<std::filesystem::path>& files, const std::string& appFolder,
                const sim::Surface& screen);
    // Ends the recording; the message says when it could not be written.
    sim::Result<> close();

private:
    void recordStartFiles(const std::filesystem::path& root);

    std::ostream& err_;
    std::filesystem::path file_;
    std::ofstream out_;
};

}  // namespace runner
