#include "profile.hpp"

#include <string_view>

namespace runner {

namespace {

constexpr StateName kStates[] = {{"init", 1}, {"main", 2}, {"edit", 3}};

// The application reads code units U+0080 to U+00FF as the CP1251 bytes of the same value, so a
// typed character that CP1251 holds at another place ("é" is its "й") is entered as "?", as the
// phone's keypad could never give it; the rest are entered as they are.
char16_t typedAsCp1251Reads(char16_t c) {
    // CP1251's bytes from 0x80 that stand for the character of the same code.
    static constexpr std::u16string_view kSameInCp1251 =
        u"\u00A0\u00A4\u00A6\u00A7\u00A9\u00AB\u00AC\u00AD\u00AE\u00B0\u00B1\u00B5\u00B6\u00B7\u00BB";
    if (c < 0x80 || c > 0xFF || kSameInCp1251.find(c) != std::u16string_view::npos) return c;
    return u'?';
}

constexpr Profile kApplication{"nuv-oka", "nuv-oka.so", "/elf/nuv-oka.elf", kStates, typedAsCp1251Reads};

}  // namespace

const Profile& application() { return kApplication; }

std::filesystem::path moduleBesideThisProgram() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::current_path() : self.parent_path()) / application().moduleFile;
}

}  // namespace runner

namespace runner {

// The build names it; a build without the emulated CPU (the web page) has none beside it.
#ifndef NUV_ARM_MODULE_PATH
#define NUV_ARM_MODULE_PATH "build-arm/nuv-oka.elf"
#endif
std::filesystem::path phoneModuleOfThisBuild() { return NUV_ARM_MODULE_PATH; }

}  // namespace runner
