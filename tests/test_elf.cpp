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
#include "arm/platform_calls.hpp"

namespace {

using sim::arm::ElfImage;
using Bytes = std::vector<std::byte>;

Bytes moduleFile() {
    std::ifstream in(NUV_ARM_MODULE_PATH, std::ios::binary);
    const std::vector<char> chars((std::istreambuf_iterator<char>(in)), {});
    Bytes bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    return bytes;
}

template <class T>
T* at(Bytes& file, std::size_t offset) {
    return reinterpret_cast<T*>(file.data() + offset);
}
Elf32_Phdr* programHeader(Bytes& file, Elf32_Word type) {
    const auto* header = at<Elf32_Ehdr>(file, 0);
    for (std::size_t i = 0; i < header->e_phnum; ++i)
        if (auto* ph = at<Elf32_Phdr>(file, header->e_phoff + i * sizeof(Elf32_Phdr)); ph->p_type == type) return ph;
    return nullptr;
}
Elf32_Dyn* dynamicEntry(Bytes& file, Elf32_Sword tag) {
    for (auto* d = at<Elf32_Dyn>(file, programHeader(file, PT_DYNAMIC)->p_offset); d->d_tag != DT_NULL; ++d)
        if (d->d_tag == tag) return d;
    return nullptr;
}

struct Case {
    const char* name;
    std::function<void(Bytes&)> change;
    const char* readError;      // what parse() says, or null when the file reads
    const char* relocateError;  // what relocate() says then, or null when it binds
    bool unknownImports = false;
};

const Case kCases[] = {
    {"unchanged", [](Bytes&) {}, nullptr, nullptr},
    {"a segment of no memory with bytes in the file", [](Bytes& f) { programHeader(f, PT_LOAD)->p_memsz = 0; },
     "does not fit the file", nullptr},
    {"a segment past the end of the file", [](Bytes& f) { programHeader(f, PT_LOAD)->p_offset = 0xFFFFFF00; },
     "does not fit the file", nullptr},
    {"import names outside the image", [](Bytes& f) { dynamicEntry(f, DT_STRTAB)->d_un.d_val = 0x7FFFFFF0; }, nullptr,
     "an import's name lies outside it"},
    {"every import unknown, named once, the first few in full",
     [](Bytes& f) {
         const std::size_t strtab = dynamicEntry(f, DT_STRTAB)->d_un.d_val,
                           bytes = dynamicEntry(f, DT_STRSZ)->d_un.d_val;
         const Elf32_Phdr& load = *programHeader(f, PT_LOAD);
         for (std::size_t i = 0; i < bytes; ++i) {
             auto& c = *at<char>(f, load.p_offset + strtab - load.p_vaddr + i);
             if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
         }
     },
     nullptr, " more, which the platform does not have", true},
    {"the symbols' names 1 MiB long each",
     [](Bytes& f) {
         const auto* header = at<Elf32_Ehdr>(f, 0);
         for (std::size_t i = 0; i < header->e_shnum; ++i) {
             const auto* section = at<Elf32_Shdr>(f, header->e_shoff + i * sizeof(Elf32_Shdr));
             if (section->sh_type != SHT_SYMTAB) continue;
             at<Elf32_Shdr>(f, header->e_shoff + section->sh_link * sizeof(Elf32_Shdr))->sh_offset =
                 static_cast<Elf32_Off>(f.size());
             for (std::size_t s = 0; s < section->sh_size / sizeof(Elf32_Sym); ++s)
                 at<Elf32_Sym>(f, section->sh_offset + s * sizeof(Elf32_Sym))->st_name = 0;
         }
         f.resize(f.size() + (1 << 20), std::byte{'a'});
         f.push_back(std::byte{0});
     },
     nullptr, nullptr},
};

TEST(ElfLoader, RefusesOrBoundsWhatAFileClaims) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Bytes file = moduleFile();
        ASSERT_GT(file.size(), 1000u);
        c.change(file);
        auto image = ElfImage::parse(std::move(file));
        if (c.readError) {
            ASSERT_FALSE(image);
            EXPECT_NE(image.error().message.find(c.readError), std::string::npos) << image.error().message;
            continue;
        }
        ASSERT_TRUE(image) << image.error().message;
        std::vector<std::byte> placed(image->imageBytes());
        image->place(placed);
        const auto bind = [](const std::string& name) -> std::optional<sim::arm::Address> {
            return sim::arm::findPlatformFunction(name) ? std::optional<sim::arm::Address>(0xF0000001) : std::nullopt;
        };
        const auto relocated = image->relocate(placed, sim::arm::kImageBase, bind);
        if (c.relocateError) {
            ASSERT_FALSE(relocated);
            EXPECT_NE(relocated.error().message.find(c.relocateError), std::string::npos) << relocated.error().message;
            EXPECT_EQ(relocated.error().unknownImports, c.unknownImports);
        } else {
            EXPECT_TRUE(relocated) << relocated.error().message;
        }
        // Names are kept only whole and short: a symbol's name is at most 255 bytes.
        const ElfImage::Symbol* lib = image->find("Lib");
        if (lib) {
            EXPECT_LE(lib->name.size(), ElfImage::kMostNameBytes);
        }
        EXPECT_EQ(lib == nullptr, std::string(c.name).find("symbols") != std::string::npos);
    }
}

}  // namespace
