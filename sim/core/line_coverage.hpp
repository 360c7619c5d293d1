#pragma once
// Which source lines and functions of a module ran, and how often: what --coverage writes, in
// lcov's tracefile format (genhtml makes an HTML report of it). Files and lines are named as the
// module's debug information names them.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "result.hpp"

namespace sim {

class LineCoverage {
public:
    // A line with code, run `count` more times (0: only known to have code).
    void line(const std::string& file, std::uint32_t line, std::uint64_t count = 0);
    // A function starting on `line` of `file`, entered `count` more times.
    void function(const std::string& file, const std::string& name, std::uint32_t line, std::uint64_t count = 0);

    // Adds what another coverage counted: the same lines and functions are summed.
    void add(const LineCoverage& other);

    std::string tracefile() const;
    Result<> write(const std::filesystem::path& path) const;
    // A tracefile as tracefile() writes it; what cannot be read is an error.
    static Result<LineCoverage> read(const std::filesystem::path& path);

    bool empty() const { return files_.empty(); }

private:
    struct Function {
        std::uint32_t line = 0;
        std::uint64_t count = 0;
    };
    struct File {
        std::map<std::uint32_t, std::uint64_t> lines;
        std::map<std::string, Function> functions;
    };
    std::map<std::string, File> files_;
};

}  // namespace sim
