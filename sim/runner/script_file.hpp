#pragma once
// A script file, read as it runs: every line is checked when it is opened, so a bad line stops
// the run before anything runs, and then each is parsed again as its turn comes. A script of any
// length takes the memory of one line, besides its start (`options` and `put`).
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <vector>

#include "options.hpp"
#include "result.hpp"
#include "script.hpp"

namespace runner {

class ScriptFile {
public:
    static sim::Result<ScriptFile> open(const std::filesystem::path& file);

    // The lines at its head that give the run's options and starting files, for takeScriptStart.
    std::vector<ScriptLine>& start() { return start_; }
    // The next line with an action after the start; none at the end. A line that no longer
    // parses (the file changed while it ran) is an error.
    sim::Result<std::optional<ScriptLine>> next();
    // No line with an action is left.
    bool atEnd();

private:
    ScriptFile(std::filesystem::path file, std::unique_ptr<std::istream> in);
    static sim::Result<ScriptFile> opened(const std::filesystem::path& file, std::unique_ptr<std::istream> in);
    sim::Result<> check();

    std::filesystem::path file_;
    std::unique_ptr<std::istream> in_;
    int number_ = 0;
    int firstAction_ = 0;  // the number of the first line after the start; 0 when there is none
    std::vector<ScriptLine> start_;
    std::optional<sim::Result<std::optional<ScriptLine>>> ahead_;  // read by atEnd
    sim::Result<std::optional<ScriptLine>> read();
};

// A script file read whole before anything runs: its lines, or the message that says why not.
sim::Result<std::vector<ScriptLine>> loadScript(const std::filesystem::path& file);
// A script file's first lines that give the run's options and its starting files (`options`,
// `put`) are taken out of it, to shape the run before the application starts: the options are
// added to `options`, whose own take precedence, and the files to `startFiles`.
// A relative --module among them is relative to `scriptFolder`.
sim::Result<Options> takeScriptStart(std::vector<ScriptLine>& lines, Options options, std::vector<Put>& startFiles,
                                     const std::filesystem::path& scriptFolder = {});
// What scripts on standard input are called in messages.
inline constexpr const char* kStandardInput = "standard input";

}  // namespace runner
