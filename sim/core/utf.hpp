#pragma once
// Conversions between UTF-8, the host's text, and UTF-16, the platform's 16-bit text.
#include <string>
#include <string_view>

namespace sim {

// 16-bit text of UTF-8; `valid` is false, and nothing is returned, for a malformed sequence.
std::u16string utf16FromUtf8(std::string_view text, bool& valid);
// UTF-8 of 16-bit text; a lone half of a surrogate pair becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);
// Whether every surrogate in the text is one half of a pair.
bool wellFormedUtf16(std::u16string_view text);
// The ASCII characters of 8-bit text as 16-bit text; any other byte becomes "?".
std::u16string ascii(std::string_view text);

}  // namespace sim
