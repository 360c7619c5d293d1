#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory_resource>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "fault.hpp"

namespace sim {

// The platform's heap. Its blocks lie in one window of host memory reserved whole at the start
// (committed as it is touched), so that an emulated CPU maps it once, and each is followed by a
// guard that the application must not touch. Fresh blocks hold a pattern, not zeros, so that
// reading what was never written shows; released ones are filled again. Under AddressSanitizer
// the window but for the blocks held is poisoned, so that a touch stops the program at once.
//
// The application may hold kHeapBytes, each block counted as what it takes (its size rounded up
// to 8 bytes, at least 8), in at most kMostBlocks blocks: the window has room for exactly that,
// guards included, so the whole heap can be had whatever the sizes of the blocks. What it cannot
// give, it refuses, as a phone's heap does. A release of anything but a block held, and a guard
// found written over, are misdeeds of the application: they are counted and told to whoever
// listens (the framework, which halts it). Every block is tracked, so that tests see leaks and
// the peak use, and any chosen allocation can be made to fail.
class Memory {
public:
    static constexpr std::size_t kHeapBytes = std::size_t{64} << 20;
    static constexpr std::size_t kMostBlocks = std::size_t{1} << 18;
    static constexpr std::size_t kGuardBytes = 16;
    static constexpr std::size_t kWindowBytes = kHeapBytes + kMostBlocks * kGuardBytes;

    Memory();
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;
    ~Memory();

    void* allocate(std::uint32_t size);
    // false for a pointer that is not an outstanding block (a double free, say): a misdeed.
    bool release(void* block);

    std::size_t outstandingBlocks() const { return blocks_.size(); }
    // The bytes the application asked for in the blocks it holds.
    std::size_t outstandingBytes() const { return bytes_; }
    std::size_t peakBytes() const { return peak_; }
    std::size_t badReleases() const { return badReleases_; }
    // Blocks whose guard was found written over when they were released.
    std::size_t overruns() const { return overruns_; }
    void resetPeak() { peak_ = bytes_; }
    FaultPlan& faults() { return faults_; }
    // Told what the application did wrong, in words that follow "it".
    void onMisdeed(std::function<void(const std::string&)> listener) { misdeed_ = std::move(listener); }

    // The bytes from `address` to the end of the outstanding block it lies in; empty when it
    // lies in none.
    std::span<std::byte> restOfBlock(const void* address) const;
    // The host memory every block lies in (empty when it could not be reserved).
    std::span<std::byte> window() const { return {window_.get(), window_ ? kWindowBytes : 0}; }

private:
    // The free stretches of the window below its top by offset and by size: a block takes the
    // smallest that fits, and a released one joins its free neighbours.
    class FreeSpace {
    public:
        explicit FreeSpace(std::pmr::memory_resource* nodes) : byOffset_(nodes), bySize_(nodes) {}
        std::optional<std::size_t> take(std::size_t bytes);
        void give(std::size_t offset, std::size_t bytes);
        // Takes the stretch that ends at `end`, if there is one: its offset.
        std::optional<std::size_t> takeEndingAt(std::size_t end);

    private:
        void add(std::size_t offset, std::size_t bytes);
        std::pmr::map<std::size_t, std::size_t> byOffset_;
        std::pmr::set<std::pair<std::size_t, std::size_t>> bySize_;  // (bytes, offset)
    };
    // The nodes of the books below, in slots of one size kept for reuse: the books change with
    // every block, and a slot taken back costs next to nothing.
    class NodeSlots final : public std::pmr::memory_resource {
    public:
        static constexpr std::size_t kSlotBytes = 64;

    private:
        union Slot {
            Slot* next;
            alignas(std::max_align_t) std::byte bytes[kSlotBytes];
        };
        void* do_allocate(std::size_t bytes, std::size_t alignment) override;
        void do_deallocate(void* slot, std::size_t bytes, std::size_t alignment) override;
        bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

        std::vector<std::unique_ptr<Slot[]>> chunks_;
        Slot* free_ = nullptr;
    };
    struct GiveBack {
        void operator()(std::byte* window) const;
    };
    void misdeed(const std::string& what);

    std::unique_ptr<std::byte, GiveBack> window_;
    NodeSlots nodes_;
    // The window is free from `top_` to its end; below it, where FreeSpace says. A block is cut
    // from the smallest free stretch below the top that holds it, else from the top; a block
    // released at the top lowers it, the way a heap is mostly used (a block taken for one
    // operation and released at its end), with no book to keep.
    FreeSpace free_{&nodes_};
    std::size_t top_ = 0;
    std::pmr::map<const std::byte*, std::size_t> blocks_{&nodes_};  // start: the size asked for
    std::size_t bytes_ = 0, taken_ = 0, peak_ = 0, badReleases_ = 0, overruns_ = 0;
    FaultPlan faults_;
    std::function<void(const std::string&)> misdeed_;
};

}  // namespace sim
