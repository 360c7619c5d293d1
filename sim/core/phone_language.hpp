#pragma once
#include <cstdint>

#include "platform/resources.h"

namespace sim {

// The language of the platform's own words (the character editor's soft keys, the call screen)
// and of the letters its keypad multi-taps: Russian words and Cyrillic letters for the Russian
// language id, English words and Latin letters for every other.
enum class PhoneLanguage { English, Russian };

constexpr PhoneLanguage phoneLanguage(std::uint8_t languageId) {
    return languageId == LANGUAGE_RUSSIAN ? PhoneLanguage::Russian : PhoneLanguage::English;
}

}  // namespace sim
