#include "host_paths.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "filesystem.hpp"

namespace sim {

namespace {

std::string kindOf(mode_t mode) {
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string mib(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

Result<> folderFor(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code ec;
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) return {};
    if (file.is_absolute() || std::filesystem::exists(folder, ec))
        return failure("cannot write " + file.string() + ": there is no folder " + folder.string());
    std::filesystem::create_directories(folder, ec);
    if (ec) return failure("cannot write " + file.string() + ": cannot make its folder: " + ec.message());
    return {};
}

std::string specialKind(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return "";
    return kindOf(st.st_mode);
}

Result<std::string> readHostFile(const std::filesystem::path& file, std::uint64_t most) {
    // Opened without waiting, so a FIFO with no writer cannot hold the run; then only a regular
    // file is read.
    HostFile in(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.fd() < 0) return failure("cannot read " + file.string() + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(in.fd(), &st) != 0) return failure("cannot read " + file.string() + ": " + std::strerror(errno));
    if (const std::string kind = kindOf(st.st_mode); !kind.empty())
        return failure("cannot read " + file.string() + ": it is " + kind + ", not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > most)
        return failure("cannot read " + file.string() + ": it holds " + std::to_string(st.st_size) +
                       " bytes, more than the most of " + mib(most));
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(in.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failure("cannot read " + file.string() + ": " + std::strerror(errno));
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);  // a file that shrank while read
    return bytes;
}

Result<> replaceHostFile(const std::filesystem::path& file, std::string_view bytes) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return failure("cannot write " + file.string() + ": it is " + kindOf(st.st_mode) + ", not a regular file");
    if (auto folder = folderFor(file); !folder) return folder;
    std::string name = file.string() + ".XXXXXX";
    HostFile out(::mkstemp(name.data()));
    if (out.fd() < 0) return failure("cannot write " + file.string() + ": " + std::strerror(errno));
    bool ok = ::fchmod(out.fd(), 0644) == 0;  // mkstemp's own 0600 would hide a screenshot
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(out.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    const int error = errno;
    ok = out.close() && ok;
    if (!ok || std::rename(name.c_str(), file.c_str()) != 0) {
        const std::string why = std::strerror(ok ? errno : error);
        ::unlink(name.c_str());
        return failure("cannot write " + file.string() + ": " + why);
    }
    return {};
}

}  // namespace sim
