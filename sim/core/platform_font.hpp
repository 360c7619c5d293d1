#pragma once
#include <cstdint>

namespace sim {

// The platform's own 5 x 12 font, which its dialogs draw with: one glyph of 8 bytes for
// each code 0x20 to 0xFF, the 60 pixels row by row as one bit stream from the most
// significant bit.
inline constexpr int kFontFirstCode = 0x20;
inline constexpr int kFontCellWidth = 5;
inline constexpr int kFontCellHeight = 12;
inline constexpr int kFontGlyphBytes = 8;
inline constexpr int kFontTableBytes = 224 * kFontGlyphBytes;
extern const std::uint8_t kPlatformFont[kFontTableBytes];

}  // namespace sim
