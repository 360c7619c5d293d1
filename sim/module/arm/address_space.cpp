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
    refusedAt_ = address;
    if (!owned.data())
        refusal_ = regionAt(address) ? Refusal::NoBlock : Refusal::NotOwned;
    else if (owned.size() < bytes)
        refusal_ = Refusal::PastEnd;
    else if (access == Access::Write && !writable)
        refusal_ = Refusal::ReadOnly;
    else
        refusal_ = Refusal::None;
    return refusal_ == Refusal::None ? owned.data() : nullptr;
}

std::optional<std::size_t> AddressSpace::textLength(Address address, std::size_t unit) const {
    bool writable = false;
    const std::span<std::byte> owned = ownedFrom(address, writable);
    for (std::size_t n = 0; (n + 1) * unit <= owned.size(); ++n) {
        const std::byte* item = owned.data() + n * unit;
        if (std::all_of(item, item + unit, [](std::byte b) { return b == std::byte{0}; })) return n;
    }
    refusedAt_ = address;
    refusal_ = owned.data() ? Refusal::Unterminated : regionAt(address) ? Refusal::NoBlock : Refusal::NotOwned;
    return std::nullopt;
}

std::string AddressSpace::explain(Address address, std::size_t bytes) const {
    const Refusal why = refusedAt_ == address ? refusal_ : Refusal::None;
    const Region* region = regionAt(address);
    const char* whole = region && region->heap ? "its block" : "its memory";
    switch (why) {
    case Refusal::NotOwned: return "an address it does not own";
    case Refusal::NoBlock: return "an address in the heap that is no block it holds";
    case Refusal::PastEnd: return std::to_string(bytes) + " bytes that run past the end of " + whole;
    case Refusal::ReadOnly: return "its code or constants to write to";
    case Refusal::Unterminated: return std::string("text that runs past the end of ") + whole + " without its end";
    case Refusal::None: break;
    }
    return "a misaligned address";
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

bool AddressSpace::mapHeap(Address address, std::span<std::byte> window) {
    if (window.empty() || kHeapEnd - address < window.size() || !cpu_.map(address, window, {.write = true}))
        return false;
    add({address, window, true, true});
    return true;
}

}  // namespace sim::arm
