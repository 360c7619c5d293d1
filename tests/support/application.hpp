#pragma once
// nuv-oka as the tests, benchmarks and fuzzers drive it: its name, its file on the phone, and
// the description the build puts beside its module (src/nuv-oka.desc).
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "description.hpp"

namespace nuvoka {

inline constexpr const char* kName = "nuv-oka";
inline constexpr const char* kAppPath = "/elf/nuv-oka.elf";

inline const runner::ModuleDescription& description() {
    static const runner::ModuleDescription read = [] {
        std::ifstream in(NUV_APP_DESCRIPTION);
        auto parsed = runner::parseDescription(in, NUV_APP_DESCRIPTION);
        if (!in.is_open() || !parsed) {
            std::cerr << "cannot read the application's description " << NUV_APP_DESCRIPTION << "\n";
            std::abort();
        }
        return *parsed;
    }();
    return read;
}

inline sim::TypingFilter typing() { return runner::typingFilter(description().typing); }

}  // namespace nuvoka
