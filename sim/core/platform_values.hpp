#pragma once
// Values that every layer of the platform agrees on: the status that most platform functions
// return, and the one rule for a buffer's size given as a size and a count.
#include <cstdint>
#include <optional>

namespace sim {

// What a platform function returns for success and for failure, where its result is a status.
inline constexpr std::uint32_t kCallOk = 0;
inline constexpr std::uint32_t kCallFailed = 1;

// `size` times `count` bytes, or nothing when that is more than a 32-bit platform can say.
constexpr std::optional<std::uint32_t> byteCount(std::uint64_t size, std::uint64_t count = 1) {
    if (size != 0 && count > UINT32_MAX / size) return std::nullopt;
    return static_cast<std::uint32_t>(size * count);
}

}  // namespace sim
