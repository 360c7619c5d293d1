#pragma once
// Where a module's instructions go, by function and source line, with the calls between its
// functions and what each call cost in all; written in callgrind's format, which
// callgrind_annotate and KCachegrind read.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "result.hpp"

namespace sim {

class InstructionProfile {
public:
    // The module the costs are counted for, by its file's name.
    void setObject(std::string name) { object_ = std::move(name); }

    // A function of the module (or a stand-in for code of no function), by its name and the
    // source file it lies in ("???" where that is unknown).
    std::uint32_t function(std::string_view name, std::string_view file);
    std::uint32_t file(std::string_view name);

    // `instructions` ran on `line` of `file` in `function`.
    void ran(std::uint32_t function, std::uint32_t file, std::uint32_t line, std::uint64_t instructions);
    // `caller`, on `line` of `file`, called `callee`, which starts on `calleeLine`; the call cost
    // `inclusive` instructions in all.
    struct Site {
        std::uint32_t function, file, line;
    };
    void called(Site caller, std::uint32_t callee, std::uint32_t calleeLine, std::uint64_t inclusive);

    std::uint64_t total() const { return total_; }
    // Writes the profile; `command` says what was run.
    Result<> write(const std::filesystem::path& path, std::string_view command) const;

private:
    struct Function {
        std::string name;
        std::uint32_t file;
    };
    struct Call {
        std::uint64_t count = 0, inclusive = 0;
        std::uint32_t calleeLine = 0;
    };
    using Place = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;  // function, file, line

    std::string object_ = "module";
    std::vector<Function> functions_;
    std::vector<std::string> files_;
    std::map<std::pair<std::string, std::uint32_t>, std::uint32_t> functionIndex_;
    std::map<std::string, std::uint32_t, std::less<>> fileIndex_;
    std::map<Place, std::uint64_t> self_;
    std::map<std::pair<Place, std::uint32_t>, Call> calls_;  // by call site and callee
    std::uint64_t total_ = 0;
};

}  // namespace sim
