#include "memory.hpp"

#include <sanitizer/asan_interface.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <utility>

namespace sim {

namespace {
constexpr int kFresh = 0xA5, kReleased = 0xDD, kGuard = 0xFD;

// What a block takes of the heap, and of the window with its guard.
std::size_t taken(std::size_t size) { return (std::max<std::size_t>(size, 1) + 7) & ~std::size_t{7}; }
std::size_t span(std::size_t size) { return taken(size) + Memory::kGuardBytes; }

// What a guard holds while nothing has written over it: at most the rounding (8 bytes for a block
// of none) and the guard.
constexpr std::size_t kMostGuardBytes = 8 + Memory::kGuardBytes;
const std::array<std::byte, kMostGuardBytes> kGuardPattern = [] {
    std::array<std::byte, kMostGuardBytes> pattern;
    pattern.fill(std::byte{kGuard});
    return pattern;
}();

// The window of a heap that went, kept for the next heap: reserving a window and poisoning it
// whole costs more than a phone's start-up, and tests and fuzzers make phone after phone.
std::mutex spareLock;
std::byte* spare = nullptr;

std::byte* reserve() {
    if (std::lock_guard lock(spareLock); spare) return std::exchange(spare, nullptr);
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

std::optional<std::size_t> Memory::FreeSpace::takeEndingAt(std::size_t end) {
    if (byOffset_.empty()) return std::nullopt;
    const auto last = std::prev(byOffset_.end());
    if (last->first + last->second != end) return std::nullopt;
    const std::size_t offset = last->first;
    bySize_.erase({last->second, offset});
    byOffset_.erase(last);
    return offset;
}

void Memory::FreeSpace::add(std::size_t offset, std::size_t bytes) {
    byOffset_.emplace(offset, bytes);
    bySize_.emplace(bytes, offset);
}

void* Memory::NodeSlots::do_allocate(std::size_t bytes, std::size_t alignment) {
    if (bytes > kSlotBytes || alignment > alignof(Slot))
        return std::pmr::new_delete_resource()->allocate(bytes, alignment);
    if (!free_) {
        // A chunk of slots more, twice as many as the last.
        const std::size_t count = chunks_.empty() ? 64 : 64 << std::min<std::size_t>(chunks_.size(), 10);
        chunks_.push_back(std::make_unique<Slot[]>(count));
        for (std::size_t i = 0; i < count; ++i)
            chunks_.back()[i].next = i + 1 < count ? &chunks_.back()[i + 1] : nullptr;
        free_ = chunks_.back().get();
    }
    return std::exchange(free_, free_->next);
}

void Memory::NodeSlots::do_deallocate(void* slot, std::size_t bytes, std::size_t alignment) {
    if (bytes > kSlotBytes || alignment > alignof(Slot))
        return std::pmr::new_delete_resource()->deallocate(slot, bytes, alignment);
    free_ = ::new (slot) Slot{free_};
}

// A window whose blocks are all poisoned again: its pages go back to the host, and it is kept as
// the spare, or else unmapped.
void Memory::GiveBack::operator()(std::byte* window) const {
    ::madvise(window, kWindowBytes, MADV_DONTNEED);
    if (std::lock_guard lock(spareLock); !spare) {
        spare = window;
        return;
    }
    // Whatever the host maps here next must not find the window's poison.
    ASAN_UNPOISON_MEMORY_REGION(window, kWindowBytes);
    ::munmap(window, kWindowBytes);
}

Memory::Memory() : window_(reserve()) {}

Memory::~Memory() {
    for ([[maybe_unused]] const auto& [start, size] : blocks_) ASAN_POISON_MEMORY_REGION(start, span(size));
}

void* Memory::allocate(std::uint32_t size) {
    if (faults_.nextCallFails() || !window_) return nullptr;
    // A phone's heap is small: what it cannot give, it refuses instead of swapping.
    if (size > kHeapBytes || taken_ + taken(size) > kHeapBytes || blocks_.size() == kMostBlocks) return nullptr;
    try {
        auto offset = free_.take(span(size));
        if (!offset && kWindowBytes - top_ >= span(size)) offset = std::exchange(top_, top_ + span(size));
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
    const bool overrun = std::memcmp(address + size, kGuardPattern.data(), span(size) - size) != 0;
    std::memset(address, kReleased, size);
    ASAN_POISON_MEMORY_REGION(address, span(size));
    bytes_ -= size;
    taken_ -= taken(size);
    const auto offset = static_cast<std::size_t>(address - window_.get());
    if (offset + span(size) == top_)
        top_ = free_.takeEndingAt(offset).value_or(offset);  // with a free stretch just below it
    else
        free_.give(offset, span(size));
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
