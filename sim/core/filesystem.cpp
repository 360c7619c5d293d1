#include "filesystem.hpp"

#include "utf.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace sim {

namespace fs = std::filesystem;

namespace {

bool isLink(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool isRegularFile(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Opens only a regular file: a FIFO, a device or a folder in the phone folder fails at once, as
// on the phone, and is never waited on (opened without blocking, then told by its kind). Writing
// starts at the first byte and drops the old content, which a special file never has.
HostFile openRegular(const fs::path& host, OpenMode mode) {
    struct stat st {};
    const bool exists = ::lstat(host.c_str(), &st) == 0;
    if (exists ? !S_ISREG(st.st_mode) : mode == OpenMode::Read) return HostFile();
    const int flags = mode == OpenMode::Read ? O_RDONLY : O_WRONLY | O_CREAT;
    HostFile file(::open(host.c_str(), flags | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.fd() < 0 || ::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return HostFile();
    const int status = ::fcntl(file.fd(), F_GETFL);
    if (status < 0 || ::fcntl(file.fd(), F_SETFL, status & ~O_NONBLOCK) != 0) return HostFile();
    if (mode == OpenMode::Write && ::ftruncate(file.fd(), 0) != 0) return HostFile();
    return file;
}

}  // namespace

PathSandbox::PathSandbox(fs::path root) : root_(fs::absolute(std::move(root)).lexically_normal()) {}

std::optional<fs::path> PathSandbox::resolve(std::u16string_view phonePath) const {
    if (!wellFormedUtf16(phonePath)) return std::nullopt;
    const std::string utf8 = utf8FromUtf16(phonePath);
    // A zero inside the text would end the host's path early, wherever it stood.
    if (utf8.empty() || utf8.find('\0') != std::string::npos) return std::nullopt;
    fs::path host = root_;
    std::size_t start = 0;
    while (start <= utf8.size()) {
        const std::size_t slash = utf8.find('/', start);
        const std::string part = utf8.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        start = slash == std::string::npos ? utf8.size() + 1 : slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        host /= part;
        // A link could lead anywhere on the host: never follow one.
        if (isLink(host)) return std::nullopt;
    }
    if (host == root_) return std::nullopt;  // the root itself is no file
    return host;
}

HostFile& HostFile::operator=(HostFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

HostFile::~HostFile() { close(); }

bool HostFile::close() {
    if (fd_ < 0) return true;
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

std::optional<std::uint32_t> FileSystem::size(std::u16string_view path) {
    if (fails(FileOp::Size)) return std::nullopt;
    const auto host = sandbox_.resolve(path);
    if (!host) return std::nullopt;
    struct stat st {};
    if (::lstat(host->c_str(), &st) != 0) return errno == ENOENT ? std::optional<std::uint32_t>(0) : std::nullopt;
    if (!S_ISREG(st.st_mode) || st.st_size > 0xFFFFFFFE) return std::nullopt;
    return static_cast<std::uint32_t>(st.st_size);
}

std::uint32_t FileSystem::open(std::u16string_view path, OpenMode mode) {
    if (fails(FileOp::Open) || open_.size() == kMostOpenFiles) return kInvalidHandle;
    const auto host = sandbox_.resolve(path);
    if (!host) return kInvalidHandle;
    HostFile file = openRegular(*host, mode);
    if (file.fd() < 0) return kInvalidHandle;
    const std::uint32_t handle = nextHandle_++;
    open_.emplace(handle, std::move(file));
    return handle;
}

std::optional<std::uint32_t> FileSystem::read(std::uint32_t handle, void* buffer, std::uint32_t bytes) {
    const auto found = open_.find(handle);
    if (found == open_.end() || (bytes && !buffer)) return std::nullopt;
    if (fails(FileOp::Read)) return std::nullopt;
    std::uint32_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < bytes) {
        const ssize_t n = ::read(found->second.fd(), out + done, bytes - done);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        done += static_cast<std::uint32_t>(n);
    }
    return done;
}

namespace {
// Writes all `bytes`, or as many as the host takes; the number written.
std::uint32_t writeAll(int fd, const char* in, std::uint32_t bytes) {
    std::uint32_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(fd, in + done, bytes - done);
        if (n <= 0) break;
        done += static_cast<std::uint32_t>(n);
    }
    return done;
}
}  // namespace

std::uint32_t FileSystem::room(std::uint32_t bytes) const {
    if (!diskLimit_) return bytes;
    std::uint64_t used = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(sandbox_.root(), ec); !ec && it != fs::end(it); it.increment(ec))
        if (it->is_regular_file(ec)) used += it->file_size(ec);
    return used >= *diskLimit_ ? 0 : static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, *diskLimit_ - used));
}

std::optional<std::uint32_t> FileSystem::write(std::uint32_t handle, const void* buffer, std::uint32_t bytes) {
    const auto found = open_.find(handle);
    if (found == open_.end() || (bytes && !buffer)) return std::nullopt;
    if (powerCut_.nextCallFails()) {
        if (limited_)
            limited_(Limit::PowerCut, "the power goes in call " + std::to_string(powerCut_.calls()) +
                                          " of DL_FsWriteFile: " + std::to_string(bytes / 2) + " of its " +
                                          std::to_string(bytes) + " bytes are stored and the phone stops (status 3)");
        writeAll(found->second.fd(), static_cast<const char*>(buffer), bytes / 2);
        poweredOff_ = true;
        return std::nullopt;
    }
    if (fails(FileOp::Write)) return std::nullopt;
    const std::uint32_t fits = room(bytes);
    if (fits < bytes && limited_)
        limited_(Limit::DiskFull, "the disk is full: a write of " + std::to_string(bytes) + " bytes stores " +
                                      std::to_string(fits) + (fits ? "" : " and fails"));
    const std::uint32_t done = writeAll(found->second.fd(), static_cast<const char*>(buffer), fits);
    return done == 0 && bytes > 0 ? std::nullopt : std::optional<std::uint32_t>(done);
}

bool FileSystem::close(std::uint32_t handle) {
    const auto found = open_.find(handle);
    if (found == open_.end()) return false;
    // A close that fails has not stored what was written: the file keeps none of it.
    const bool injected = fails(FileOp::Close);
    if (injected && ::ftruncate(found->second.fd(), 0) != 0) {
        // A handle open for reading: there was nothing written to lose.
    }
    const bool ok = found->second.close();
    open_.erase(found);
    return ok && !injected;
}

bool FileSystem::rename(std::u16string_view from, std::u16string_view to) {
    if (fails(FileOp::Rename)) return false;
    const auto source = sandbox_.resolve(from), target = sandbox_.resolve(to);
    if (!source || !target || !isRegularFile(*source)) return false;
    // Flush the new content to the disk before it takes the old file's place, so that
    // a crash leaves either the old file or the whole new one.
    HostFile file = openRegular(*source, OpenMode::Read);
    if (file.fd() < 0 || ::fsync(file.fd()) != 0) return false;
    file.close();
    if (std::rename(source->c_str(), target->c_str()) != 0) return false;
    HostFile folder(::open(target->parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd() >= 0) ::fsync(folder.fd());
    return true;
}

bool FileSystem::remove(std::u16string_view path) {
    if (fails(FileOp::Delete)) return false;
    const auto host = sandbox_.resolve(path);
    return host && isRegularFile(*host) && ::unlink(host->c_str()) == 0;
}

}  // namespace sim
