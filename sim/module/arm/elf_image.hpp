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

namespace sim::arm {

// The phone's module file: a 32-bit little-endian ARM ELF shared object. It tells where its
// segments go, applies its relocations to an image placed at any address (binding each import
// to what the platform gives for its name) and names the places in its code from its symbol
// table (.symtab), for crash reports and for tests that look at its globals.
class ElfImage {
public:
    // Whether the file's ELF header names a 32-bit ARM file.
    static bool isArm(const std::filesystem::path& file);
    static std::optional<ElfImage> read(const std::filesystem::path& file, std::string& error);

    // Offsets are from the image's first byte, which the file places at address 0.
    struct Segment {
        Address offset;
        std::size_t bytes;
        bool writable, executable;
    };
    const std::vector<Segment>& segments() const { return segments_; }
    std::size_t imageBytes() const { return imageBytes_; }
    Address entry() const { return entry_; }

    // Copies the segments into `image`, zeroed and imageBytes() long.
    void place(std::span<std::byte> image) const;
    // Applies the dynamic relocations to `image` placed at `base`. An import binds to what `bind`
    // gives for its name; false with the reason when a relocation cannot be applied, naming every
    // import the platform lacks.
    using Binder = std::function<std::optional<Address>(const std::string& name)>;
    bool relocate(std::span<std::byte> image, Address base, const Binder& bind, std::string& error) const;

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
    bool readSegments(std::string& error);
    void readSymbols();
    void readPltEntries();

    std::vector<std::byte> file_;
    std::vector<Segment> segments_;
    std::size_t imageBytes_ = 0;
    Address entry_ = 0, dynamic_ = 0;
    std::vector<Symbol> symbols_;  // sorted by offset
};

}  // namespace sim::arm
