// A recording is sent to someone else, so it carries nothing the phone itself would not read:
// no link (it could lead anywhere on the host), no FIFO or device, and at most
// sim::kMostHostFileBytes in all. What it leaves out is said in a comment line of the recording
// and on standard error.
#include "recorder.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>

#include "host_paths.hpp"
#include "module_hash.hpp"
#include "options.hpp"
#include "png.hpp"
#include "script.hpp"
#include "session_parts.hpp"

namespace runner {

namespace fs = std::filesystem;

namespace {

// Why a file of the phone folder stays out of the recording; empty when it goes in.
std::string whyLeftOut(const fs::directory_entry& entry, const std::string& phonePath) {
    std::error_code ec;
    const fs::file_type type = entry.symlink_status(ec).type();
    if (type == fs::file_type::symlink) return "it is a link, which the phone does not follow";
    if (type != fs::file_type::regular) return "it is " + sim::specialKind(entry.path()) + ", not a regular file";
    const std::string& name = phonePath;
    if (std::any_of(name.begin(), name.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7F; }))
        return "a script cannot name a file with blanks or control characters";
    return "";
}

}  // namespace

sim::Result<> Recorder::open(const fs::path& file) {
    file_ = file;
    out_.open(file);
    if (!out_) return sim::failure("cannot write the recording " + file.string() + ": " + std::strerror(errno));
    return {};
}

void Recorder::record(const std::string& line) {
    if (out_.is_open()) out_ << line << "\n" << std::flush;
}

void Recorder::writeStart(const RecordedRun& run, const fs::path& phoneRoot) {
    out_ << "# A session of nuv-oka-sim. It holds what it needs: replay it on an empty phone folder with\n"
            "#   nuv-oka-sim --headless --fs DIR --script FILE\n";
    std::string options = "options --lang " + languageArgument(run.language) + " --app " + run.app;
    // The module by its path from the recording's folder, and by its hash; a module linked into
    // the program has no file to name.
    if (const auto hash = sha256Of(run.module)) {
        if (!run.emulated)
            out_ << "# Its module is built for this computer: a script loads such a module only when it is the\n"
                    "# one the command line runs (--module FILE).\n";
        std::error_code ec;
        const fs::path module = fs::absolute(run.module, ec);
        const fs::path fromRecording = fs::relative(module, fs::absolute(file_, ec).parent_path(), ec);
        const std::string named = (ec || fromRecording.empty() ? module : fromRecording).string();
        if (named.find_first_of(" \t") == std::string::npos)
            options += " --module " + named + " --module-sha256 " + *hash;
        else
            err_ << "nuv-oka-sim: the recording does not name its module " << named
                 << ": a script cannot name a path with blanks\n";
    }
    for (const std::string& arg : faultArguments(run.faults)) options += " " + arg;
    record(options);
    recordStartFiles(phoneRoot);
}

// Every file of the phone folder, in every folder of it (a link to a folder is not entered),
// by its path on the phone.
void Recorder::recordStartFiles(const fs::path& root) {
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it); it.increment(ec))
        if (it->symlink_status(ec).type() != fs::file_type::directory) entries.push_back(*it);
    std::sort(entries.begin(), entries.end());
    std::uint64_t left = sim::kMostHostFileBytes;
    for (const auto& entry : entries) {
        const std::string phonePath = "/" + entry.path().lexically_relative(root).generic_string();
        std::string why = whyLeftOut(entry, phonePath);
        if (why.empty()) {
            const auto bytes = sim::readHostFile(entry.path(), left);
            if (bytes) {
                left -= bytes->size();
                record("put " + phonePath + " " + base64(*bytes));
                continue;
            }
            why = bytes.error().message;
        }
        record("# left out " + excerpt(phonePath) + ": " + excerpt(why, 200));
        err_ << "nuv-oka-sim: the recording leaves out " << excerpt(phonePath) << ": " << why << "\n";
    }
}

void Recorder::pinEnd(const std::vector<fs::path>& files, const std::string& appFolder, const sim::Surface& screen) {
    const std::string stem = file_.stem().string();
    for (const fs::path& file : files) {
        if (!session_parts::scriptCanName(file)) continue;
        const std::string pinned = stem + "." + file.filename().string();
        const auto bytes = sim::readHostFile(file);
        if (bytes && sim::replaceHostFile(file_.parent_path() / pinned, *bytes))
            record("expect file " + appFolder + "/" + file.filename().string() + " " + pinned);
    }
    const std::string shot = stem + ".png";
    if (sim::writePng(screen, file_.parent_path() / shot)) record("expect screen " + shot);
}

sim::Result<> Recorder::close() {
    out_.close();
    if (!out_) return sim::failure("the recording " + file_.string() + " could not be written");
    return {};
}

}  // namespace runner
