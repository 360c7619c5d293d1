#include "cpu.hpp"

#include <unicorn/unicorn.h>

#include <algorithm>
#include <stdexcept>
#include <optional>
#include <string>
#include <utility>

namespace sim::arm {

namespace {

constexpr int kRegisterIds[] = {
    UC_ARM_REG_R0,  UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3, UC_ARM_REG_R4,   UC_ARM_REG_R5,
    UC_ARM_REG_R6,  UC_ARM_REG_R7, UC_ARM_REG_R8, UC_ARM_REG_R9, UC_ARM_REG_R10,  UC_ARM_REG_R11,
    UC_ARM_REG_R12, UC_ARM_REG_SP, UC_ARM_REG_LR, UC_ARM_REG_PC, UC_ARM_REG_CPSR,
};
constexpr std::uint32_t kThumbState = 1u << 5;
constexpr int kSaved = std::tuple_size_v<Cpu::Registers>;

int id(Reg reg) { return kRegisterIds[static_cast<int>(reg)]; }

void check(uc_err err, const char* what) {
    if (err != UC_ERR_OK) throw std::runtime_error(std::string(what) + ": " + uc_strerror(err));
}

const char* faultOf(uc_err err) {
    switch (err) {
    case UC_ERR_READ_UNMAPPED:
    case UC_ERR_READ_PROT: return "read from an address it does not own";
    case UC_ERR_WRITE_UNMAPPED: return "wrote to an address it does not own";
    case UC_ERR_WRITE_PROT: return "wrote to its own code or constants";
    case UC_ERR_FETCH_PROT: return "jumped into data";
    case UC_ERR_READ_UNALIGNED:
    case UC_ERR_WRITE_UNALIGNED:
    case UC_ERR_FETCH_UNALIGNED: return "made an unaligned access";
    case UC_ERR_INSN_INVALID: return "ran an instruction the ARM926 does not have";
    case UC_ERR_EXCEPTION: return "raised an exception (a software interrupt or a breakpoint)";
    default: return "stopped the CPU";
    }
}

Stop::Fault kindOf(uc_err err) {
    switch (err) {
    case UC_ERR_INSN_INVALID:
    case UC_ERR_EXCEPTION: return Stop::Fault::Instruction;
    case UC_ERR_READ_UNALIGNED:
    case UC_ERR_WRITE_UNALIGNED:
    case UC_ERR_FETCH_UNALIGNED: return Stop::Fault::Alignment;
    default: return Stop::Fault::Memory;
    }
}

}  // namespace

// A new engine costs more than most runs of a module on it (its translator, its memory and its
// objects: milliseconds, more under the sanitizers), so the engine a CPU leaves is kept for the
// next CPU made on the thread: without its memory and the code translated from it, and with the
// state it had when new (every register, the coprocessors' included). Its hooks stay: they reach
// the CPU it serves through its Binding, so that reusing it allocates nothing.
struct Cpu::Binding {
    Cpu* cpu = nullptr;
    uc_context* fresh = nullptr;  // the engine's state when it was new
    uc_hook trapHook = 0;
    std::uint64_t trapFirst = 1, trapLast = 0;
    ~Binding() {
        if (fresh) uc_context_free(fresh);
    }
};

struct Cpu::Spare {
    std::unique_ptr<uc_struct, Close> uc;
    std::unique_ptr<Binding> binding;
    std::optional<Kept> kept;
};

namespace {
thread_local std::optional<Cpu::Spare> spare;
}

Cpu::Cpu() {
    if (spare) {
        uc_ = std::move(spare->uc);
        binding_ = std::move(spare->binding);
        kept_ = spare->kept;
        spare.reset();
        binding_->cpu = this;
        return;
    }
    uc_engine* uc = nullptr;
    check(uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc), "cannot start the ARM emulator");
    uc_.reset(uc);
    binding_ = std::make_unique<Binding>();
    binding_->cpu = this;
    check(uc_ctl_set_cpu_model(uc, UC_CPU_ARM_926), "the emulator has no ARM926");
    check(uc_context_alloc(uc, &binding_->fresh), "cannot keep the emulator's state");
    check(uc_context_save(uc, binding_->fresh), "cannot keep the emulator's state");
    uc_hook hook;
    // The module's own code, up to where the platform's functions lie.
    check(uc_hook_add(uc, &hook, UC_HOOK_BLOCK, reinterpret_cast<void*>(&Cpu::countBlock), binding_.get(), 0,
                      kPlatformFunctionsBase - 1),
          "cannot count instructions");
    check(uc_hook_add(uc, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(&Cpu::noteFault), binding_.get(), 1, 0),
          "cannot watch memory faults");
}

Cpu::~Cpu() {
    observe(nullptr);
    uc_struct* uc = uc_.get();
    // The code translated from memory the CPU could run goes first: the next CPU's memory may lie
    // at the same addresses, where the engine would find it. (A flush of all the translated code
    // would clear the whole buffer it lies in, far more than a module translates.)
    uc_mem_region* regions = nullptr;
    std::uint32_t count = 0;
    bool reset = uc_mem_regions(uc, &regions, &count) == UC_ERR_OK;
    // The largest memory the module could not run stays mapped for the next CPU (Kept).
    std::optional<Kept> keep;
    for (std::uint32_t i = 0; reset && i < count; ++i) {
        const uc_mem_region& r = regions[i];
        const std::size_t bytes = r.end - r.begin + 1;
        std::byte* host = hostOf(static_cast<Address>(r.begin), bytes);
        if (host && !(r.perms & UC_PROT_EXEC) && (!keep || bytes > keep->bytes))
            keep = Kept{static_cast<Address>(r.begin), host, bytes, r.perms};
    }
    for (std::uint32_t i = 0; reset && i < count; ++i)
        if (regions[i].perms & UC_PROT_EXEC)
            reset = uc_ctl_remove_cache(uc, regions[i].begin, regions[i].end + 1) == UC_ERR_OK;
    // The largest first (the heap's window): the emulator rebuilds its map of what remains after each.
    std::sort(regions, regions + count,
              [](const uc_mem_region& a, const uc_mem_region& b) { return a.end - a.begin > b.end - b.begin; });
    {
        const UnmappingAll unmapping;
        for (std::uint32_t i = 0; reset && i < count; ++i) {
            if (keep && regions[i].begin == keep->address) continue;
            reset = uc_mem_unmap(uc, regions[i].begin, regions[i].end - regions[i].begin + 1) == UC_ERR_OK;
        }
    }
    uc_free(regions);
    if (reset && !spare && uc_context_restore(uc, binding_->fresh) == UC_ERR_OK) {
        binding_->cpu = nullptr;
        spare.emplace(Spare{std::move(uc_), std::move(binding_), keep});
    }
}

void Cpu::Close::operator()(uc_struct* uc) const { uc_close(uc); }

bool Cpu::map(Address address, std::span<std::byte> host, Protection protection) {
    const std::uint32_t perms =
        UC_PROT_READ | (protection.write ? UC_PROT_WRITE : 0) | (protection.execute ? UC_PROT_EXEC : 0);
    // Stores into it must find the code they change (store_checks.cpp).
    if (protection.write && protection.execute && !writableCode_) writableCode_.emplace();
    if (kept_) {
        if (kept_->address == address && kept_->host == host.data() && kept_->bytes == host.size() &&
            kept_->perms == perms) {
            kept_.reset();  // taken: this CPU's own from now on
            mapped_.push_back({address, host});
            return true;
        }
        if (address < kept_->address + kept_->bytes && kept_->address < address + host.size()) dropKept();
    }
    if (uc_mem_map_ptr(uc_.get(), address, host.size(), perms, host.data()) != UC_ERR_OK) return false;
    mapped_.push_back({address, host});
    return true;
}

std::uint32_t Cpu::read(Reg reg) const {
    std::uint32_t value = 0;
    uc_reg_read(uc_.get(), id(reg), &value);
    return value;
}

void Cpu::write(Reg reg, std::uint32_t value) { uc_reg_write(uc_.get(), id(reg), &value); }

Cpu::Registers Cpu::registers() const {
    Registers values{};
    std::array<void*, kSaved> slots;
    for (std::size_t i = 0; i < kSaved; ++i) slots[i] = &values[i];
    uc_reg_read_batch(uc_.get(), const_cast<int*>(kRegisterIds), slots.data(), kSaved);
    return values;
}

void Cpu::setRegisters(const Registers& values) {
    Registers copy = values;
    std::array<void*, kSaved> slots;
    for (std::size_t i = 0; i < kSaved; ++i) slots[i] = &copy[i];
    uc_reg_write_batch(uc_.get(), const_cast<int*>(kRegisterIds), slots.data(), kSaved);
}

bool Cpu::CallRegisters::thumb() const { return (cpsr & kThumbState) != 0; }

Cpu::CallRegisters Cpu::callRegisters(std::size_t arity) const {
    static constexpr int kIds[] = {UC_ARM_REG_CPSR, UC_ARM_REG_R0, UC_ARM_REG_R1,
                                   UC_ARM_REG_R2,   UC_ARM_REG_R3, UC_ARM_REG_SP};
    CallRegisters values{};
    void* slots[] = {&values.cpsr,         &values.arguments[0], &values.arguments[1],
                     &values.arguments[2], &values.arguments[3], &values.sp};
    const int count = arity > 4 ? 6 : 1 + static_cast<int>(arity);
    uc_reg_read_batch(uc_.get(), const_cast<int*>(kIds), slots, count);
    return values;
}

void Cpu::prepareCall(std::span<const std::uint32_t> arguments, std::uint32_t sp, std::uint32_t lr) {
    static constexpr int kIds[] = {UC_ARM_REG_SP, UC_ARM_REG_LR, UC_ARM_REG_R0,
                                   UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3};
    std::array<std::uint32_t, 6> values{sp, lr};
    const std::size_t count = std::min<std::size_t>(arguments.size(), 4);
    std::copy_n(arguments.begin(), count, values.begin() + 2);
    std::array<void*, 6> slots;
    for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = &values[i];
    uc_reg_write_batch(uc_.get(), const_cast<int*>(kIds), slots.data(), static_cast<int>(2 + count));
}

void Cpu::trap(Address first, Address last, std::function<void(Address)> trap) {
    trap_ = std::move(trap);
    // An engine keeps its trap for the next CPU: ArmModule's platform functions lie where they did.
    if (binding_->trapFirst == first && binding_->trapLast == last) return;
    if (binding_->trapHook) uc_hook_del(uc_.get(), std::exchange(binding_->trapHook, 0));
    check(uc_hook_add(uc_.get(), &binding_->trapHook, UC_HOOK_CODE, reinterpret_cast<void*>(&Cpu::runTrap),
                      binding_.get(), first, last),
          "cannot trap calls of the platform");
    binding_->trapFirst = first;
    binding_->trapLast = last;
}

void Cpu::stop() { uc_emu_stop(uc_.get()); }

bool Cpu::thumb() const { return (read(Reg::Cpsr) & kThumbState) != 0; }

// The memory the engine kept that this CPU did not take: it may be gone, and is no memory of
// this CPU's module.
void Cpu::dropKept() {
    if (kept_) {
        const UnmappingAll unmapping;
        uc_mem_unmap(uc_.get(), kept_->address, kept_->bytes);
    }
    kept_.reset();
}

Stop Cpu::run(Address pc) {
    dropKept();
    faultAddress_ = 0;
    outOfBudget_ = false;
    // Where the CPU stops of itself: never address 0, which a null call reaches.
    const uc_err err = uc_emu_start(uc_.get(), pc, kReturnToPlatform, 0, 0);
    if (trapFailed_) std::rethrow_exception(std::exchange(trapFailed_, nullptr));
    const Address at = read(Reg::Pc);
    if (outOfBudget_) return {Stop::Kind::OutOfBudget, at};
    // The return to the platform, where nothing is mapped, is no fetch that failed for the
    // emulator, which stops before it; a debugger hears of it as one all the same.
    if (err == UC_ERR_OK && (at & ~1u) == kReturnToPlatform && observer_)
        guard(uc_.get(), [&](CpuObserver& o) { o.fetchFailed(kReturnToPlatform); });
    if (trapFailed_) std::rethrow_exception(std::exchange(trapFailed_, nullptr));
    if (err == UC_ERR_OK) return {Stop::Kind::Stopped, at};
    if (err == UC_ERR_FETCH_UNMAPPED) return {Stop::Kind::Jumped, at};
    return {Stop::Kind::Fault, at, faultOf(err), faultAddress_, kindOf(err)};
}

// No exception may unwind through the emulator: it is kept until the emulator has returned.
void Cpu::runTrap(uc_struct* uc, std::uint64_t address, std::uint32_t, void* self) {
    Cpu* cpu = static_cast<Binding*>(self)->cpu;
    if (!cpu->trap_) return;  // a trap the engine keeps from a CPU before
    try {
        cpu->trap_(static_cast<Address>(address));
    } catch (...) {
        cpu->trapFailed_ = std::current_exception();
        uc_emu_stop(uc);
    }
}

void Cpu::countBlock(uc_struct* uc, std::uint64_t address, std::uint32_t bytes, void* self) {
    Cpu* cpu = static_cast<Binding*>(self)->cpu;
    if (cpu->instructions_ >= cpu->limit_ && !cpu->outOfBudget_) {
        cpu->outOfBudget_ = true;
        uc_emu_stop(uc);
    }
    const bool thumb = cpu->states_.thumb(uc, static_cast<Address>(address));
    cpu->instructions_ += bytes >> (thumb ? 1 : 2);
    if (cpu->blocks_) cpu->blocks_(static_cast<Address>(address), bytes, thumb);
}

bool Cpu::BlockStates::read(uc_struct* uc) {
    std::uint32_t cpsr = 0;
    uc_reg_read(uc, UC_ARM_REG_CPSR, &cpsr);
    return (cpsr & kThumbState) != 0;
}

bool Cpu::noteFault(uc_struct*, int, std::uint64_t address, int, std::int64_t, void* self) {
    static_cast<Binding*>(self)->cpu->faultAddress_ = static_cast<Address>(address);
    return false;
}

// The observer's hooks: every instruction, every write and every fetch where nothing is mapped.
// Unicorn calls each hook of a kind in turn; the observer's decide nothing, so a failed fetch
// stays a fault.
void Cpu::observe(CpuObserver* observer) {
    for (std::size_t& hook : observerHooks_)
        if (hook) uc_hook_del(uc_.get(), std::exchange(hook, 0));
    observer_ = observer;
    if (!observer) return;
    uc_hook hooks[3] = {};
    check(
        uc_hook_add(uc_.get(), &hooks[0], UC_HOOK_CODE, reinterpret_cast<void*>(&Cpu::observeInstruction), this, 1, 0),
        "cannot follow the instructions");
    check(uc_hook_add(uc_.get(), &hooks[1], UC_HOOK_MEM_WRITE, reinterpret_cast<void*>(&Cpu::observeWrite), this, 1, 0),
          "cannot follow the writes");
    check(uc_hook_add(uc_.get(), &hooks[2], UC_HOOK_MEM_FETCH_UNMAPPED, reinterpret_cast<void*>(&Cpu::observeFetch),
                      this, 1, 0),
          "cannot follow the fetches");
    std::copy(std::begin(hooks), std::end(hooks), observerHooks_.begin());
}

// What an observer throws is kept until the emulator has returned, as a trap's.
template <class F>
void Cpu::guard(uc_struct* uc, F&& f) {
    try {
        f(*observer_);
    } catch (...) {
        trapFailed_ = std::current_exception();
        uc_emu_stop(uc);
    }
}

void Cpu::observeInstruction(uc_struct* uc, std::uint64_t address, std::uint32_t, void* self) {
    static_cast<Cpu*>(self)->guard(uc, [&](CpuObserver& o) { o.beforeInstruction(static_cast<Address>(address)); });
}

void Cpu::observeWrite(uc_struct* uc, int, std::uint64_t address, int bytes, std::int64_t, void* self) {
    static_cast<Cpu*>(self)->guard(
        uc, [&](CpuObserver& o) { o.beforeWrite(static_cast<Address>(address), static_cast<std::size_t>(bytes)); });
}

bool Cpu::observeFetch(uc_struct* uc, int, std::uint64_t address, int, std::int64_t, void* self) {
    static_cast<Cpu*>(self)->guard(uc, [&](CpuObserver& o) { o.fetchFailed(static_cast<Address>(address)); });
    return false;
}

namespace {

// The debugger sees every byte of mapped memory, the heap's poisoned red zones too (which
// AddressSanitizer keeps from the host's own code): copied byte by byte past its checks, as the
// emulated CPU itself reads and writes them. Volatile, so that no memcpy stands in for the loop.
__attribute__((no_sanitize("address"))) void copyUnchecked(std::byte* to, const std::byte* from, std::size_t n) {
    auto* out = static_cast<volatile std::byte*>(to);
    const auto* in = static_cast<const volatile std::byte*>(from);
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
}

}  // namespace

std::byte* Cpu::hostOf(Address address, std::size_t bytes) const {
    for (const Mapped& m : mapped_)
        if (address >= m.address && address - m.address <= m.host.size() &&
            bytes <= m.host.size() - (address - m.address))
            return m.host.data() + (address - m.address);
    return nullptr;
}

bool Cpu::peek(Address address, std::span<std::byte> bytes) const {
    if (std::byte* host = hostOf(address, bytes.size())) {
        copyUnchecked(bytes.data(), host, bytes.size());
        return true;
    }
    if (kept_) return false;  // what the engine kept is no memory of this module
    return uc_mem_read(uc_.get(), address, bytes.data(), bytes.size()) == UC_ERR_OK;
}

// Code that changed must be translated anew.
bool Cpu::poke(Address address, std::span<const std::byte> bytes) {
    dropKept();
    if (std::byte* host = hostOf(address, bytes.size()))
        copyUnchecked(host, bytes.data(), bytes.size());
    else if (uc_mem_write(uc_.get(), address, bytes.data(), bytes.size()) != UC_ERR_OK)
        return false;
    uc_ctl_remove_cache(uc_.get(), address, address + bytes.size());
    return true;
}

}  // namespace sim::arm
