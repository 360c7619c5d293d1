#include "script_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <variant>

#include "host_paths.hpp"

namespace runner {

namespace fs = std::filesystem;

ScriptFile::ScriptFile(fs::path file, std::unique_ptr<std::istream> in) : file_(std::move(file)), in_(std::move(in)) {}

sim::Result<ScriptFile> ScriptFile::open(const fs::path& file) {
    const std::string kind = sim::specialKind(file);
    if (kind == "a folder") return sim::failure("the script " + file.string() + " is a folder, not a file");
    auto in = std::make_unique<std::ifstream>(file, std::ios::binary);
    if (!*in) return sim::failure("cannot read the script " + file.string() + ": " + std::strerror(errno));
    if (kind.empty()) return opened(file, std::move(in));
    // A pipe the command line names (--script /dev/stdin) is read once, whole, as it cannot be
    // read twice.
    auto whole = std::make_unique<std::stringstream>();
    *whole << in->rdbuf();
    return opened(file, std::move(whole));
}

sim::Result<ScriptFile> ScriptFile::opened(const fs::path& file, std::unique_ptr<std::istream> in) {
    ScriptFile script(file, std::move(in));
    if (auto checked = script.check(); !checked) return tl::unexpected(checked.error());
    return script;
}

sim::Result<> ScriptFile::check() {
    std::string raw;
    bool inStart = true;
    for (int number = 1; std::getline(*in_, raw); ++number) {
        auto parsed = parseLine(raw, number);
        if (!parsed) return sim::failure(file_.string() + ": " + parsed.error().message);
        if (!*parsed || !inStart) continue;
        if (startsTheRun((*parsed)->action)) {
            start_.push_back(std::move(**parsed));
        } else {
            inStart = false;
            firstAction_ = number;
        }
    }
    if (in_->bad()) return sim::failure("cannot read the script " + file_.string());
    in_->clear();
    in_->seekg(0);
    return {};
}

sim::Result<std::optional<ScriptLine>> ScriptFile::next() {
    if (ahead_) {
        auto line = std::move(*ahead_);
        ahead_.reset();
        return line;
    }
    return read();
}

sim::Result<std::optional<ScriptLine>> ScriptFile::read() {
    if (!firstAction_) return std::nullopt;
    std::string raw;
    while (std::getline(*in_, raw)) {
        if (++number_ < firstAction_) continue;
        auto parsed = parseLine(raw, number_);
        if (!parsed) return sim::failure(file_.string() + ": " + parsed.error().message);
        if (*parsed) return std::move(*parsed);
    }
    return std::nullopt;
}

bool ScriptFile::atEnd() {
    if (!ahead_) ahead_ = read();
    return *ahead_ && !**ahead_;
}

sim::Result<std::vector<ScriptLine>> loadScript(const fs::path& file) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return sim::failure("the script " + file.string() + " is a folder, not a file");
    std::ifstream in(file);
    if (!in) return sim::failure("cannot read the script " + file.string() + ": " + std::strerror(errno));
    return parseScript(in).map_error([&](const sim::Error& e) { return sim::Error{file.string() + ": " + e.message}; });
}

// A script file's first lines that give the run's options and starting files are taken before
// the application starts; the command line's own options take precedence.
sim::Result<Options> takeScriptStart(std::vector<ScriptLine>& lines, Options options, std::vector<Put>& startFiles,
                                     const fs::path& scriptFolder) {
    const auto start =
        std::find_if_not(lines.begin(), lines.end(), [](const ScriptLine& line) { return startsTheRun(line.action); });
    std::vector<std::string> args;
    for (auto line = lines.begin(); line != start; ++line) {
        if (const auto* given = std::get_if<SetOptions>(&line->action))
            args.insert(args.end(), given->args.begin(), given->args.end());
        else
            startFiles.push_back(std::get<Put>(line->action));
    }
    lines.erase(lines.begin(), start);
    if (args.empty()) return options;
    return withScriptOptions(std::move(options), args, scriptFolder).map_error([](const Exit& e) {
        return sim::Error{e.text};
    });
}

}  // namespace runner
