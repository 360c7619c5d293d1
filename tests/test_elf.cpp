// The loader on module files no toolchain would make: each case changes a few bytes of the
// phone's real module and says what the loader must make of it. Nothing it keeps of a file may
// grow with what the file claims.
#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "arm/elf_image.hpp"
#include "phone_module.hpp"
#include "arm/platform_calls.hpp"
#include "symbol_names.hpp"

namespace {

using sim::arm::ElfImage;
using Bytes = std::vector<std::byte>;

template <class T>
T* at(Bytes& file, std::size_t offset) {
    return reinterpret_cast<T*>(file.data() + offset);
}
// The first program header of `type`, and the dynamic entry of `tag`.
Elf32_Phdr* segment(Bytes& f, Elf32_Word type) {
    auto* ph = at<Elf32_Phdr>(f, at<Elf32_Ehdr>(f, 0)->e_phoff);
    while (ph->p_type != type) ++ph;
    return ph;
}
Elf32_Word& dynamic(Bytes& f, Elf32_Sword tag) {
    auto* d = at<Elf32_Dyn>(f, segment(f, PT_DYNAMIC)->p_offset);
    while (d->d_tag != tag) ++d;
    return d->d_un.d_val;
}

struct Case {
    const char* name;
    std::function<void(Bytes&)> change;
    const char* error;  // what parse() or else relocate() says; null when the module binds
    bool unknownImports = false;
};

const Case kCases[] = {
    {"unchanged", [](Bytes&) {}, nullptr},
    {"a segment of no memory with bytes in the file", [](Bytes& f) { segment(f, PT_LOAD)->p_memsz = 0; },
     "does not fit the file"},
    {"import names outside the image", [](Bytes& f) { dynamic(f, DT_STRTAB) = 0x7FFFFFF0; },
     "an import's name lies outside it"},
    {"every import unknown: named once, the first few in full",
     [](Bytes& f) {
         const Elf32_Phdr& code = *segment(f, PT_LOAD);
         char* names = at<char>(f, code.p_offset + dynamic(f, DT_STRTAB) - code.p_vaddr);
         for (std::size_t i = 0; i < dynamic(f, DT_STRSZ); ++i)
             if (names[i] >= 'A' && names[i] <= 'Z') names[i] = static_cast<char>(names[i] - 'A' + 'a');
     },
     " more, which the platform does not have", true},
    {"every symbol named with the same 1 MiB",
     [](Bytes& f) {
         const auto* header = at<Elf32_Ehdr>(f, 0);
         for (std::size_t i = 0; i < header->e_shnum; ++i) {
             const auto* table = at<Elf32_Shdr>(f, header->e_shoff + i * sizeof(Elf32_Shdr));
             if (table->sh_type != SHT_SYMTAB) continue;
             at<Elf32_Shdr>(f, header->e_shoff + table->sh_link * sizeof(Elf32_Shdr))->sh_offset = Elf32_Off(f.size());
             for (std::size_t s = 0; s < table->sh_size / sizeof(Elf32_Sym); ++s)
                 at<Elf32_Sym>(f, table->sh_offset + s * sizeof(Elf32_Sym))->st_name = 0;
         }
         f.resize(f.size() + (1 << 20), std::byte{'a'});
         f.push_back(std::byte{0});
     },
     nullptr},
};

TEST(ElfLoader, RefusesOrBoundsWhatAFileClaims) {
    NUV_SKIP_WITHOUT_PHONE_MODULE();
    std::ifstream in(NUV_ARM_MODULE_PATH, std::ios::binary);
    const std::vector<char> original((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(original.size(), 1000u);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Bytes file(original.size());
        std::memcpy(file.data(), original.data(), original.size());
        c.change(file);
        auto image = ElfImage::parse(std::move(file));
        std::string error = image ? "" : image.error().message;
        bool unknownImports = false;
        if (image) {
            Bytes placed(image->imageBytes());
            image->place(placed);
            const auto relocated = image->relocate(placed, sim::arm::kImageBase, [](const std::string& name) {
                return sim::arm::findPlatformFunction(name) ? std::optional<sim::arm::Address>(1) : std::nullopt;
            });
            if (!relocated)
                error = relocated.error().message,
                unknownImports = relocated.error().kind == sim::LoadError::Kind::LacksFunction;
            // A symbol's name is kept whole and short, or not at all.
            const ElfImage::Symbol* lib = image->find("Lib");
            EXPECT_EQ(lib == nullptr, std::string(c.name).find("symbol") != std::string::npos);
        }
        EXPECT_NE(error.find(c.error ? c.error : ""), std::string::npos) << error;
        EXPECT_EQ(error.empty(), c.error == nullptr) << error;
        EXPECT_EQ(unknownImports, c.unknownImports);
    }
}

}  // namespace

// A module's functions are named as a person reads them, whichever language they are in: a C++
// name demangled, a C name or anything that is no C++ name as it is.
TEST(SymbolNames, AreReadable) {
    const std::pair<const char*, const char*> cases[] = {
        {"_ZL9count_keyP13event_contextP12app_record_t", "count_key(event_context*, app_record_t*)"},
        {"_ZN7counter4drawEv", "counter::draw()"},
        {"HandleKeypress", "HandleKeypress"},
        {"_Z", "_Z"},
        {"_Zbroken(", "_Zbroken("},
        {"", ""},
    };
    for (const auto& [symbol, readable] : cases) EXPECT_EQ(sim::readableSymbol(symbol), readable) << symbol;
}
