#include "host_symbols.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <gelf.h>
#include <libelf.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "symbol_names.hpp"

namespace sim {

namespace {

// A file descriptor, closed when it goes.
struct OpenFile {
    explicit OpenFile(int descriptor) : fd(descriptor) {}
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd;
};

struct ElfEnd {
    void operator()(Elf* elf) const { elf_end(elf); }
};

// The symbol table's section: the full one when the file has it, else the exported symbols.
Elf_Scn* symbolSection(Elf* elf, GElf_Shdr& header) {
    Elf_Scn* dynamic = nullptr;
    GElf_Shdr dynamicHeader{};
    for (Elf_Scn* section = elf_nextscn(elf, nullptr); section; section = elf_nextscn(elf, section)) {
        GElf_Shdr h{};
        if (!gelf_getshdr(section, &h)) continue;
        if (h.sh_type == SHT_SYMTAB) {
            header = h;
            return section;
        }
        if (h.sh_type == SHT_DYNSYM) dynamic = section, dynamicHeader = h;
    }
    header = dynamicHeader;
    return dynamic;
}

}  // namespace

// A module is loaded again and again from one file (each phone of a suite, each input of a
// fuzzer): its names are read once for as long as the file stays the same.
HostSymbols HostSymbols::read(const std::filesystem::path& file, std::uintptr_t bias) {
    struct stat status {};
    const bool known = ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    const FileKey key{file.string(), status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec,
                      status.st_mtim.tv_nsec};
    static std::mutex mutex;
    static FileKey lastKey;
    static std::shared_ptr<const Functions> last;
    HostSymbols symbols;
    symbols.bias_ = bias;
    {
        const std::lock_guard lock(mutex);
        if (known && last && key == lastKey) {
            symbols.functions_ = last;
            return symbols;
        }
    }
    symbols.functions_ = std::make_shared<const Functions>(readFile(file));
    if (known) {
        const std::lock_guard lock(mutex);
        lastKey = key;
        last = symbols.functions_;
    }
    return symbols;
}

HostSymbols::Functions HostSymbols::readFile(const std::filesystem::path& file) {
    Functions symbols;
    if (elf_version(EV_CURRENT) == EV_NONE) return symbols;
    // O_NONBLOCK: the module was loaded from this very file, but a FIFO put in its place since
    // must not hold the simulator.
    const OpenFile opened(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (opened.fd < 0) return symbols;
    const std::unique_ptr<Elf, ElfEnd> elf(elf_begin(opened.fd, ELF_C_READ, nullptr));
    if (!elf || elf_kind(elf.get()) != ELF_K_ELF) return symbols;
    GElf_Shdr header{};
    Elf_Scn* section = symbolSection(elf.get(), header);
    Elf_Data* data = section ? elf_getdata(section, nullptr) : nullptr;
    if (!data || header.sh_entsize == 0) return symbols;
    const std::size_t count = std::min<std::size_t>(header.sh_size / header.sh_entsize, kMostFunctions);
    for (std::size_t i = 0; i < count; ++i) {
        GElf_Sym symbol{};
        if (!gelf_getsym(data, static_cast<int>(i), &symbol)) break;
        if (GELF_ST_TYPE(symbol.st_info) != STT_FUNC || symbol.st_shndx == SHN_UNDEF || symbol.st_value == 0) continue;
        const char* name = elf_strptr(elf.get(), header.sh_link, symbol.st_name);
        if (!name || !*name) continue;
        symbols.push_back(
            {symbol.st_value, symbol.st_size, readableSymbol(std::string(name, ::strnlen(name, kLongestName)))});
    }
    std::sort(symbols.begin(), symbols.end(),
              [](const Function& a, const Function& b) { return a.start < b.start; });
    return symbols;
}

std::string HostSymbols::nameOf(std::uintptr_t at) const {
    if (!functions_ || at < bias_) return "";
    const std::uintptr_t address = at - bias_;
    const auto after = std::upper_bound(functions_->begin(), functions_->end(), address,
                                        [](std::uintptr_t a, const Function& f) { return a < f.start; });
    if (after == functions_->begin()) return "";
    const Function& function = *std::prev(after);
    const std::uintptr_t within = address - function.start;
    if (within == 0) return function.name;
    if (within >= function.size) return "";
    char offset[24];
    std::snprintf(offset, sizeof offset, "+0x%zX", static_cast<std::size_t>(within));
    return function.name + offset;
}

}  // namespace sim
