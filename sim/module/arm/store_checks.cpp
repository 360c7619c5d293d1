// Unicorn 2.0.1 (Debian's) keeps no record of which pages of RAM hold translated code: it marks
// every writable page as one to check, so each store of the emulated CPU leaves the generated
// code and looks for translated blocks on the page it writes, to invalidate them, building and
// destroying a tree of locked pages on the way (four allocations a store). That search is two
// thirds of what a session on the phone's module costs, and it finds nothing: the module's
// memory is either code it may run or memory it may write (ArmModule maps no page as both unless
// a segment asks for it), and Unicorn translates code only from memory the module may run.
//
// So the three functions of that search (lock the pages, invalidate what lies on them, unlock)
// are defined here too: the emulator calls them through its procedure linkage table, where the
// simulator's library comes first, so these are the ones it calls. While no CPU has memory that
// its module may both write and run, a store's search ends at once; otherwise, and with any
// other version of Unicorn, each goes on to Unicorn's own. Unicorn's invalidations of a range
// (a debugger's write into the module's code, an unmapping) lock the same pages with the same
// function: those always get Unicorn's own, since they invalidate what they lock.
//
// Even a search that ends at once costs a call out of the generated code for every store, with
// Unicorn's own checks on the way (a third of a session): the writable page's entry in the TLB
// says it is still to be checked, and Unicorn never marks it checked. While stores would find
// nothing, the simulator's fill of the TLB marks a writable page's entry checked at once
// (Unicorn's tlb_set_dirty), so that its stores stay in the generated code.
//
// An unmapping flushes each page it unmaps from the emulator's TLB, one by one, each flush
// clearing its part of the cache of jumps: for the heap's window, some 17,000 pages, as much as a
// new engine costs. While a CPU unmaps all its memory (to leave its engine to the next CPU), each
// page's flush waits, and one flush of the whole TLB follows the last unmapping.
#include "store_checks.hpp"

#include <dlfcn.h>
#include <unicorn/unicorn.h>

#include <atomic>
#include <cstdint>

struct page_collection;
struct CPUState;

extern "C" page_collection* page_collection_lock_arm(uc_struct* uc, std::uint64_t start, std::uint64_t end);

namespace sim::arm {

namespace {

using Lock = page_collection* (*)(uc_struct*, std::uint64_t, std::uint64_t);
using Unlock = void (*)(page_collection*);
using InvalidateFast = void (*)(uc_struct*, page_collection*, std::uint64_t, int, std::uintptr_t);
using InvalidateRange = void (*)(uc_struct*, std::uint64_t, std::uint64_t);
using FlushPage = void (*)(CPUState*, std::uint32_t);
using FlushAll = void (*)(CPUState*);
using SetPage = void (*)(CPUState*, std::uint32_t, std::uint64_t, std::uint32_t, int, int, std::uint32_t);
using SetDirty = void (*)(CPUState*, std::uint32_t);

constexpr int kPageWrite = 2;  // of a page's protection, as the emulator gives it

// The version whose functions these signatures are: 2.0.1 of its final release.
constexpr unsigned kKnownVersion = 0x020001FF;

template <class F>
F unicorns(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

// Unicorn's own functions, found beyond the simulator's library.
struct Originals {
    Lock lock = unicorns<Lock>("page_collection_lock_arm");
    Unlock unlock = unicorns<Unlock>("page_collection_unlock_arm");
    InvalidateFast invalidateFast = unicorns<InvalidateFast>("tb_invalidate_phys_page_fast_arm");
    InvalidateRange invalidateRange = unicorns<InvalidateRange>("tb_invalidate_phys_range_arm");
    InvalidateRange invalidatePageRange = unicorns<InvalidateRange>("tb_invalidate_phys_page_range_arm");
    FlushPage flushPage = unicorns<FlushPage>("tlb_flush_page_arm");
    FlushAll flushAll = unicorns<FlushAll>("tlb_flush_arm");
    SetPage setPage = unicorns<SetPage>("tlb_set_page_with_attrs_arm");
    SetDirty setDirty = unicorns<SetDirty>("tlb_set_dirty_arm");
    bool known = uc_version(nullptr, nullptr) == kKnownVersion && lock && unlock && invalidateFast && invalidateRange &&
                 invalidatePageRange && flushPage && flushAll && setPage && setDirty;
};

const Originals& originals() {
    static const Originals found;
    return found;
}

const bool kKnownUnicorn = originals().known;
// What makes stores search besides a Unicorn of another version: the CPUs with memory their
// module may write and run, and the invalidations of a range under way on any thread (whose locks
// must be Unicorn's own).
std::atomic<int> searches{0};

// What a store's lock hands its invalidation and its unlock when its search ends at once.
char none;
page_collection* nothingLocked() { return reinterpret_cast<page_collection*>(&none); }

bool skipSearch() { return kKnownUnicorn && searches.load(std::memory_order_acquire) == 0; }

struct RangeInvalidation {
    RangeInvalidation() { ++searches; }
    ~RangeInvalidation() { --searches; }
};

// The CPU whose memory goes, while an unmapping of all of it is under way on this thread. Each
// unmapped page asks: in the initial TLS block, the ask costs no call (nor a sanitizer's check).
[[gnu::tls_model("initial-exec")]] thread_local CPUState* unmapping = nullptr;
[[gnu::tls_model("initial-exec")]] thread_local bool unmappingAll = false;

}  // namespace

bool storesSkipCodeSearch() {
    const auto self = reinterpret_cast<void*>(&page_collection_lock_arm);
    return skipSearch() && ::dlsym(RTLD_DEFAULT, "page_collection_lock_arm") == self;
}

WritableCode::WritableCode() { ++searches; }
WritableCode::~WritableCode() { --searches; }

UnmappingAll::UnmappingAll() { unmappingAll = kKnownUnicorn; }
UnmappingAll::~UnmappingAll() {
    if (unmapping) originals().flushAll(unmapping);
    unmapping = nullptr;
    unmappingAll = false;
}

}  // namespace sim::arm

using sim::arm::nothingLocked;
using sim::arm::originals;

extern "C" {

page_collection* page_collection_lock_arm(uc_struct* uc, std::uint64_t start, std::uint64_t end) {
    return sim::arm::skipSearch() ? nothingLocked() : originals().lock(uc, start, end);
}

void page_collection_unlock_arm(page_collection* pages) {
    if (pages != nothingLocked()) originals().unlock(pages);
}

void tb_invalidate_phys_page_fast_arm(uc_struct* uc, page_collection* pages, std::uint64_t start, int bytes,
                                      std::uintptr_t returnAddress) {
    if (pages != nothingLocked()) originals().invalidateFast(uc, pages, start, bytes, returnAddress);
}

// A page the CPU may write enters its TLB as one whose stores go through the search above, each a
// call out of the generated code: while that search would find nothing, it enters as written
// already, so that its stores stay in the generated code. (The emulator's hooks on writes, a
// debugger's, make every store call out all the same.) The attributes are passed as the word
// they fit in.
void tlb_set_page_with_attrs_arm(CPUState* cpu, std::uint32_t address, std::uint64_t physical, std::uint32_t attributes,
                                 int protection, int mmuIndex, std::uint32_t bytes) {
    originals().setPage(cpu, address, physical, attributes, protection, mmuIndex, bytes);
    if ((protection & sim::arm::kPageWrite) && sim::arm::skipSearch()) originals().setDirty(cpu, address);
}

void tlb_flush_page_arm(CPUState* cpu, std::uint32_t address) {
    if (sim::arm::unmappingAll && (!sim::arm::unmapping || sim::arm::unmapping == cpu))
        sim::arm::unmapping = cpu;
    else
        originals().flushPage(cpu, address);
}

void tb_invalidate_phys_range_arm(uc_struct* uc, std::uint64_t start, std::uint64_t end) {
    const sim::arm::RangeInvalidation exact;
    originals().invalidateRange(uc, start, end);
}

void tb_invalidate_phys_page_range_arm(uc_struct* uc, std::uint64_t start, std::uint64_t end) {
    const sim::arm::RangeInvalidation exact;
    originals().invalidatePageRange(uc, start, end);
}

}  // extern "C"
