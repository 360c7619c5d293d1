#pragma once
#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>
#include <span>

namespace sim {

// Host memory in whole pages, starting on a page and zeroed: what an emulated CPU can map into its
// address space as it is. The system maps it, so that a page is zeroed only once it is touched (a
// module's stack is 256 KiB, of which a call touches a few pages).
class PageBuffer {
public:
    static constexpr std::size_t kPageBytes = 4096;
    static constexpr std::size_t roundUp(std::size_t bytes) { return (bytes + kPageBytes - 1) & ~(kPageBytes - 1); }

    PageBuffer() = default;
    explicit PageBuffer(std::size_t bytes) : size_(roundUp(bytes)) {
        if (size_ == 0) return;
        void* pages = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED) throw std::bad_alloc();
        bytes_.reset(static_cast<std::byte*>(pages));
        bytes_.get_deleter().size = size_;
    }

    std::byte* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::span<std::byte> bytes() const { return {bytes_.get(), size_}; }

private:
    struct Unmap {
        std::size_t size;  // value-initialized with the pointer: 0
        void operator()(std::byte* bytes) const { ::munmap(bytes, size); }
    };
    std::unique_ptr<std::byte[], Unmap> bytes_;
    std::size_t size_ = 0;
};

}  // namespace sim
