#include "outputs.hpp"

#include <ctime>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "png.hpp"

namespace runner {

namespace fs = std::filesystem;

sim::Result<> Film::open(const fs::path& file) {
    auto opened = GifWriter::open(file);
    if (!opened) return tl::unexpected(opened.error());
    gif_ = std::move(*opened);
    return {};
}

void Film::shown(const sim::Surface& picture, Milliseconds at) {
    if (gif_ && gif_->add(picture, at)) ++frames_;
}

sim::Result<> Film::close(Milliseconds at) {
    if (!gif_) return {};
    const auto closed = gif_->close(at);
    gif_.reset();
    return closed;
}

sim::Result<> Traces::openCallFile(const fs::path& file) {
    callFile_.open(file);
    if (!callFile_) return sim::failure("cannot write the trace of calls " + file.string());
    return {};
}

void Traces::event(const std::string& line) {
    if (!events_) return;
    err_ << line;
    if (callFile_.is_open()) callFile_ << line;
}

void Traces::fault(const std::string& line, bool endsTheRun) {
    if (!events_) return;
    if (!endsTheRun) err_ << line;
    if (callFile_.is_open()) callFile_ << line << std::flush;
}

sim::Result<fs::path> writeScreenshot(const sim::Surface& picture, const fs::path& folder, const std::string& label) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
    std::ostringstream name;
    name << label << "-" << std::put_time(&local, "%Y%m%d-%H%M%S") << "-" << std::setw(3) << std::setfill('0')
         << millis.count() % 1000 << ".png";
    const fs::path file = folder / name.str();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (auto written = sim::writePng(picture, file); !written) return tl::unexpected(written.error());
    return file;
}

}  // namespace runner
