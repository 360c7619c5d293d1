#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "layout.hpp"

namespace sim::arm {

// Where each instruction of the module's code comes from in its sources, as the module's debug
// information says (DWARF line tables). Offsets are from the image's first byte. Empty for a
// module built without debug information.
class LineTable {
public:
    static LineTable read(const std::filesystem::path& file);

    struct Line {
        std::uint32_t file;  // index into files()
        std::uint32_t line;
    };
    // The source line of the instruction at `offset`, with the offset where its line's run of
    // code ends; nothing where the debug information says nothing.
    struct Run {
        Line line;
        Address end;
    };
    std::optional<Run> at(Address offset) const;
    // Every line that has code, once each.
    std::vector<Line> codeLines() const;
    const std::vector<std::string>& files() const { return files_; }

private:
    struct Row {
        Address offset;
        Line line;
        bool endsSequence;
    };
    std::vector<std::string> files_;
    std::vector<Row> rows_;  // sorted by offset
};

}  // namespace sim::arm
