// The application's conversions on any input: the editor's 16-bit text to CP1251 takes at most 50
// characters and a zero, and every file byte maps to a code the font can draw.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/host_module.hpp"
#include "platform/types.h"

namespace {
// The module, loaded once: the conversions keep no state.
const sim::Module& loaded() {
    static sim::Watchdog unarmed{std::chrono::milliseconds(0)};
    static const auto module = sim::HostModule::open(NUV_MODULE_PATH, unarmed);
    if (!module) std::abort();
    return **module;
}
template <class Fn>
Fn* function(const char* name) {
    return reinterpret_cast<Fn*>(loaded().symbol(name));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* toCp1251 = function<void(const WCHAR*, char*)>("UCS2toCP1251");
    static auto* newWin = function<UINT8(UINT8)>("new_win");
    if (!toCp1251 || !newWin) std::abort();
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    const std::u16string text(units.c_str());  // up to its first zero, as the editor hands it over
    char out[51];
    toCp1251(reinterpret_cast<const WCHAR*>(text.c_str()), out);
    if (std::char_traits<char>::length(out) != std::min<std::size_t>(text.size(), 50)) std::abort();
    for (std::size_t i = 0; i < size; ++i) {
        const UINT8 code = newWin(data[i]);
        if (code < 0x20 || (code >= 0x7F && code < 0xC0)) std::abort();
    }
    return 0;
}
