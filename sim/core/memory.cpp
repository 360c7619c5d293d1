#include "memory.hpp"

#include <sanitizer/asan_interface.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

namespace sim {

namespace {
constexpr int kFresh = 0xA5, kReleased = 0xDD, kGuard = 0xFD;

// What a block takes of the heap, and of the window with its guard.
std::size_t taken(std::size_t size) { return (std::max<std::size_t>(size, 1) + 7) & ~std::size_t{7}; }
std::size_t span(std::size_t size) { return taken(size) + Memory::kGuardBytes; }

std::byte* reserve() {
    // Reserved, not committed: only the pages the blocks touch take host memory.
    void* window = ::mmap(nullptr, Memory::kWindowBytes, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (window == MAP_FAILED) return nullptr;
    ASAN_POISON_MEMORY_REGION(window, Memory::kWindowBytes);
    return static_cast<std::byte*>(window);
}
}  // namespace

std::optional<std::size_t> Memory::FreeSpace::take(std::size_t bytes) {
    const auto fit = bySize_.lower_bound({bytes, 0});
    if (fit == bySize_.end()) return std::nullopt;
    const auto [size, offset] = *fit;
    bySize_.erase(fit);
    byOffset_.erase(offset);
    if (size > bytes) add(offset + bytes, size - bytes);
    return offset;
}

void Memory::FreeSpace::give(std::size_t offset, std::size_t bytes) {
    auto next = byOffset_.lower_bound(offset);
    if (next != byOffset_.end() && offset + bytes == next->first) {
        bytes += next->second;
        bySize_.erase({next->second, next->first});
        next = byOffset_.erase(next);
    }
    if (next != byOffset_.begin()) {
        const auto before = std::prev(next);
        if (before->first + before->second == offset) {
            offset = before->first;
            bytes += before->second;
            bySize_.erase({before->second, before->first});
            byOffset_.erase(before);
        }
    }
    add(offset, bytes);
}

void Memory::FreeSpace::add(std::size_t offset, std::size_t bytes) {
    byOffset_.emplace(offset, bytes);
    bySize_.emplace(bytes, offset);
}

void Memory::Unmap::operator()(std::byte* window) const {
    // Whatever the host maps here next must not find the window's poison.
    ASAN_UNPOISON_MEMORY_REGION(window, kWindowBytes);
    ::munmap(window, kWindowBytes);
}

Memory::Memory() : window_(reserve()) {}

Memory::~Memory() = default;

void* Memory::allocate(std::uint32_t size) {
    if (faults_.nextCallFails() || !window_) return nullptr;
    // A phone's heap is small: what it cannot give, it refuses instead of swapping.
    if (size > kHeapBytes || taken_ + taken(size) > kHeapBytes || blocks_.size() == kMostBlocks) return nullptr;
    try {
        const auto offset = free_.take(span(size));
        if (!offset) return nullptr;
        std::byte* address = window_.get() + *offset;
        blocks_.emplace(address, size);
        // A block of 0 bytes still gets its own address, as from any allocator.
        ASAN_UNPOISON_MEMORY_REGION(address, span(size));
        std::memset(address, kFresh, size);
        std::memset(address + size, kGuard, span(size) - size);
        ASAN_POISON_MEMORY_REGION(address + size, span(size) - size);
        bytes_ += size;
        taken_ += taken(size);
        peak_ = std::max(peak_, bytes_);
        return address;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool Memory::release(void* block) {
    const auto found = blocks_.find(static_cast<const std::byte*>(block));
    if (found == blocks_.end()) {
        ++badReleases_;
        const std::span<std::byte> rest = restOfBlock(block);
        if (rest.data())
            misdeed("freed an address inside a block of its own instead of the block's start");
        else
            misdeed("freed an address that is no block it holds (a block freed twice, or memory never allocated)");
        return false;
    }
    auto* address = const_cast<std::byte*>(found->first);
    const std::size_t size = found->second;
    blocks_.erase(found);
    ASAN_UNPOISON_MEMORY_REGION(address, span(size));
    const bool overrun =
        std::any_of(address + size, address + span(size), [](std::byte b) { return b != std::byte{kGuard}; });
    std::memset(address, kReleased, size);
    ASAN_POISON_MEMORY_REGION(address, span(size));
    bytes_ -= size;
    taken_ -= taken(size);
    free_.give(static_cast<std::size_t>(address - window_.get()), span(size));
    if (overrun) {
        ++overruns_;
        misdeed("wrote past the end of a block of " + std::to_string(size) +
                " bytes (its guard was found written over when it was freed)");
    }
    return true;
}

void Memory::misdeed(const std::string& what) {
    if (misdeed_) misdeed_(what);
}

std::span<std::byte> Memory::restOfBlock(const void* address) const {
    const auto* at = static_cast<const std::byte*>(address);
    auto after = blocks_.upper_bound(at);
    if (after == blocks_.begin()) return {};
    const auto& [start, size] = *std::prev(after);
    const auto offset = reinterpret_cast<std::uintptr_t>(at) - reinterpret_cast<std::uintptr_t>(start);
    if (offset >= std::max<std::size_t>(size, 1)) return {};
    return {const_cast<std::byte*>(start) + offset, size - offset};
}

}  // namespace sim
