#include "address_space.hpp"

#include <algorithm>

namespace sim::arm {

bool AddressSpace::map(Address address, std::span<std::byte> host, Protection protection) {
    if (!cpu_.map(address, host, protection)) return false;
    add({address, host, protection.write, false});
    return true;
}

void AddressSpace::add(Region region) {
    const auto after = std::upper_bound(regions_.begin(), regions_.end(), region.start,
                                        [](Address a, const Region& r) { return a < r.start; });
    regions_.insert(after, region);
}

const AddressSpace::Region* AddressSpace::regionAt(Address address) const {
    const auto after = std::upper_bound(regions_.begin(), regions_.end(), address,
                                        [](Address a, const Region& r) { return a < r.start; });
    if (after == regions_.begin()) return nullptr;
    const Region& r = *std::prev(after);
    return address - r.start < r.host.size() ? &r : nullptr;
}

std::span<std::byte> AddressSpace::ownedFrom(Address address, bool& writable) const {
    const Region* r = regionAt(address);
    if (!r) return {};
    writable = r->writable;
    const std::size_t offset = address - r->start;
    return r->heap ? heap_.restOfBlock(r->host.data() + offset) : r->host.subspan(offset);
}

std::byte* AddressSpace::view(Address address, std::size_t bytes, Access access) const {
    bool writable = false;
    const std::span<std::byte> owned = ownedFrom(address, writable);
    const bool allowed = owned.data() && owned.size() >= bytes && (access == Access::Read || writable);
    return allowed ? owned.data() : nullptr;
}

std::optional<std::size_t> AddressSpace::textLength(Address address, std::size_t unit) const {
    bool writable = false;
    const std::span<std::byte> owned = ownedFrom(address, writable);
    for (std::size_t n = 0; (n + 1) * unit <= owned.size(); ++n) {
        const std::byte* item = owned.data() + n * unit;
        if (std::all_of(item, item + unit, [](std::byte b) { return b == std::byte{0}; })) return n;
    }
    return std::nullopt;
}

std::optional<Address> AddressSpace::addressOf(const void* host) const {
    const auto* p = static_cast<const std::byte*>(host);
    for (const Region& r : regions_) {
        const auto first = reinterpret_cast<std::uintptr_t>(r.host.data());
        const auto at = reinterpret_cast<std::uintptr_t>(p);
        if (at >= first && at - first < r.host.size()) return static_cast<Address>(r.start + (at - first));
    }
    return std::nullopt;
}

bool AddressSpace::arenaAdded(std::span<std::byte> arena) {
    // The first gap of the heap's window that the arena fits.
    Address start = kHeapBase;
    for (const Region& r : regions_) {
        if (!r.heap) continue;
        if (r.start - start >= arena.size()) break;
        start = static_cast<Address>(r.start + r.host.size());
    }
    if (kHeapEnd - start < arena.size() || !cpu_.map(start, arena, {.write = true})) return false;
    add({start, arena, true, true});
    return true;
}

void AddressSpace::arenaRemoved(std::span<std::byte> arena) {
    const auto found =
        std::find_if(regions_.begin(), regions_.end(), [&](const Region& r) { return r.host.data() == arena.data(); });
    if (found == regions_.end()) return;
    cpu_.unmap(found->start, found->host.size());
    regions_.erase(found);
}

}  // namespace sim::arm
