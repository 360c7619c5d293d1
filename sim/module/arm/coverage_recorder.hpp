#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "elf_image.hpp"
#include "line_coverage.hpp"
#include "line_table.hpp"

namespace sim::arm {

// Counts the source lines and functions of the module that run, block by block, into a
// LineCoverage: each run of a block counts once for each line it holds code of, and a block that
// starts a function counts its entry. Every line with code and every function is known from the
// start, so what never runs shows with 0.
class CoverageRecorder {
public:
    CoverageRecorder(const ElfImage& elf, LineTable lines, LineCoverage& coverage);
    // What was counted goes into the coverage as the recorder goes.
    ~CoverageRecorder() { flush(); }
    CoverageRecorder(const CoverageRecorder&) = delete;
    CoverageRecorder& operator=(const CoverageRecorder&) = delete;

    // A block of `bytes` from `offset` in the image ran.
    void ran(Address offset, std::uint32_t bytes);

private:
    struct Counted {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> lines;  // file, line
        const ElfImage::Symbol* entered = nullptr;                  // the function it starts
        std::uint64_t runs = 0;
    };
    Counted& countedAt(Address offset, std::uint32_t bytes);
    // Adds what the blocks counted since the last flush to the coverage.
    void flush();

    const ElfImage& elf_;
    LineTable lines_;
    LineCoverage& coverage_;
    std::unordered_map<Address, Counted> blocks_;  // by the block's offset
};

}  // namespace sim::arm
