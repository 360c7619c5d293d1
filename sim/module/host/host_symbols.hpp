#pragma once
// The functions of a host module by address, from its own symbol table: its static functions too,
// which the dynamic loader cannot name. A module without a symbol table (stripped) names only
// what it exports.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sim {

class HostSymbols {
public:
    HostSymbols() = default;
    // The functions of the module file, placed at `bias` (where the loader put its address 0).
    static HostSymbols read(const std::filesystem::path& file, std::uintptr_t bias);

    // The readable name of the function that starts at `address`, or that holds it ("name+0x12");
    // "" when none does.
    std::string nameOf(std::uintptr_t address) const;

    // Bounds on what a module file may make the simulator keep.
    static constexpr std::size_t kMostFunctions = 1u << 16;
    static constexpr std::size_t kLongestName = 4096;

private:
    struct Function {
        std::uintptr_t start;  // in the file
        std::uintptr_t size;
        std::string name;
    };
    using Functions = std::vector<Function>;
    // What tells one state of a file from another.
    struct FileKey {
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t seconds = 0, nanoseconds = 0;
        friend bool operator==(const FileKey&, const FileKey&) = default;
    };
    static Functions readFile(const std::filesystem::path& file);

    std::shared_ptr<const Functions> functions_;  // by start; shared by the loads of one file
    std::uintptr_t bias_ = 0;
};

}  // namespace sim
