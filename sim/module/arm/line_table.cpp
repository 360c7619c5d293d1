#include "line_table.hpp"

#include <dwarf.h>
#include <elfutils/libdw.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>

namespace sim::arm {

namespace {

struct CloseFile {
    void operator()(const int* fd) const { ::close(*fd); }
};
struct EndDwarf {
    void operator()(Dwarf* dwarf) const { dwarf_end(dwarf); }
};

}  // namespace

LineTable LineTable::read(const std::filesystem::path& file) {
    LineTable table;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return table;
    const std::unique_ptr<const int, CloseFile> closing(&fd);
    const std::unique_ptr<Dwarf, EndDwarf> dwarf(dwarf_begin(fd, DWARF_C_READ));
    if (!dwarf) return table;
    std::map<std::string, std::uint32_t> fileIndex;
    Dwarf_Off offset = 0, next = 0;
    std::size_t headerBytes = 0;
    while (dwarf_nextcu(dwarf.get(), offset, &next, &headerBytes, nullptr, nullptr, nullptr) == 0) {
        Dwarf_Die unit;
        Dwarf_Lines* lines = nullptr;
        std::size_t count = 0;
        if (dwarf_offdie(dwarf.get(), offset + headerBytes, &unit) && dwarf_getsrclines(&unit, &lines, &count) == 0) {
            // A relative file name is relative to where the unit was compiled.
            Dwarf_Attribute attribute;
            const char* compiledIn = dwarf_formstring(dwarf_attr(&unit, DW_AT_comp_dir, &attribute));
            const std::filesystem::path folder = compiledIn ? compiledIn : "";
            for (std::size_t i = 0; i < count; ++i) {
                Dwarf_Line* line = dwarf_onesrcline(lines, i);
                Dwarf_Addr address = 0;
                int number = 0;
                bool ends = false;
                const char* source = dwarf_linesrc(line, nullptr, nullptr);
                if (!line || dwarf_lineaddr(line, &address) != 0 || dwarf_lineno(line, &number) != 0 ||
                    dwarf_lineendsequence(line, &ends) != 0 || address > UINT32_MAX)
                    continue;
                const std::string name = source ? (folder / source).lexically_normal().string() : "???";
                const auto [known, added] =
                    fileIndex.try_emplace(name, static_cast<std::uint32_t>(table.files_.size()));
                if (added) table.files_.push_back(known->first);
                table.rows_.push_back({static_cast<Address>(address),
                                       {known->second, static_cast<std::uint32_t>(std::max(number, 0))},
                                       ends});
            }
        }
        offset = next;
    }
    std::stable_sort(table.rows_.begin(), table.rows_.end(),
                     [](const Row& a, const Row& b) { return a.offset < b.offset; });
    return table;
}

std::vector<LineTable::Line> LineTable::codeLines() const {
    std::vector<Line> lines;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        // A row that ends a sequence, or whose code is empty (the next row starts where it does),
        // has no instruction of its own.
        const bool empty = i + 1 < rows_.size() && rows_[i + 1].offset == row.offset;
        if (!row.endsSequence && !empty && row.line.line) lines.push_back(row.line);
    }
    std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    lines.erase(std::unique(lines.begin(), lines.end(),
                            [](const Line& a, const Line& b) { return a.file == b.file && a.line == b.line; }),
                lines.end());
    return lines;
}

std::optional<LineTable::Run> LineTable::at(Address offset) const {
    auto after =
        std::upper_bound(rows_.begin(), rows_.end(), offset, [](Address o, const Row& r) { return o < r.offset; });
    if (after == rows_.begin()) return std::nullopt;
    // Of rows at the same address (a line whose code is empty), the last one holds.
    const Row& row = *std::prev(after);
    if (row.endsSequence) return std::nullopt;
    const Address end = after == rows_.end() ? row.offset + 2 : after->offset;
    return Run{row.line, end};
}

}  // namespace sim::arm
