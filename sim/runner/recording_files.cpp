// The files a recording carries: each regular file beside the application, by its bytes. A
// recording is sent to someone else, so it carries nothing the phone itself would not read: no
// link (it could lead anywhere on the host), no FIFO or device, and at most
// sim::kMostHostFileBytes in all. What it leaves out is said in a comment line of the recording
// and on standard error.
#include <algorithm>
#include <ostream>

#include "host_paths.hpp"
#include "session.hpp"

namespace runner {

namespace fs = std::filesystem;

namespace {

std::u16string widened(const std::string& path) {
    std::u16string out;
    for (unsigned char c : path) out.push_back(c);
    return out;
}

// Why a file beside the application stays out of the recording; empty when it goes in.
std::string whyLeftOut(const fs::directory_entry& entry) {
    std::error_code ec;
    const fs::file_type type = entry.symlink_status(ec).type();
    if (type == fs::file_type::symlink) return "it is a link, which the phone does not follow";
    if (type != fs::file_type::regular) return "it is " + sim::specialKind(entry.path()) + ", not a regular file";
    const std::string name = entry.path().filename().string();
    if (std::any_of(name.begin(), name.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7F; }))
        return "a script cannot name a file with blanks or control characters";
    return "";
}

}  // namespace

void Session::recordStartFiles() {
    const auto app = phone_->files.sandbox().resolve(widened(config_.app));
    if (!app) return;
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(app->parent_path(), ec))
        if (entry.symlink_status(ec).type() != fs::file_type::directory) entries.push_back(entry);
    std::sort(entries.begin(), entries.end());
    const std::string folder = fs::path(config_.app).parent_path().string();
    std::uint64_t left = sim::kMostHostFileBytes;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        std::string why = whyLeftOut(entry);
        if (why.empty()) {
            const auto bytes = sim::readHostFile(entry.path(), left);
            if (bytes) {
                left -= bytes->size();
                record("put " + folder + "/" + name + " " + base64(*bytes));
                continue;
            }
            why = bytes.error().message;
        }
        record("# left out " + excerpt(name) + ": " + excerpt(why, 200));
        err_ << "nuv-oka-sim: the recording leaves out " << excerpt(name) << ": " << why << "\n";
    }
}

}  // namespace runner
