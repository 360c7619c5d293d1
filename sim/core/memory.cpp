#include "memory.hpp"

#include <algorithm>
#include <new>

namespace sim {

void* Memory::allocate(std::uint32_t size) {
    if (faults_.nextCallFails()) return nullptr;
    // A phone's heap is small: what it cannot give, it refuses instead of swapping.
    if (size > kHeapBytes - std::min(bytes_, kHeapBytes)) return nullptr;
    try {
        // A block of 0 bytes still gets its own address, as from any allocator. Fresh
        // blocks hold a pattern, not zeros, so that reading what was never written shows.
        const std::size_t bytes = std::max<std::size_t>(size, 1);
        auto data = std::make_unique_for_overwrite<std::byte[]>(bytes);
        std::fill_n(data.get(), bytes, std::byte{0xA5});
        void* address = data.get();
        blocks_.emplace(address, Block{std::move(data), size});
        bytes_ += size;
        peak_ = std::max(peak_, bytes_);
        return address;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool Memory::release(void* block) {
    const auto found = blocks_.find(block);
    if (found == blocks_.end()) {
        ++badReleases_;
        return false;
    }
    bytes_ -= found->second.size;
    blocks_.erase(found);
    return true;
}

}  // namespace sim
