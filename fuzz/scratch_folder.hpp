#pragma once
// The folder that stands for a fuzzed phone's root: in memory where the machine has a tmpfs, since
// the application flushes each file it rewrites, and on a disk one flush and the removal of the
// folder after each input cost more than the whole session.
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

inline std::filesystem::path scratchFolder(const char* name) {
    std::error_code error;
    const std::filesystem::path memory = "/dev/shm";
    const auto parent = std::filesystem::is_directory(memory, error) ? memory : std::filesystem::temp_directory_path();
    return parent / (std::string(name) + "-" + std::to_string(::getpid()));
}
