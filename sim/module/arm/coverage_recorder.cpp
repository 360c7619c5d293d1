#include "coverage_recorder.hpp"

#include <algorithm>

#include "symbol_names.hpp"

namespace sim::arm {

CoverageRecorder::CoverageRecorder(const ElfImage& elf, LineTable lines, LineCoverage& coverage)
    : elf_(elf), lines_(std::move(lines)), coverage_(coverage) {
    for (const LineTable::Line& line : lines_.codeLines()) coverage_.line(lines_.files()[line.file], line.line);
    for (const ElfImage::Symbol& symbol : elf_.symbols()) {
        const auto start = symbol.function ? lines_.at(symbol.offset) : std::nullopt;
        if (start) coverage_.function(lines_.files()[start->line.file], readableSymbol(symbol.name), start->line.line);
    }
}

CoverageRecorder::Counted& CoverageRecorder::countedAt(Address offset, std::uint32_t bytes) {
    const auto [found, added] = blocks_.try_emplace(offset);
    if (!added) return found->second;
    Counted& counted = found->second;
    for (Address at = offset; at < offset + bytes;) {
        const auto run = lines_.at(at);
        if (!run) {
            at += 2;
            continue;
        }
        const std::pair<std::uint32_t, std::uint32_t> line{run->line.file, run->line.line};
        if (line.second && std::find(counted.lines.begin(), counted.lines.end(), line) == counted.lines.end())
            counted.lines.push_back(line);
        at = std::max<Address>(run->end, at + 2);
    }
    const ElfImage::Symbol* symbol = elf_.nearest(offset);
    if (symbol && symbol->function && symbol->offset == offset) counted.entered = symbol;
    return counted;
}

void CoverageRecorder::ran(Address offset, std::uint32_t bytes) { ++countedAt(offset, bytes).runs; }

void CoverageRecorder::flush() {
    for (auto& [offset, counted] : blocks_) {
        if (!counted.runs) continue;
        for (const auto& [file, line] : counted.lines) coverage_.line(lines_.files()[file], line, counted.runs);
        if (counted.entered) {
            const auto start = lines_.at(counted.entered->offset);
            if (start)
                coverage_.function(lines_.files()[start->line.file], readableSymbol(counted.entered->name),
                                   start->line.line, counted.runs);
        }
        counted.runs = 0;
    }
}

}  // namespace sim::arm
