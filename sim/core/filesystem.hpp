#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "fault.hpp"

namespace sim {

enum class FileOp { Size, Open, Read, Write, Close, Rename, Delete };
// How many file operations there are: Delete comes last.
inline constexpr int kFileOpCount = static_cast<int>(FileOp::Delete) + 1;
enum class OpenMode { Read, Write };

// Turns a phone path ("/elf/notes.txt", 16-bit text) into a host path inside the
// folder that stands for the phone's root. Refuses "..", links on the way, and text
// that is not valid UTF-16; nothing it returns can lie outside the root.
class PathSandbox {
public:
    explicit PathSandbox(std::filesystem::path root);
    std::optional<std::filesystem::path> resolve(std::u16string_view phonePath) const;
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

// An open host file, closed when it goes.
class HostFile {
public:
    HostFile() = default;
    explicit HostFile(int fd) : fd_(fd) {}
    HostFile(HostFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    HostFile& operator=(HostFile&& other) noexcept;
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;
    ~HostFile();

    int fd() const { return fd_; }
    bool close();

private:
    int fd_ = -1;
};

// The phone's file service over one host folder. The application may hold kMostOpenFiles
// files open at once, as on a phone: one more fails to open, and the simulator keeps host files
// of its own to write screenshots and recordings.
class FileSystem {
public:
    static constexpr std::uint32_t kInvalidHandle = 0xFFFFFFFFu;
    static constexpr std::size_t kMostOpenFiles = 32;

    explicit FileSystem(std::filesystem::path root) : sandbox_(std::move(root)) {}

    // 0 for a missing file; nothing when the size cannot be told (a failure, a folder, a file
    // of 4 GiB or more).
    std::optional<std::uint32_t> size(std::u16string_view path);
    std::uint32_t open(std::u16string_view path, OpenMode mode);
    // Bytes moved, or nullopt on failure. A write that meets the disk's limit moves what fits.
    std::optional<std::uint32_t> read(std::uint32_t handle, void* buffer, std::uint32_t bytes);
    std::optional<std::uint32_t> write(std::uint32_t handle, const void* buffer, std::uint32_t bytes);
    bool close(std::uint32_t handle);
    bool rename(std::u16string_view from, std::u16string_view to);
    bool remove(std::u16string_view path);

    std::size_t openHandles() const { return open_.size(); }
    FaultPlan& faults(FileOp op) { return faults_[op]; }

    // The files under the root may hold at most `bytes` together.
    void limitDisk(std::uint64_t bytes) { diskLimit_ = bytes; }
    // The power goes in the n-th write from now (counting from 1): that write stores the first
    // half of its bytes and fails, and from then on the phone is off: every platform call fails
    // and changes nothing, and the run ends with ExitStatus::PowerLost once control is back.
    void cutPowerAtWrite(std::uint32_t n) { powerCut_.failNth(n); }
    bool poweredOff() const { return poweredOff_; }
    // Told in words when the disk's limit cuts a write short or the power goes, before it
    // takes effect.
    enum class Limit { DiskFull, PowerCut };
    void whenLimited(std::function<void(Limit, const std::string&)> told) { limited_ = std::move(told); }
    const PathSandbox& sandbox() const { return sandbox_; }

private:
    bool fails(FileOp op) { return faults_[op].nextCallFails(); }
    // How many of `bytes` more bytes the disk still takes.
    std::uint32_t room(std::uint32_t bytes) const;

    PathSandbox sandbox_;
    std::map<std::uint32_t, HostFile> open_;
    std::uint32_t nextHandle_ = 1;
    std::map<FileOp, FaultPlan> faults_;
    std::optional<std::uint64_t> diskLimit_;
    FaultPlan powerCut_;
    bool poweredOff_ = false;
    std::function<void(Limit, const std::string&)> limited_;
};

}  // namespace sim
