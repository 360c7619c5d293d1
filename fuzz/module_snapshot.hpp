#pragma once
// Keeps an application module loaded for a whole fuzzing run and puts its globals back to what
// they were at load before each input, as a fresh load would: the coverage counters inside the
// module stay where the fuzzer found them, and no input sees what the one before left.
#include <dlfcn.h>
#include <link.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

class ModuleSnapshot {
public:
    explicit ModuleSnapshot(const char* module) : handle_(::dlopen(module, RTLD_NOW | RTLD_LOCAL)) {
        link_map* map = nullptr;
        if (!handle_ || ::dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0) std::abort();
        base_ = map->l_addr;
        ::dl_iterate_phdr(&ModuleSnapshot::record, this);
        if (pieces_.empty()) std::abort();
    }
    ModuleSnapshot(const ModuleSnapshot&) = delete;
    ModuleSnapshot& operator=(const ModuleSnapshot&) = delete;

    void restore() const {
        for (const Piece& p : pieces_)
            copy(p.bytes.data(), reinterpret_cast<unsigned char*>(p.address), p.bytes.size());
    }

private:
    struct Piece {
        std::uintptr_t address;
        std::vector<unsigned char> bytes;
    };

    // A plain copy that AddressSanitizer does not check, since the segments hold the poisoned
    // space between the module's globals as well, and that counts for no coverage of its own.
    __attribute__((noinline, no_sanitize("address", "coverage"))) static void copy(const unsigned char* from,
                                                                                   unsigned char* to, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    }

    // The writable segments of the module, but for the part made read-only after relocation.
    static int record(dl_phdr_info* info, std::size_t, void* self) {
        auto& snapshot = *static_cast<ModuleSnapshot*>(self);
        if (info->dlpi_addr != snapshot.base_) return 0;
        std::uintptr_t relroStart = 0, relroEnd = 0;
        for (int i = 0; i < info->dlpi_phnum; ++i)
            if (info->dlpi_phdr[i].p_type == PT_GNU_RELRO) {
                relroStart = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
                relroEnd = relroStart + info->dlpi_phdr[i].p_memsz;
            }
        for (int i = 0; i < info->dlpi_phnum; ++i) {
            const ElfW(Phdr)& h = info->dlpi_phdr[i];
            if (h.p_type != PT_LOAD || !(h.p_flags & PF_W)) continue;
            std::uintptr_t start = info->dlpi_addr + h.p_vaddr, end = start + h.p_memsz;
            if (start >= relroStart && start < relroEnd) start = relroEnd;
            if (start >= end) continue;
            Piece piece{start, std::vector<unsigned char>(end - start)};
            copy(reinterpret_cast<const unsigned char*>(start), piece.bytes.data(), piece.bytes.size());
            snapshot.pieces_.push_back(std::move(piece));
        }
        return 0;
    }

    void* handle_;
    std::uintptr_t base_ = 0;
    std::vector<Piece> pieces_;
};
