// The emulated CPU's stores, which skip the emulator's search for translated code unless memory
// may be both written and run: a store into data keeps what the code does, a store over code in
// memory the module may write and run changes it, and the instructions counted stay exact.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <stdexcept>

#include "arm/cpu.hpp"
#include "page_buffer.hpp"

namespace {

using namespace sim::arm;

// Thumb code: at 0, "r0 = 1" as a function; at 0x10, a function that stores the halfword r1 at r2.
constexpr std::uint16_t kCode[] = {0x2001, 0x4770, 0, 0, 0, 0, 0, 0, 0x8011, 0x4770};
constexpr std::uint16_t kSetTwo = 0x2002;  // movs r0, #2
constexpr Address kCodeAt = kImageBase, kDataAt = kImageBase + 0x10000;

struct Case {
    const char* name;
    Protection code;
    Address storeAt;
    bool skipsSearch;
    std::uint32_t resultAfter;  // of the function at 0, run again after the store
};

const Case kCases[] = {
    {"a store into data, the code apart", {.execute = true}, kDataAt, true, 1},
    {"a store over code that ran, in memory it may write and run", {.write = true, .execute = true}, kCodeAt, false, 2},
};

std::uint32_t callAt(Cpu& cpu, Address function, std::uint32_t r1 = 0, std::uint32_t r2 = 0) {
    cpu.write(Reg::R1, r1);
    cpu.write(Reg::R2, r2);
    cpu.write(Reg::Lr, kReturnToPlatform);
    EXPECT_EQ(cpu.run(function | 1).kind, Stop::Kind::Stopped);
    return cpu.read(Reg::R0);
}

TEST(EmulatedStores, ChangeWhatTheyWriteAndNoMore) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        sim::PageBuffer code(sim::PageBuffer::kPageBytes), data(sim::PageBuffer::kPageBytes);
        std::memcpy(code.data(), kCode, sizeof kCode);
        {
            Cpu cpu;
            ASSERT_TRUE(cpu.map(kCodeAt, code.bytes(), c.code));
            ASSERT_TRUE(cpu.map(kDataAt, data.bytes(), {.write = true}));
            EXPECT_EQ(storesSkipCodeSearch(), c.skipsSearch);
            EXPECT_EQ(callAt(cpu, kCodeAt), 1u);
            callAt(cpu, kCodeAt + 0x10, kSetTwo, c.storeAt);
            EXPECT_EQ(callAt(cpu, kCodeAt), c.resultAfter);
            EXPECT_EQ(cpu.instructions(), 6u);
        }
        std::uint16_t stored = 0;
        std::memcpy(&stored, (c.storeAt == kDataAt ? data : code).data(), sizeof stored);
        EXPECT_EQ(stored, kSetTwo);
        EXPECT_TRUE(storesSkipCodeSearch()) << "once no CPU has memory it may write and run";
    }
}

// How the last run of a CPU ended, before the next CPU takes over the engine it left.
struct Ending {
    const char* name;
    std::uint16_t code[2];  // Thumb, at kCodeAt
    std::uint64_t limit;
    bool trapThrows;
    Stop::Kind kind;
};

const Ending kEndings[] = {
    {"a return", {0x2001, 0x4770}, UINT64_MAX, false, Stop::Kind::Stopped},                       // movs r0, #1; bx lr
    {"a store where nothing is mapped", {0x6008, 0x4770}, UINT64_MAX, false, Stop::Kind::Fault},  // str r0, [r1]
    {"a loop out of its budget", {0xE7FE, 0x4770}, 1000, false, Stop::Kind::OutOfBudget},         // b .
    {"a trap that threw", {0x2001, 0x4770}, UINT64_MAX, true, Stop::Kind::Stopped},
};

// A CPU made after another takes over the engine that one left, however it ended: it must run
// its own code where the other's lay, from the state of a new CPU, and count from nothing.
TEST(EmulatedCpus, OneAfterAnotherRunTheirOwnCodeFromAFreshState) {
    constexpr std::uint16_t kSetThree[] = {0x2003, 0x4770};  // movs r0, #3; bx lr
    for (const Ending& e : kEndings) {
        SCOPED_TRACE(e.name);
        sim::PageBuffer first(sim::PageBuffer::kPageBytes), data(sim::PageBuffer::kPageBytes),
            second(sim::PageBuffer::kPageBytes);
        std::memcpy(first.data(), e.code, sizeof e.code);
        std::memcpy(second.data(), kSetThree, sizeof kSetThree);
        {
            Cpu cpu;
            ASSERT_TRUE(cpu.map(kCodeAt, first.bytes(), {.execute = true}));
            ASSERT_TRUE(cpu.map(kDataAt, data.bytes(), {.write = true}));
            int trapped = 0;
            cpu.trap(kCodeAt, kCodeAt + 1, [&](Address) {
                ++trapped;
                if (e.trapThrows) throw std::runtime_error("the trap failed");
            });
            cpu.limitInstructions(e.limit);
            cpu.write(Reg::R1, 0x100);
            cpu.write(Reg::R7, 77);
            cpu.write(Reg::Lr, kReturnToPlatform);
            if (e.trapThrows)
                EXPECT_THROW(cpu.run(kCodeAt | 1), std::runtime_error);
            else
                EXPECT_EQ(cpu.run(kCodeAt | 1).kind, e.kind);
            EXPECT_GE(trapped, 1);  // the loop passes it again and again
        }
        Cpu cpu;
        EXPECT_EQ(cpu.read(Reg::R7), 0u);
        EXPECT_EQ(cpu.instructions(), 0u);
        ASSERT_TRUE(cpu.map(kCodeAt, second.bytes(), {.execute = true}));
        EXPECT_EQ(callAt(cpu, kCodeAt), 3u) << "the code translated for the CPU before is gone";
        EXPECT_EQ(cpu.instructions(), 2u);
        EXPECT_EQ(data.data()[0], std::byte{0}) << "the memory of the CPU before is no longer mapped";
    }
}

// The engine keeps its CPU's largest data mapped for the next CPU: a CPU sees only the memory it
// mapped itself, whether that is the same host memory, other memory at the same address, or none.
TEST(EmulatedCpus, SeeOnlyTheDataTheyMapThemselves) {
    constexpr std::uint16_t kLoad[] = {0x6808, 0x4770};  // ldr r0, [r1]; bx lr
    sim::PageBuffer code(sim::PageBuffer::kPageBytes), heap(4 * sim::PageBuffer::kPageBytes),
        other(4 * sim::PageBuffer::kPageBytes);
    std::memcpy(code.data(), kLoad, sizeof kLoad);
    heap.data()[0] = std::byte{11};
    other.data()[0] = std::byte{22};
    const auto load = [&](sim::PageBuffer* data) -> std::optional<std::uint32_t> {
        Cpu cpu;
        EXPECT_TRUE(cpu.map(kCodeAt, code.bytes(), {.execute = true}));
        if (data) {
            EXPECT_TRUE(cpu.map(kDataAt, data->bytes(), {.write = true}));
        }
        cpu.write(Reg::R1, kDataAt);
        cpu.write(Reg::Lr, kReturnToPlatform);
        if (cpu.run(kCodeAt | 1).kind != Stop::Kind::Stopped) return std::nullopt;
        return cpu.read(Reg::R0);
    };
    EXPECT_EQ(load(&heap), 11u);
    EXPECT_EQ(load(&heap), 11u) << "the same memory again";
    EXPECT_EQ(load(&other), 22u) << "other memory where the last CPU's lay";
    EXPECT_EQ(load(nullptr), std::nullopt) << "nothing mapped there";
    EXPECT_EQ(load(&heap), 11u);
}

}  // namespace
