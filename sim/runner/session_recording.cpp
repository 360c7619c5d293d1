// The session's recording: a script that replays the run. It starts with the options that shape
// the run and the files of the phone as they were before the application started, goes on with
// what a person or a script did, and ends by pinning the files and the screen the run left.
//
// A recording is sent to someone else, so it carries nothing the phone itself would not read:
// no link (it could lead anywhere on the host), no FIFO or device, and at most
// sim::kMostHostFileBytes in all. What it leaves out is said in a comment line of the recording
// and on standard error.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "module_hash.hpp"
#include "png.hpp"
#include "screendiff.hpp"
#include "session.hpp"
#include "session_parts.hpp"

namespace runner {

namespace fs = std::filesystem;
using namespace session_parts;

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

// The host files in the application's folder on the phone, by name: the record file among them.
std::vector<fs::path> Session::filesBesideTheApplication() const {
    std::vector<fs::path> files;
    const auto host = phone_->files().sandbox().resolve(widened(config_.app));
    if (!host) return files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(host->parent_path(), ec))
        if (entry.symlink_status(ec).type() == fs::file_type::regular) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The start of a recording: how to replay it, the options that shape the run and every file
// beside the application as it is before the application starts.
void Session::writeRecordingStart() {
    recording_ << "# A session of nuv-oka-sim. It holds what it needs: replay it on an empty phone folder with\n"
                  "#   nuv-oka-sim --headless --fs DIR --script FILE\n";
    std::string options = "options --lang " + languageArgument(config_.language) + " --app " + config_.app;
    // The module by its path from the recording's folder, and by its hash; a module linked into
    // the program has no file to name.
    if (const auto hash = sha256Of(config_.module)) {
        if (!emulated_)
            recording_ << "# Its module is built for this computer: a script loads such a module only when it is the\n"
                          "# one the command line runs (--module FILE).\n";
        std::error_code ec;
        const fs::path module = fs::absolute(config_.module, ec);
        const fs::path fromRecording = fs::relative(module, fs::absolute(*config_.record, ec).parent_path(), ec);
        const std::string named = (ec || fromRecording.empty() ? module : fromRecording).string();
        if (named.find_first_of(" \t") == std::string::npos)
            options += " --module " + named + " --module-sha256 " + *hash;
        else
            err_ << "nuv-oka-sim: the recording does not name its module " << named
                 << ": a script cannot name a path with blanks\n";
    }
    for (const std::string& arg : faultArguments(config_.faults)) options += " " + arg;
    record(options);
    recordStartFiles();
}

// The end of a recording pins the result: the files beside the application and the screen, each
// written next to the recording.
void Session::pinRecordingEnd() {
    const fs::path& recording = *config_.record;
    const std::string stem = recording.stem().string();
    const std::string folder = fs::path(config_.app).parent_path().string();
    for (const fs::path& file : filesBesideTheApplication()) {
        if (!scriptCanName(file)) continue;
        const std::string pinned = stem + "." + file.filename().string();
        const auto bytes = readBytes(file);
        if (bytes && sim::replaceHostFile(recording.parent_path() / pinned, *bytes))
            record("expect file " + folder + "/" + file.filename().string() + " " + pinned);
    }
    const std::string screen = stem + ".png";
    if (sim::writePng(phone_->screen(), recording.parent_path() / screen)) record("expect screen " + screen);
}

// Every file of the phone folder, in every folder of it (a link to a folder is not entered),
// by its path on the phone.
void Session::recordStartFiles() {
    const fs::path& root = phone_->files().sandbox().root();
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

void Session::record(const std::string& line) {
    if (recording_.is_open()) recording_ << line << "\n" << std::flush;
}

}  // namespace runner
