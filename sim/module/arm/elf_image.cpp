#include "elf_image.hpp"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace sim::arm {

namespace {

// Far more than a phone module needs, and far below the stack.
constexpr std::size_t kMostImageBytes = 16u << 20;

// A T at `offset` of `bytes`, when it lies inside.
template <class T>
std::optional<T> at(std::span<const std::byte> bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

std::string stringAt(std::span<const std::byte> bytes, std::size_t offset) {
    std::string text;
    for (; offset < bytes.size() && bytes[offset] != std::byte{0}; ++offset) text.push_back(char(bytes[offset]));
    return text;
}

bool isArmHeader(const Elf32_Ehdr& h) {
    return std::memcmp(h.e_ident, ELFMAG, SELFMAG) == 0 && h.e_ident[EI_CLASS] == ELFCLASS32 &&
           h.e_ident[EI_DATA] == ELFDATA2LSB && h.e_machine == EM_ARM;
}

}  // namespace

bool ElfImage::isArm(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    Elf32_Ehdr header{};
    return in.read(reinterpret_cast<char*>(&header), sizeof header) && isArmHeader(header);
}

std::optional<ElfImage> ElfImage::read(const std::filesystem::path& file, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    std::error_code unknown;
    const auto bytes = std::filesystem::file_size(file, unknown);
    ElfImage image;
    image.file_.resize(in && !unknown ? bytes : 0);
    in.read(reinterpret_cast<char*>(image.file_.data()), static_cast<std::streamsize>(image.file_.size()));
    const auto header = at<Elf32_Ehdr>(image.file_, 0);
    if (!in || !header || !isArmHeader(*header) || header->e_type != ET_DYN) {
        error = file.string() + " is no 32-bit ARM module (an ELF shared object)";
        return std::nullopt;
    }
    image.entry_ = header->e_entry;
    if (!image.readSegments(error)) {
        error = file.string() + ": " + error;
        return std::nullopt;
    }
    image.readSymbols();
    return image;
}

bool ElfImage::readSegments(std::string& error) {
    const Elf32_Ehdr header = *at<Elf32_Ehdr>(file_, 0);
    for (std::size_t i = 0; i < header.e_phnum; ++i) {
        const auto ph = at<Elf32_Phdr>(file_, header.e_phoff + i * sizeof(Elf32_Phdr));
        if (!ph) {
            error = "its program headers lie outside the file";
            return false;
        }
        if (ph->p_type == PT_DYNAMIC) dynamic_ = ph->p_vaddr;
        if (ph->p_type != PT_LOAD || ph->p_memsz == 0) continue;
        const std::size_t end = std::size_t{ph->p_vaddr} + ph->p_memsz;
        if (ph->p_filesz > ph->p_memsz || std::size_t{ph->p_offset} + ph->p_filesz > file_.size() ||
            end > kMostImageBytes) {
            error = "a segment does not fit the file or the loader's " + std::to_string(kMostImageBytes >> 20) + " MiB";
            return false;
        }
        segments_.push_back({ph->p_vaddr, ph->p_memsz, (ph->p_flags & PF_W) != 0, (ph->p_flags & PF_X) != 0});
        imageBytes_ = std::max(imageBytes_, end);
    }
    if (segments_.empty() || !dynamic_ || entry_ >= imageBytes_) {
        error = "it has no loadable code, no dynamic section or no entry inside it";
        return false;
    }
    return true;
}

void ElfImage::place(std::span<std::byte> image) const {
    const Elf32_Ehdr header = *at<Elf32_Ehdr>(file_, 0);
    for (std::size_t i = 0; i < header.e_phnum; ++i) {
        const Elf32_Phdr ph = *at<Elf32_Phdr>(file_, header.e_phoff + i * sizeof(Elf32_Phdr));
        if (ph.p_type == PT_LOAD) std::memcpy(image.data() + ph.p_vaddr, file_.data() + ph.p_offset, ph.p_filesz);
    }
}

bool ElfImage::relocate(std::span<std::byte> image, Address base, const Binder& bind, std::string& error) const {
    // The dynamic section, the relocations and the dynamic symbols lie in the placed image.
    Elf32_Addr rel = 0, relBytes = 0, pltRel = 0, pltRelBytes = 0, symtab = 0, strtab = 0;
    for (std::size_t offset = dynamic_;; offset += sizeof(Elf32_Dyn)) {
        const auto d = at<Elf32_Dyn>(image, offset);
        if (!d || d->d_tag == DT_NULL) break;
        const Elf32_Addr value = d->d_un.d_val;
        switch (d->d_tag) {
        case DT_REL: rel = value; break;
        case DT_RELSZ: relBytes = value; break;
        case DT_JMPREL: pltRel = value; break;
        case DT_PLTRELSZ: pltRelBytes = value; break;
        case DT_SYMTAB: symtab = value; break;
        case DT_STRTAB: strtab = value; break;
        default: break;
        }
    }
    std::vector<std::string> missing;
    bool applied = true;
    const auto apply = [&](const Elf32_Rel& r) {
        const auto word = at<std::uint32_t>(image, r.r_offset);
        const auto sym = at<Elf32_Sym>(image, symtab + ELF32_R_SYM(r.r_info) * sizeof(Elf32_Sym));
        if (!word || !sym) return false;
        std::uint32_t symbolValue = base + sym->st_value;
        if (ELF32_R_SYM(r.r_info) != 0 && sym->st_shndx == SHN_UNDEF) {
            const std::string name = stringAt(image, strtab + sym->st_name);
            const auto bound = bind(name);
            if (!bound && ELF32_ST_BIND(sym->st_info) != STB_WEAK) missing.push_back(name);
            symbolValue = bound.value_or(0);
        }
        std::uint32_t value;
        switch (ELF32_R_TYPE(r.r_info)) {
        case R_ARM_NONE: return true;
        case R_ARM_RELATIVE: value = *word + base; break;
        case R_ARM_ABS32: value = *word + symbolValue; break;
        case R_ARM_GLOB_DAT:
        case R_ARM_JUMP_SLOT: value = symbolValue; break;
        default:
            error = "relocation type " + std::to_string(ELF32_R_TYPE(r.r_info)) + " is not one the loader applies";
            return false;
        }
        std::memcpy(image.data() + r.r_offset, &value, sizeof value);
        return true;
    };
    for (const auto& [table, bytes] : {std::pair{rel, relBytes}, std::pair{pltRel, pltRelBytes}}) {
        for (std::size_t offset = 0; applied && offset + sizeof(Elf32_Rel) <= bytes; offset += sizeof(Elf32_Rel)) {
            const auto r = at<Elf32_Rel>(image, table + offset);
            applied = r && apply(*r);
        }
    }
    if (!missing.empty()) {
        error = "the module imports";
        for (std::size_t i = 0; i < missing.size(); ++i) error += (i ? ", " : " ") + missing[i];
        error += ", which the platform does not have";
        return false;
    }
    if (!applied && error.empty()) error = "a relocation lies outside the module";
    return applied;
}

void ElfImage::readSymbols() {
    const Elf32_Ehdr header = *at<Elf32_Ehdr>(file_, 0);
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const auto section = at<Elf32_Shdr>(file_, header.e_shoff + i * sizeof(Elf32_Shdr));
        if (!section || section->sh_type != SHT_SYMTAB) continue;
        const auto strings = at<Elf32_Shdr>(file_, header.e_shoff + section->sh_link * sizeof(Elf32_Shdr));
        for (std::size_t offset = 0; strings && offset + sizeof(Elf32_Sym) <= section->sh_size;
             offset += sizeof(Elf32_Sym)) {
            const auto sym = at<Elf32_Sym>(file_, section->sh_offset + offset);
            if (!sym) break;
            const int type = ELF32_ST_TYPE(sym->st_info);
            if ((type != STT_FUNC && type != STT_OBJECT) || sym->st_shndx == SHN_UNDEF) continue;
            const bool function = type == STT_FUNC;
            symbols_.push_back({stringAt(file_, strings->sh_offset + sym->st_name),
                                function ? sym->st_value & ~1u : sym->st_value, sym->st_size, function});
        }
    }
    readPltEntries();
    std::sort(symbols_.begin(), symbols_.end(), [](const Symbol& a, const Symbol& b) { return a.offset < b.offset; });
}

// The entries of the procedure linkage table, through which the module calls the platform: each
// is named after the import it calls ("u_strlen@plt"), in the order of the table's relocations,
// after the table's first entry of 20 bytes.
void ElfImage::readPltEntries() {
    const Elf32_Ehdr header = *at<Elf32_Ehdr>(file_, 0);
    const auto sectionAt = [&](std::size_t index) {
        return at<Elf32_Shdr>(file_, header.e_shoff + index * sizeof(Elf32_Shdr));
    };
    const auto names = sectionAt(header.e_shstrndx);
    std::optional<Elf32_Shdr> plt, relocations;
    for (std::size_t i = 0; names && i < header.e_shnum; ++i) {
        const auto section = sectionAt(i);
        if (!section) return;
        const std::string name = stringAt(file_, names->sh_offset + section->sh_name);
        if (name == ".plt") plt = section;
        if (name == ".rel.plt") relocations = section;
    }
    constexpr std::size_t kFirstEntryBytes = 20;
    if (!plt || !relocations || relocations->sh_size < sizeof(Elf32_Rel) || plt->sh_size <= kFirstEntryBytes) return;
    const std::size_t entries = relocations->sh_size / sizeof(Elf32_Rel);
    const std::size_t entryBytes = (plt->sh_size - kFirstEntryBytes) / entries;
    const auto symbols = sectionAt(relocations->sh_link);
    const auto strings = symbols ? sectionAt(symbols->sh_link) : std::nullopt;
    if (!strings || entryBytes == 0) return;
    for (std::size_t i = 0; i < entries; ++i) {
        const auto r = at<Elf32_Rel>(file_, relocations->sh_offset + i * sizeof(Elf32_Rel));
        const auto sym =
            r ? at<Elf32_Sym>(file_, symbols->sh_offset + ELF32_R_SYM(r->r_info) * sizeof(Elf32_Sym)) : std::nullopt;
        if (!sym) return;
        symbols_.push_back({stringAt(file_, strings->sh_offset + sym->st_name) + "@plt",
                            static_cast<Address>(plt->sh_addr + kFirstEntryBytes + i * entryBytes),
                            static_cast<std::uint32_t>(entryBytes), true});
    }
}

const ElfImage::Symbol* ElfImage::find(std::string_view name) const {
    const auto found = std::find_if(symbols_.begin(), symbols_.end(), [&](const Symbol& s) { return s.name == name; });
    return found == symbols_.end() ? nullptr : &*found;
}

const ElfImage::Symbol* ElfImage::nearest(Address offset) const {
    const auto after = std::upper_bound(symbols_.begin(), symbols_.end(), offset,
                                        [](Address o, const Symbol& s) { return o < s.offset; });
    return after == symbols_.begin() ? nullptr : &*std::prev(after);
}

}  // namespace sim::arm
