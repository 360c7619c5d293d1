#pragma once
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>

namespace sim {

// Host memory in whole pages, starting on a page and zeroed: what an emulated CPU can map into its
// address space as it is.
class PageBuffer {
public:
    static constexpr std::size_t kPageBytes = 4096;
    static constexpr std::size_t roundUp(std::size_t bytes) { return (bytes + kPageBytes - 1) & ~(kPageBytes - 1); }

    PageBuffer() = default;
    explicit PageBuffer(std::size_t bytes)
        : bytes_(static_cast<std::byte*>(std::aligned_alloc(kPageBytes, roundUp(bytes)))), size_(roundUp(bytes)) {
        if (!bytes_) throw std::bad_alloc();
        std::memset(bytes_.get(), 0, size_);
    }

    std::byte* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::span<std::byte> bytes() const { return {bytes_.get(), size_}; }

private:
    struct Free {
        void operator()(std::byte* bytes) const { std::free(bytes); }
    };
    std::unique_ptr<std::byte[], Free> bytes_;
    std::size_t size_ = 0;
};

}  // namespace sim
