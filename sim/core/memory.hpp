#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

#include "fault.hpp"

namespace sim {

// The platform's block allocator. Every block is tracked, so tests can see leaks and
// the peak use, and any chosen allocation can be made to fail.
class Memory {
public:
    // The most the application may hold at once.
    static constexpr std::size_t kHeapBytes = std::size_t{64} << 20;

    void* allocate(std::uint32_t size);
    // false for a pointer that is not an outstanding block (a double free, say).
    bool release(void* block);

    std::size_t outstandingBlocks() const { return blocks_.size(); }
    std::size_t outstandingBytes() const { return bytes_; }
    std::size_t peakBytes() const { return peak_; }
    std::size_t badReleases() const { return badReleases_; }
    void resetPeak() { peak_ = bytes_; }
    FaultPlan& faults() { return faults_; }

private:
    struct Block {
        std::unique_ptr<std::byte[]> data;
        std::size_t size;
    };
    std::map<void*, Block> blocks_;
    std::size_t bytes_ = 0, peak_ = 0, badReleases_ = 0;
    FaultPlan faults_;
};

}  // namespace sim
