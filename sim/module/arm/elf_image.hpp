#pragma once
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "layout.hpp"
#include "result.hpp"

namespace sim::arm {

// The phone's module file: a 32-bit little-endian ARM ELF shared object. It tells where its
// segments go, applies its relocations to an image placed at any address (binding each import
// to what the platform gives for its name) and names the places in its code from its symbol
// table (.symtab), for crash reports and for tests that look at its globals.
//
// The file is the module writer's, so nothing in it is trusted: every segment must lie inside
// the file and the image, every name inside its table, and what the loader keeps of it is
// bounded (the file's size, the bytes of names, the count of symbols).
class ElfImage {
public:
    static constexpr std::size_t kMostFileBytes = 64u << 20;
    static constexpr std::size_t kMostImageBytes = 16u << 20;
    // Longer names are no platform function's and no symbol a report needs whole.
    static constexpr std::size_t kMostNameBytes = 255;
    static constexpr std::size_t kMostSymbolNameBytes = 1u << 20;
    static constexpr std::size_t kMostSymbols = 1u << 16;

    // Whether the file's ELF header names a 32-bit ARM file.
    static bool isArm(const std::filesystem::path& file);
    static sim::Result<ElfImage> read(const std::filesystem::path& file);
    // The same from the file's bytes; the error says why they are no module.
    static sim::Result<ElfImage> parse(std::vector<std::byte> file);

    // Offsets are from the image's first byte, which the file places at address 0; the segment's
    // first `fileBytes` come from the file at `fileOffset`, the rest are zeros.
    struct Segment {
        Address offset;
        std::size_t bytes;
        bool writable, executable;
        std::size_t fileOffset, fileBytes;
    };
    const std::vector<Segment>& segments() const { return segments_; }
    std::size_t imageBytes() const { return imageBytes_; }
    Address entry() const { return entry_; }

    // Copies the segments into `image`, zeroed and imageBytes() long.
    void place(std::span<std::byte> image) const;
    // Applies the dynamic relocations to `image` placed at `base`. An import binds to what `bind`
    // gives for its name. When a relocation cannot be applied the error says why: the imports the
    // platform lacks (named, the first few of them), or what is wrong with the file.
    using Binder = std::function<std::optional<Address>(const std::string& name)>;
    sim::Result<void, LoadError> relocate(std::span<std::byte> image, Address base, const Binder& bind) const;

    struct Symbol {
        std::string name;
        Address offset;  // without the Thumb bit of a function's address
        std::uint32_t size;
        bool function;
    };
    const Symbol* find(std::string_view name) const;
    // The symbol at or nearest before `offset`, if any.
    const Symbol* nearest(Address offset) const;
    // Every symbol, sorted by offset: the module's functions and globals, and its entries of the
    // procedure linkage table ("u_strlen@plt").
    const std::vector<Symbol>& symbols() const { return symbols_; }

private:
    ElfImage() = default;
    sim::Result<void> readSegments();
    void readSymbols();
    void readPltEntries();

    std::vector<std::byte> file_;
    std::vector<Segment> segments_;
    std::size_t imageBytes_ = 0;
    Address entry_ = 0, dynamic_ = 0;
    std::vector<Symbol> symbols_;  // sorted by offset
};

}  // namespace sim::arm
