#pragma once
#include <cstddef>
#include <memory>
#include <new>
#include <span>

namespace sim {

// Host memory in whole pages, starting on a page: what an emulated CPU can map into its address
// space as it is. It starts zeroed unless whoever takes it fills it anyway.
class PageBuffer {
public:
    static constexpr std::size_t kPageBytes = 4096;
    static constexpr std::size_t roundUp(std::size_t bytes) { return (bytes + kPageBytes - 1) & ~(kPageBytes - 1); }

    enum class Start { Zeroed, Unset };
    PageBuffer() = default;
    explicit PageBuffer(std::size_t bytes, Start start = Start::Zeroed)
        : bytes_(start == Start::Zeroed ? new (std::align_val_t{kPageBytes}) std::byte[roundUp(bytes)]()
                                        : new (std::align_val_t{kPageBytes}) std::byte[roundUp(bytes)]),
          size_(roundUp(bytes)) {}

    std::byte* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::span<std::byte> bytes() const { return {bytes_.get(), size_}; }

private:
    struct Free {
        void operator()(std::byte* bytes) const { ::operator delete[](bytes, std::align_val_t{kPageBytes}); }
    };
    std::unique_ptr<std::byte[], Free> bytes_;
    std::size_t size_ = 0;
};

}  // namespace sim
