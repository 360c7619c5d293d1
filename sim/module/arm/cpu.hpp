#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "layout.hpp"
#include "store_checks.hpp"

struct uc_struct;

namespace sim::arm {

// What the module may do with mapped memory besides reading it.
struct Protection {
    bool write = false, execute = false;
    friend bool operator==(const Protection&, const Protection&) = default;
};

enum class Reg { R0, R1, R2, R3, R4, R5, R6, R7, R8, R9, R10, R11, R12, Sp, Lr, Pc, Cpsr };

// Why a run of the CPU stopped.
struct Stop {
    // Stopped: a trap asked the CPU to stop, or it reached the return to the platform. Jumped:
    // the CPU went to fetch an instruction at `pc`, where nothing is mapped (the return to the
    // platform, or a wild jump). Fault: the instruction at `pc` could not be carried out; `what`
    // says why and `address` is the address it touched. OutOfBudget: the CPU had executed as many
    // instructions as it was allowed to.
    enum class Kind { Stopped, Jumped, Fault, OutOfBudget };
    // What kind of fault, for a debugger: a memory access, an instruction the CPU does not carry
    // out, or an unaligned access.
    enum class Fault { Memory, Instruction, Alignment };
    Kind kind;
    Address pc;
    const char* what = "";
    Address address = 0;
    Fault fault = Fault::Memory;
};

// What a debugger hears while the CPU runs. Each call may wait (the CPU waits with it), change
// registers and memory, and stop the CPU; none may throw.
class CpuObserver {
public:
    virtual ~CpuObserver() = default;
    // Before the instruction at `pc` runs.
    virtual void beforeInstruction(Address pc) = 0;
    // The instruction under way is about to write [address, address + bytes).
    virtual void beforeWrite(Address address, std::size_t bytes) = 0;
    // The CPU went to fetch an instruction at `pc`, where nothing is mapped.
    virtual void fetchFailed(Address pc) = 0;
};

// The emulated ARM926EJ-S (ARMv5TE, ARM and Thumb) through Unicorn: its registers, host memory
// mapped into its address space, and runs that stop where the module leaves its own code. It
// counts the instructions it executes, 16-bit Thumb and 32-bit ARM ones alike.
class Cpu {
public:
    struct Binding;  // what an engine keeps across CPUs (cpu.cpp)
    struct Spare;    // an engine a CPU left, for the next one
    Cpu();           // throws std::runtime_error when the emulator cannot start
    ~Cpu();
    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;

    // Maps `host` (whole pages, which must outlive the CPU) at `address`.
    bool map(Address address, std::span<std::byte> host, Protection protection);

    std::uint32_t read(Reg reg) const;
    void write(Reg reg, std::uint32_t value);

    // r0-r12, sp and lr: what a call into the module may change, saved around one made while the
    // module waits in a platform function.
    using Registers = std::array<std::uint32_t, 15>;
    Registers registers() const;
    void setRegisters(const Registers& values);
    // What a platform function of `arity` arguments reads of the module's call, in one read of
    // the registers: the state, its first four arguments and, past four, the stack with the rest.
    struct CallRegisters {
        std::array<std::uint32_t, 4> arguments;
        std::uint32_t sp, cpsr;
        bool thumb() const;
    };
    CallRegisters callRegisters(std::size_t arity) const;
    // Sets up a call: its first arguments (at most four), the stack and the return address.
    void prepareCall(std::span<const std::uint32_t> arguments, std::uint32_t sp, std::uint32_t lr);

    // Calls `trap` with the address before any instruction in [first, last] runs. The trap may
    // change registers and stop the CPU; what it throws comes out of run(). A CPU traps one range:
    // a trap set again replaces the one before, over the same addresses.
    void trap(Address first, Address last, std::function<void(Address)> trap);
    // Asked from a trap: the CPU stops before the next block of code.
    void stop();

    // Runs from `pc` (bit 0 set for Thumb) until the CPU stops: at the latest when it reaches
    // kReturnToPlatform, or when instructions() passes the limit.
    Stop run(Address pc);
    std::uint64_t instructions() const { return instructions_; }
    // Told of each block of code as it starts, with its length in bytes and whether it is Thumb
    // code; null stops it.
    using BlockObserver = std::function<void(Address address, std::uint32_t bytes, bool thumb)>;
    void observeBlocks(BlockObserver observer) { blocks_ = std::move(observer); }

    // For a debugger: memory as the CPU sees it, whatever its protection (false where any byte is
    // unmapped), and an observer of every instruction, write and failed fetch (null: none).
    bool peek(Address address, std::span<std::byte> bytes) const;
    bool poke(Address address, std::span<const std::byte> bytes);
    void observe(CpuObserver* observer);

    void limitInstructions(std::uint64_t most) { limit_ = most; }
    bool thumb() const;

private:
    // Whether the block of code at an address is Thumb code, as the CPU state said when a block
    // first ran there: reading the state costs more than running a short block, and code at one
    // address is code of one state (a compiler never makes the same bytes both ARM and Thumb
    // code; a module that jumped to one address in both states would have some of those blocks
    // counted in the other state).
    class BlockStates {
    public:
        bool thumb(uc_struct* uc, Address address) {
            Slot& slot = slots_[(address >> 1) % kSlots];
            if (slot.address != address) slot = {address, read(uc)};
            return slot.thumb;
        }

    private:
        static bool read(uc_struct* uc);
        static constexpr std::size_t kSlots = 4096;
        struct Slot {
            Address address = 1;  // no block starts at an odd address
            bool thumb = false;
        };
        std::array<Slot, kSlots> slots_{};
    };
    static void countBlock(uc_struct* uc, std::uint64_t address, std::uint32_t bytes, void* self);
    static void runTrap(uc_struct* uc, std::uint64_t address, std::uint32_t bytes, void* self);
    static bool noteFault(uc_struct* uc, int type, std::uint64_t address, int size, std::int64_t value, void* self);
    static void observeInstruction(uc_struct* uc, std::uint64_t address, std::uint32_t bytes, void* self);
    static void observeWrite(uc_struct* uc, int type, std::uint64_t address, int size, std::int64_t value, void* self);
    static bool observeFetch(uc_struct* uc, int type, std::uint64_t address, int size, std::int64_t value, void* self);
    template <class F>
    void guard(uc_struct* uc, F&& f);
    struct Close {
        void operator()(uc_struct* uc) const;
    };
    std::unique_ptr<uc_struct, Close> uc_;
    // The host memory mapped, by its address: the debugger's reads and writes go to it directly.
    struct Mapped {
        Address address;
        std::span<std::byte> host;
    };
    std::vector<Mapped> mapped_;
    std::byte* hostOf(Address address, std::size_t bytes) const;
    // The largest mapping of the CPU before, which its engine kept (a heap's window, which the
    // heap recycles): a new CPU that maps the same host memory at the same address with the same
    // protection takes it as it is; unmapping so many pages costs more than a short run.
    struct Kept {
        Address address;
        std::byte* host;
        std::size_t bytes;
        std::uint32_t perms;
    };
    std::optional<Kept> kept_;  // until this CPU takes it or drops it
    void dropKept();
    std::unique_ptr<Binding> binding_;
    std::optional<WritableCode> writableCode_;  // once memory is mapped that the module may write and run
    std::uint64_t instructions_ = 0, limit_ = UINT64_MAX;
    BlockStates states_;
    bool outOfBudget_ = false;
    Address faultAddress_ = 0;  // of the last access that faulted
    std::function<void(Address)> trap_;
    BlockObserver blocks_;
    std::exception_ptr trapFailed_;
    CpuObserver* observer_ = nullptr;
    std::array<std::size_t, 3> observerHooks_{};  // Unicorn's handles of the observer's hooks
};

}  // namespace sim::arm
