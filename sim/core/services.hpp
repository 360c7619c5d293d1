#pragma once
// What the service code of every platform function shares: the status it returns, and the text
// it takes from a module as 16-bit characters.
#include <cstddef>
#include <span>
#include <string>

#include "described.hpp"
#include "phone.hpp"
#include "platform_values.hpp"

namespace sim::service {

inline constexpr UINT32 kOk = kCallOk, kFailed = kCallFailed;
inline UINT32 result(bool ok) { return ok ? kOk : kFailed; }

// At most `max` characters of zero-terminated text (none for a null pointer). With `refuseLonger`
// longer text is refused (empty) rather than cut, as a path must be.
inline std::u16string text16(const WCHAR* text, std::size_t max = 4096, bool refuseLonger = false) {
    std::u16string out;
    for (std::size_t i = 0; text && text[i]; ++i) {
        if (i == max) return refuseLonger ? std::u16string() : out;
        out.push_back(static_cast<char16_t>(text[i]));
    }
    return out;
}

// A path on the phone: longer than any phone path, such text is refused rather than cut.
inline std::u16string path16(const WCHAR* path) { return text16(path, 1024, true); }

template <class T>
std::span<const T> items(const T* first, UINT32 count) {
    return first ? std::span<const T>(first, count) : std::span<const T>();
}

}  // namespace sim::service
