#include "elf_image.hpp"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace sim::arm {

namespace {

// A T at `offset` of `bytes`, when it lies inside.
template <class T>
std::optional<T> at(std::span<const std::byte> bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

// The zero-terminated name at `offset`, when it lies inside `bytes` and is no longer than
// ElfImage::kMostNameBytes.
std::optional<std::string> nameAt(std::span<const std::byte> bytes, std::size_t offset) {
    if (offset >= bytes.size()) return std::nullopt;
    const auto rest = bytes.subspan(offset, std::min(bytes.size() - offset, ElfImage::kMostNameBytes + 1));
    const auto end = std::find(rest.begin(), rest.end(), std::byte{0});
    if (end == rest.end()) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(rest.data()), static_cast<std::size_t>(end - rest.begin()));
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

sim::Result<ElfImage> ElfImage::read(const std::filesystem::path& file) {
    const auto refused = [&](const std::string& why) {
        return sim::failure(file.string() + " is no module the phone can load: " + why);
    };
    std::ifstream in(file, std::ios::binary);
    std::error_code unknown;
    const auto bytes = std::filesystem::file_size(file, unknown);
    if (!in || unknown) return refused("it cannot be read");
    if (bytes > kMostFileBytes) return refused("it is larger than " + std::to_string(kMostFileBytes >> 20) + " MiB");
    std::vector<std::byte> content(bytes);
    in.read(reinterpret_cast<char*>(content.data()), static_cast<std::streamsize>(content.size()));
    if (!in) return refused("it cannot be read");
    auto image = parse(std::move(content));
    if (!image) return refused(image.error().message);
    return image;
}

sim::Result<ElfImage> ElfImage::parse(std::vector<std::byte> file) {
    ElfImage image;
    image.file_ = std::move(file);
    const auto header = at<Elf32_Ehdr>(image.file_, 0);
    if (!header || !isArmHeader(*header) || header->e_type != ET_DYN)
        return sim::failure("it is no 32-bit ARM ELF shared object");
    image.entry_ = header->e_entry;
    if (auto placed = image.readSegments(); !placed) return tl::unexpected(placed.error());
    image.readSymbols();
    return image;
}

sim::Result<void> ElfImage::readSegments() {
    const Elf32_Ehdr header = *at<Elf32_Ehdr>(file_, 0);
    for (std::size_t i = 0; i < header.e_phnum; ++i) {
        const auto ph = at<Elf32_Phdr>(file_, header.e_phoff + i * sizeof(Elf32_Phdr));
        if (!ph) return sim::failure("its program headers lie outside the file");
        if (ph->p_type == PT_DYNAMIC) dynamic_ = ph->p_vaddr;
        if (ph->p_type != PT_LOAD || (ph->p_memsz == 0 && ph->p_filesz == 0)) continue;
        const std::size_t end = std::size_t{ph->p_vaddr} + ph->p_memsz;
        if (ph->p_filesz > ph->p_memsz || std::size_t{ph->p_offset} + ph->p_filesz > file_.size() ||
            end > kMostImageBytes)
            return sim::failure("a segment does not fit the file or the loader's " +
                                std::to_string(kMostImageBytes >> 20) + " MiB");
        segments_.push_back({ph->p_vaddr, ph->p_memsz, (ph->p_flags & PF_W) != 0, (ph->p_flags & PF_X) != 0,
                             ph->p_offset, ph->p_filesz});
        imageBytes_ = std::max(imageBytes_, end);
    }
    if (segments_.empty() || !dynamic_ || entry_ >= imageBytes_)
        return sim::failure("it has no loadable code, no dynamic section or no entry inside it");
    return {};
}

namespace {

// Where the dynamic section of an image placed in memory says its tables lie.
struct DynamicTables {
    Elf32_Addr rel = 0, relBytes = 0, pltRel = 0, pltRelBytes = 0, symtab = 0, strtab = 0;
};

DynamicTables dynamicTables(std::span<const std::byte> image, std::size_t dynamic) {
    DynamicTables t;
    for (std::size_t offset = dynamic;; offset += sizeof(Elf32_Dyn)) {
        const auto d = at<Elf32_Dyn>(image, offset);
        if (!d || d->d_tag == DT_NULL) break;
        const Elf32_Addr value = d->d_un.d_val;
        switch (d->d_tag) {
        case DT_REL: t.rel = value; break;
        case DT_RELSZ: t.relBytes = value; break;
        case DT_JMPREL: t.pltRel = value; break;
        case DT_PLTRELSZ: t.pltRelBytes = value; break;
        case DT_SYMTAB: t.symtab = value; break;
        case DT_STRTAB: t.strtab = value; break;
        default: break;
        }
    }
    return t;
}

}  // namespace

void ElfImage::place(std::span<std::byte> image) const {
    for (const Segment& s : segments_) std::memcpy(image.data() + s.offset, file_.data() + s.fileOffset, s.fileBytes);
}

sim::Result<void, LoadError> ElfImage::relocate(std::span<std::byte> image, Address base, const Binder& bind) const {
    // The dynamic section, the relocations and the dynamic symbols lie in the placed image.
    const DynamicTables tables = dynamicTables(image, dynamic_);
    const Elf32_Addr symtab = tables.symtab, strtab = tables.strtab;
    // Each import the platform lacks is named once, the first few of them in full.
    constexpr std::size_t kNamed = 8;
    std::vector<std::string> missing;
    std::size_t moreMissing = 0;
    std::string problem;
    const auto apply = [&](const Elf32_Rel& r) {
        const auto word = at<std::uint32_t>(image, r.r_offset);
        const auto sym = at<Elf32_Sym>(image, symtab + std::size_t{ELF32_R_SYM(r.r_info)} * sizeof(Elf32_Sym));
        if (!word || !sym) return false;
        std::uint32_t symbolValue = base + sym->st_value;
        if (ELF32_R_SYM(r.r_info) != 0 && sym->st_shndx == SHN_UNDEF) {
            const auto name = nameAt(image, std::size_t{strtab} + sym->st_name);
            if (!name) {
                problem =
                    "an import's name lies outside it or is longer than " + std::to_string(kMostNameBytes) + " bytes";
                return false;
            }
            const auto bound = bind(*name);
            if (!bound && ELF32_ST_BIND(sym->st_info) != STB_WEAK &&
                std::find(missing.begin(), missing.end(), *name) == missing.end()) {
                if (missing.size() < kNamed)
                    missing.push_back(*name);
                else
                    ++moreMissing;  // may count a name twice: only the first few are told apart
            }
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
            problem = "relocation type " + std::to_string(ELF32_R_TYPE(r.r_info)) + " is not one the loader applies";
            return false;
        }
        std::memcpy(image.data() + r.r_offset, &value, sizeof value);
        return true;
    };
    bool applied = true;
    for (const auto& [table, bytes] : {std::pair{tables.rel, tables.relBytes}, std::pair{tables.pltRel, tables.pltRelBytes}}) {
        for (std::size_t offset = 0; applied && offset + sizeof(Elf32_Rel) <= bytes; offset += sizeof(Elf32_Rel)) {
            const auto r = at<Elf32_Rel>(image, table + offset);
            applied = r && apply(*r);
        }
    }
    if (!applied) return tl::unexpected(
            LoadError{LoadError::Kind::NoModule, problem.empty() ? "a relocation lies outside it" : problem});
    if (missing.empty()) return {};
    std::string message = "the module imports";
    for (std::size_t i = 0; i < missing.size(); ++i) message += (i ? ", " : " ") + missing[i];
    if (moreMissing) message += " and " + std::to_string(moreMissing) + " more";
    return tl::unexpected(LoadError{LoadError::Kind::LacksFunction, message + ", which the platform does not have"});
}

// The symbols' names take at most kMostSymbolNameBytes together: a file whose symbols share
// one long name costs no more than one with names of their own.
void ElfImage::readSymbols() {
    const Elf32_Ehdr header = *at<Elf32_Ehdr>(file_, 0);
    std::size_t nameBytes = 0;
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const auto section = at<Elf32_Shdr>(file_, header.e_shoff + i * sizeof(Elf32_Shdr));
        if (!section || section->sh_type != SHT_SYMTAB) continue;
        const auto strings = at<Elf32_Shdr>(file_, header.e_shoff + std::size_t{section->sh_link} * sizeof(Elf32_Shdr));
        for (std::size_t offset = 0; strings && offset + sizeof(Elf32_Sym) <= section->sh_size;
             offset += sizeof(Elf32_Sym)) {
            const auto sym = at<Elf32_Sym>(file_, std::size_t{section->sh_offset} + offset);
            if (!sym || symbols_.size() == kMostSymbols) break;
            const int type = ELF32_ST_TYPE(sym->st_info);
            if ((type != STT_FUNC && type != STT_OBJECT) || sym->st_shndx == SHN_UNDEF) continue;
            auto name = nameAt(file_, std::size_t{strings->sh_offset} + sym->st_name);
            if (!name || nameBytes + name->size() > kMostSymbolNameBytes) continue;
            nameBytes += name->size();
            const bool function = type == STT_FUNC;
            symbols_.push_back(
                {std::move(*name), function ? sym->st_value & ~1u : sym->st_value, sym->st_size, function});
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
        const auto name = nameAt(file_, std::size_t{names->sh_offset} + section->sh_name);
        if (name == ".plt") plt = section;
        if (name == ".rel.plt") relocations = section;
    }
    constexpr std::size_t kFirstEntryBytes = 20;
    if (!plt || !relocations || relocations->sh_size < sizeof(Elf32_Rel) || plt->sh_size <= kFirstEntryBytes) return;
    const std::size_t entries = std::min<std::size_t>(relocations->sh_size / sizeof(Elf32_Rel), kMostSymbols);
    const std::size_t entryBytes = (plt->sh_size - kFirstEntryBytes) / entries;
    const auto symbols = sectionAt(relocations->sh_link);
    const auto strings = symbols ? sectionAt(symbols->sh_link) : std::nullopt;
    if (!strings || entryBytes == 0) return;
    for (std::size_t i = 0; i < entries; ++i) {
        const auto r = at<Elf32_Rel>(file_, relocations->sh_offset + i * sizeof(Elf32_Rel));
        const auto sym =
            r ? at<Elf32_Sym>(file_, symbols->sh_offset + ELF32_R_SYM(r->r_info) * sizeof(Elf32_Sym)) : std::nullopt;
        const auto name = sym ? nameAt(file_, std::size_t{strings->sh_offset} + sym->st_name) : std::nullopt;
        if (!name || symbols_.size() == kMostSymbols) return;
        symbols_.push_back({*name + "@plt", static_cast<Address>(plt->sh_addr + kFirstEntryBytes + i * entryBytes),
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
