// What the page leaves out of the runner: GIFs and PNG files (the page makes its PNGs from its
// canvas) and GDB, which debugs the phone's own module on the emulated CPU.
#include "gif.hpp"
#include "module_hash.hpp"
#include "png.hpp"
#include "session.hpp"

namespace sim {

Result<> writePng(const Surface&, const std::filesystem::path& file) {
    return failure("cannot write " + file.string() + ": the page writes no PNG files (its Screenshot button does)");
}

Result<Surface> readPng(const std::filesystem::path& file, std::optional<Size>) {
    return failure("cannot read " + file.string() + ": the page reads no PNG files");
}

}  // namespace sim

namespace runner {

sim::Result<std::string> sha256Of(const std::filesystem::path& file) {
    return sim::failure("cannot hash " + file.string() + ": the page runs the application linked into it");
}

sim::Result<GifWriter> GifWriter::open(const std::filesystem::path& file) {
    return sim::failure("cannot write " + file.string() + ": the page writes no GIFs");
}
GifWriter::GifWriter(GifWriter&&) noexcept = default;
GifWriter& GifWriter::operator=(GifWriter&&) noexcept = default;
GifWriter::~GifWriter() = default;
void GifWriter::Closer::operator()(GifFileType*) const {}
bool GifWriter::add(const sim::Surface&, Time) { return false; }
sim::Result<> GifWriter::close(Time) { return {}; }

void Session::DebuggerDeleter::operator()(sim::arm::Debugger*) const {}

Ending Session::attachDebugger(bool) {
    if (!config_.gdbPort) return std::nullopt;
    err_ << "nuv-oka-sim: the page has no GDB stub: it runs the application compiled to WebAssembly\n";
    return ExitStatus::Refused;
}

Ending Session::debuggerEnded() { return std::nullopt; }
void Session::whilePaused(std::function<bool(std::string_view)> keepAlive) { keepAlive_ = std::move(keepAlive); }
Ending Session::serveDebugger() { return std::nullopt; }
int Session::debuggerSocket() const { return -1; }
void Session::finishDebugger(ExitStatus) {}

}  // namespace runner
