#pragma once
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cpu.hpp"
#include "memory.hpp"

namespace sim::arm {

// The module's memory as the emulated CPU addresses it: host memory mapped at 32-bit addresses
// (the module's image, its stack, the platform's records and the heap's window). It turns an
// address that the module hands the platform into a host view where the module owns every byte
// of it (in the heap, only inside a block it holds), and a host address back into the module's.
class AddressSpace final {
public:
    AddressSpace(Cpu& cpu, const Memory& heap) : cpu_(cpu), heap_(heap) {}
    AddressSpace(const AddressSpace&) = delete;
    AddressSpace& operator=(const AddressSpace&) = delete;

    enum class Access { Read, Write };
    // Maps `host` (whole pages) at `address`.
    bool map(Address address, std::span<std::byte> host, Protection protection);
    // Maps the heap's window, where the module owns only the blocks it holds.
    bool mapHeap(Address address, std::span<std::byte> window);

    // The host bytes of [address, address + bytes), or null when the module does not own them
    // all or, for Write, may not write them.
    std::byte* view(Address address, std::size_t bytes, Access access) const;
    // The number of `unit`-byte items from `address` before the first that is zero, when that
    // one lies in memory the module owns.
    std::optional<std::size_t> textLength(Address address, std::size_t unit) const;
    // Where the module sees host memory of this space.
    std::optional<Address> addressOf(const void* host) const;
    // What is wrong with the `bytes` bytes at `address` that the platform refused, in words that
    // follow "handed it": an address it does not own, a range that runs past the end of its block,
    // text without its end, memory it may not write, or (when none of those) a misaligned address.
    std::string explain(Address address, std::size_t bytes) const;

private:
    enum class Refusal { None, NotOwned, NoBlock, PastEnd, ReadOnly, Unterminated };
    struct Region {
        Address start;
        std::span<std::byte> host;
        bool writable, heap;
    };
    const Region* regionAt(Address address) const;
    // The bytes from `address` to the end of what the module owns there (in the heap, to the end
    // of its block), and whether it may write them.
    std::span<std::byte> ownedFrom(Address address, bool& writable) const;
    void add(Region region);

    Cpu& cpu_;
    const Memory& heap_;
    std::vector<Region> regions_;  // sorted by start
    // The last view refused, which explain() tells apart from one the caller refused itself.
    mutable Address refusedAt_ = 0;
    mutable Refusal refusal_ = Refusal::None;
};

}  // namespace sim::arm
