#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "fault.hpp"
#include "page_buffer.hpp"

namespace sim {

// Told where the heap's arenas lie, as they come and go: a module on an emulated CPU sees its
// blocks at addresses of its own.
class ArenaWatcher {
public:
    // False when the arena cannot be placed: the heap then does without it.
    virtual bool arenaAdded(std::span<std::byte> arena) = 0;
    virtual void arenaRemoved(std::span<std::byte> arena) = 0;

protected:
    ~ArenaWatcher() = default;
};

// The platform's heap. Blocks are cut one after the other from arenas of host memory, each
// followed by a guard that the application must not touch: a release finds a guard it has
// written over and counts an overrun. Fresh blocks hold a pattern, not zeros, so that reading
// what was never written shows; released ones are filled again. Under AddressSanitizer the
// guards and released blocks are poisoned, so that a touch stops the program at once. Every
// block is tracked, so that tests see leaks and the peak use, and any chosen allocation can be
// made to fail. Arenas are whole pages, so that an emulated CPU can map them.
class Memory {
public:
    // The most the application may hold at once.
    static constexpr std::size_t kHeapBytes = std::size_t{64} << 20;
    static constexpr std::size_t kGuardBytes = 16;

    Memory() = default;
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;
    ~Memory();

    void* allocate(std::uint32_t size);
    // false for a pointer that is not an outstanding block (a double free, say).
    bool release(void* block);

    std::size_t outstandingBlocks() const { return blocks_.size(); }
    std::size_t outstandingBytes() const { return bytes_; }
    std::size_t peakBytes() const { return peak_; }
    std::size_t badReleases() const { return badReleases_; }
    // Blocks whose guard was found written over when they were released.
    std::size_t overruns() const { return overruns_; }
    void resetPeak() { peak_ = bytes_; }
    FaultPlan& faults() { return faults_; }

    // The bytes from `address` to the end of the outstanding block it lies in; empty when it
    // lies in none.
    std::span<std::byte> restOfBlock(const void* address) const;
    // From now on `watcher` hears of every arena added or removed, starting with those there are;
    // null stops it. False when one of those there are cannot be placed.
    bool watchArenas(ArenaWatcher* watcher);

private:
    struct Arena {
        PageBuffer bytes;
        std::size_t used = 0, live = 0;
    };
    struct Block {
        std::byte* address;
        std::size_t size;
        Arena* arena;
    };
    // An arena with `bytes` free at its end, or null when no new one can be had.
    Arena* arenaWithRoom(std::size_t bytes);

    std::vector<std::unique_ptr<Arena>> arenas_;
    // An application holds few blocks at a time: a short list is the quickest to search.
    std::vector<Block> blocks_;
    std::size_t bytes_ = 0, peak_ = 0, badReleases_ = 0, overruns_ = 0;
    FaultPlan faults_;
    ArenaWatcher* watcher_ = nullptr;
};

}  // namespace sim
