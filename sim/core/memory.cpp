#include "memory.hpp"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace sim {

namespace {
constexpr std::size_t kArenaBytes = 64 << 10;
constexpr int kFresh = 0xA5, kReleased = 0xDD, kGuard = 0xFD;
// The most a guard and a block's rounding take together.
constexpr std::size_t kGuardSpan = Memory::kGuardBytes + 8;
const std::array<std::byte, kGuardSpan> kGuardPattern = [] {
    std::array<std::byte, kGuardSpan> pattern;
    pattern.fill(std::byte{kGuard});
    return pattern;
}();

std::size_t rounded(std::size_t size) { return (std::max<std::size_t>(size, 1) + 7) & ~std::size_t{7}; }
}  // namespace

Memory::~Memory() {
    // The host's allocator must find its memory unpoisoned when it takes it back.
    for (const auto& arena : arenas_) ASAN_UNPOISON_MEMORY_REGION(arena->bytes.data(), arena->bytes.size());
}

Memory::Arena* Memory::arenaWithRoom(std::size_t bytes) {
    if (!arenas_.empty() && arenas_.back()->bytes.size() - arenas_.back()->used >= bytes) return arenas_.back().get();
    auto arena = std::make_unique<Arena>();
    arena->bytes = PageBuffer(std::max(kArenaBytes, bytes), PageBuffer::Start::Unset);
    if (watcher_ && !watcher_->arenaAdded(arena->bytes.bytes())) return nullptr;
    ASAN_POISON_MEMORY_REGION(arena->bytes.data(), arena->bytes.size());
    arenas_.push_back(std::move(arena));
    return arenas_.back().get();
}

void* Memory::allocate(std::uint32_t size) {
    if (faults_.nextCallFails()) return nullptr;
    // A phone's heap is small: what it cannot give, it refuses instead of swapping.
    if (size > kHeapBytes - std::min(bytes_, kHeapBytes)) return nullptr;
    try {
        // A block of 0 bytes still gets its own address, as from any allocator.
        const std::size_t span = rounded(size) + kGuardBytes;
        Arena* arena = arenaWithRoom(span);
        if (!arena) return nullptr;
        std::byte* address = arena->bytes.data() + arena->used;
        blocks_.push_back({address, size, arena});
        arena->used += span;
        ++arena->live;
        ASAN_UNPOISON_MEMORY_REGION(address, span);
        std::memset(address, kFresh, size);
        std::memset(address + size, kGuard, span - size);
        ASAN_POISON_MEMORY_REGION(address + size, span - size);
        bytes_ += size;
        peak_ = std::max(peak_, bytes_);
        return address;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool Memory::release(void* block) {
    // The newest blocks are the likeliest to go first.
    const auto found =
        std::find_if(blocks_.rbegin(), blocks_.rend(), [&](const Block& b) { return b.address == block; });
    if (found == blocks_.rend()) {
        ++badReleases_;
        return false;
    }
    const Block b = *found;
    blocks_.erase(std::next(found).base());
    const std::size_t span = rounded(b.size) + kGuardBytes;
    ASAN_UNPOISON_MEMORY_REGION(b.address, span);
    if (std::memcmp(b.address + b.size, kGuardPattern.data(), span - b.size) != 0) ++overruns_;
    std::memset(b.address, kReleased, b.size);
    ASAN_POISON_MEMORY_REGION(b.address, span);
    bytes_ -= b.size;
    // An arena whose blocks are all gone is used again from its start; an emptied older one goes.
    if (--b.arena->live == 0) {
        if (b.arena == arenas_.back().get()) {
            b.arena->used = 0;
        } else {
            ASAN_UNPOISON_MEMORY_REGION(b.arena->bytes.data(), b.arena->bytes.size());
            if (watcher_) watcher_->arenaRemoved(b.arena->bytes.bytes());
            std::erase_if(arenas_, [&](const auto& a) { return a.get() == b.arena; });
        }
    }
    return true;
}

std::span<std::byte> Memory::restOfBlock(const void* address) const {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    for (const Block& b : blocks_) {
        const auto start = reinterpret_cast<std::uintptr_t>(b.address);
        if (at >= start && at - start < std::max<std::size_t>(b.size, 1))
            return {b.address + (at - start), b.size - (at - start)};
    }
    return {};
}

bool Memory::watchArenas(ArenaWatcher* watcher) {
    watcher_ = watcher;
    if (watcher_)
        for (const auto& arena : arenas_)
            if (!watcher_->arenaAdded(arena->bytes.bytes())) return false;
    return true;
}

}  // namespace sim
