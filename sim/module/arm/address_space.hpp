#pragma once
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "cpu.hpp"
#include "memory.hpp"

namespace sim::arm {

// The module's memory as the emulated CPU addresses it: host memory mapped at 32-bit addresses
// (the module's image, its stack, the platform's records and the arenas of the heap). It turns
// an address that the module hands the platform into a host view where the module owns every
// byte of it (in the heap, only inside a block it holds), and a host address back into the
// module's.
class AddressSpace final : public ArenaWatcher {
public:
    AddressSpace(Cpu& cpu, const Memory& heap) : cpu_(cpu), heap_(heap) {}
    AddressSpace(const AddressSpace&) = delete;
    AddressSpace& operator=(const AddressSpace&) = delete;

    enum class Access { Read, Write };
    // Maps `host` (whole pages) at `address`.
    bool map(Address address, std::span<std::byte> host, Protection protection);

    // The host bytes of [address, address + bytes), or null when the module does not own them
    // all or, for Write, may not write them.
    std::byte* view(Address address, std::size_t bytes, Access access) const;
    // The number of `unit`-byte items from `address` before the first that is zero, when that
    // one lies in memory the module owns.
    std::optional<std::size_t> textLength(Address address, std::size_t unit) const;
    // Where the module sees host memory of this space.
    std::optional<Address> addressOf(const void* host) const;
    // The bytes from `address` to the end of what the module owns there (in the heap, to the end
    // of its block), and whether it may write them; empty where it owns nothing.
    std::span<std::byte> ownedFrom(Address address, bool& writable) const;

    bool arenaAdded(std::span<std::byte> arena) override;
    void arenaRemoved(std::span<std::byte> arena) override;

private:
    struct Region {
        Address start;
        std::span<std::byte> host;
        bool writable, heap;
    };
    const Region* regionAt(Address address) const;
    void add(Region region);

    Cpu& cpu_;
    const Memory& heap_;
    std::vector<Region> regions_;  // sorted by start
};

}  // namespace sim::arm
