#include "lockstep.hpp"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>

#include "png.hpp"
#include "screendiff.hpp"
#include "session.hpp"
#include "temporary_folder.hpp"

namespace runner {

namespace fs = std::filesystem;

namespace {

// The regular files below `root` by their path from it; links are not followed.
std::map<std::string, fs::path> filesBelow(const fs::path& root) {
    std::map<std::string, fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            files.emplace(it->path().lexically_relative(root).generic_string(), it->path());
    return files;
}

bool sameBytes(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec) return false;
    std::ifstream one(a, std::ios::binary), other(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(one), {}, std::istreambuf_iterator<char>(other), {});
}

// One of the two runs: its session, its phone folder and its name in messages.
struct Side {
    std::string name;
    fs::path folder;
    std::string app;  // the module's file on its phone
    std::unique_ptr<Session> session;
};

Difference compare(Side& a, Side& b) {
    Difference difference;
    a.session->activate();
    const sim::Surface screenA = a.session->screen();
    const std::string stateA = a.session->stateNumber();
    b.session->activate();
    const sim::Surface screenB = b.session->screen();
    const std::string stateB = b.session->stateNumber();
    if (const sim::ScreenDiff diff = sim::diffScreens(screenA, screenB)) {
        std::ostringstream words;
        words << "the screen, " << diff.differing << " pixels in (" << diff.left << ", " << diff.top << ")-("
              << diff.right << ", " << diff.bottom << ")";
        difference.parts.push_back(words.str());
    }
    if (stateA != stateB) difference.parts.push_back("the state, " + stateA + " and " + stateB);
    for (const std::string& file : differingFiles(a.folder, b.folder)) difference.parts.push_back("/" + file);
    return difference;
}

// The two screens and their difference, beside each other in the working folder.
std::string writeScreens(Side& a, Side& b) {
    a.session->activate();
    const sim::Surface screenA = a.session->screen();
    b.session->activate();
    const sim::Surface screenB = b.session->screen();
    const std::string names[] = {"lockstep-1-" + a.name + ".png", "lockstep-2-" + b.name + ".png",
                                 "lockstep-difference.png"};
    const sim::ScreenDiff diff = sim::diffScreens(screenA, screenB);
    const sim::Surface* pictures[] = {&screenA, &screenB, &diff.picture};
    std::string written;
    for (int i = 0; i < 3; ++i)
        if (pictures[i]->width() > 0 && sim::writePng(*pictures[i], names[i]))
            written += (written.empty() ? "" : ", ") + names[i];
    return written.empty() ? "" : " (written: " + written + ")";
}

}  // namespace

std::vector<std::string> differingFiles(const fs::path& one, const fs::path& other, std::size_t most) {
    const auto a = filesBelow(one), b = filesBelow(other);
    std::vector<std::string> differing;
    for (const auto& [name, path] : a) {
        const auto there = b.find(name);
        if (there == b.end() || !sameBytes(path, there->second)) differing.push_back(name);
    }
    for (const auto& [name, path] : b)
        if (!a.count(name)) differing.push_back(name);
    std::sort(differing.begin(), differing.end());
    if (differing.size() > most) differing.resize(most);
    return differing;
}

namespace {

// The side `i` of the lockstep started: the second runs the other module at the first one's path
// on its phone. The script's own start shapes both; `lines` gets what is left of it.
Ending startSide(int i, const Options& options, const std::vector<ScriptLine>& loaded, const fs::path& phones,
                 Side (&sides)[2], std::vector<ScriptLine>& lines, std::ostream& out, std::ostream& err) {
    Options own = options;
    if (i == 1) {
        own.module = *options.lockstep;
        own.given.insert("--module");
        own.given.insert("--app");
        own.app = sides[0].app;
    }
    std::vector<ScriptLine> script = loaded;
    std::vector<Put> startFiles;
    const fs::path scriptFolder = fs::path(*options.script).parent_path();
    auto shaped = takeScriptStart(script, own, startFiles, scriptFolder);
    if (!shaped) {
        err << "nuv-oka-sim: " << *options.script << ": " << shaped.error().message << "\n";
        return ExitStatus::Refused;
    }
    SessionConfig config(*shaped);
    config.fs = phones / std::to_string(i + 1);
    config.startFiles = std::move(startFiles);
    config.scriptFolder = scriptFolder;
    config.record.reset(), config.gif.reset(), config.profile.reset();
    sides[i] = {shaped->module.filename().string(), config.fs, shaped->app, std::make_unique<Session>(config, out, err)};
    lines = std::move(script);
    sides[i].session->activate();
    return sides[i].session->start();
}

// One line on both sides, then what they show compared: the status that ends the lockstep there,
// none while they agree.
Ending stepBoth(const ScriptLine& line, const std::string& source, Side (&sides)[2], std::ostream& err) {
    Ending stops[2];
    for (int i = 0; i < 2; ++i) {
        sides[i].session->activate();
        stops[i] = sides[i].session->perform(line, source);
    }
    if (stops[0] == ExitStatus::Faulted || stops[1] == ExitStatus::Faulted) return ExitStatus::Faulted;
    const std::string after = "after line " + std::to_string(line.number) + " (" + line.text + ")";
    const auto said = [](const Ending& stop) {
        return stop ? "ends with status " + std::to_string(sim::exitCode(*stop)) : std::string("goes on");
    };
    if (stops[0] != stops[1]) {
        err << "nuv-oka-sim: the modules differ " << after << ": " << sides[0].name << " " << said(stops[0]) << ", "
            << sides[1].name << " " << said(stops[1]) << "\n";
        return ExitStatus::ExpectFailed;
    }
    if (stops[0]) return stops[0];
    if (const Difference difference = compare(sides[0], sides[1])) {
        std::string parts;
        for (const std::string& part : difference.parts) parts += (parts.empty() ? "" : "; ") + part;
        err << "nuv-oka-sim: the modules differ " << after << ": " << parts << writeScreens(sides[0], sides[1])
            << "\n";
        return ExitStatus::ExpectFailed;
    }
    return std::nullopt;
}

}  // namespace

ExitStatus runLockstep(const Options& options, std::ostream& out, std::ostream& err) {
    if (!options.script || *options.script == "-") {
        err << "nuv-oka-sim: --lockstep runs a script file: give --script FILE\n";
        return ExitStatus::Refused;
    }
    auto loaded = loadScript(*options.script);
    if (!loaded) {
        err << "nuv-oka-sim: " << loaded.error().message << "\n";
        return ExitStatus::Refused;
    }
    const auto folders = RunFolders::make(namedFs(options), "nuv-oka-lockstep");
    if (!folders) {
        err << "nuv-oka-sim: " << folders.error().message << "\n";
        return ExitStatus::Refused;
    }
    std::vector<ScriptLine> lines;
    Side sides[2];
    for (int i = 0; i < 2; ++i)
        if (Ending stop = startSide(i, options, *loaded, folders->root(), sides, lines, out, err)) return *stop;
    for (const ScriptLine& line : lines)
        if (Ending stop = stepBoth(line, *options.script, sides, err)) return *stop;
    out << "nuv-oka-sim: " << sides[0].name << " and " << sides[1].name << " agree after " << lines.size()
        << " actions" << std::endl;
    for (Side& side : sides) {
        side.session->activate();
        side.session->finish(ExitStatus::Ran);
    }
    return ExitStatus::Ran;
}

}  // namespace runner
