#pragma once
// The platform's functions as the module on the emulated CPU calls them, made from their
// descriptions (platform_functions.def). Each reads as many arguments as its C signature has by
// the ARM calling convention (r0-r3, then the stack), turns the module's addresses into host
// views of memory the module owns, with the room its kind of parameter needs, converts the
// records whose layout differs on a 32-bit CPU, and then goes the way a host module's call goes:
// the checks, the service code, the trace.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "address_space.hpp"
#include "calls.hpp"
#include "cpu.hpp"
#include "layout.hpp"

namespace sim::arm {

// One call from the module: its arguments and views of the memory they point at. A view of
// memory the module does not own, or may not use so, throws call::Misdeed.
class ArmCall {
public:
    // `registers`: the CPU's as the module called; `glyphs`: room for the host's form of glyph
    // records, kept from call to call.
    ArmCall(const Cpu::CallRegisters& registers, const AddressSpace& space, PlatformRecords& records,
            std::vector<glyph_record_t>& glyphs, const char* function)
        : registers_(registers), space_(space), records_(records), glyphs_(glyphs), function_(function) {}

    // The argument `index` as a 32-bit word: r0-r3, then the words on the stack.
    std::uint32_t word(std::size_t index) const;

    // `count` items of T at `address`, which argument `index` handed over, for reading or (T not
    // const) writing; null for address 0.
    template <class T>
    T* view(Address address, std::uint64_t count, std::size_t index) const {
        if (address == 0) return nullptr;
        const auto access = std::is_const_v<T> ? AddressSpace::Access::Read : AddressSpace::Access::Write;
        return reinterpret_cast<T*>(checked(address, count * sizeof(T), alignof(T), access, index));
    }
    // The number of `Unit`s of zero-terminated text at `address` before its terminator, which must
    // lie in memory the module owns.
    template <class Unit>
    std::size_t textUnits(Address address, std::size_t index) const {
        if (address % alignof(Unit) != 0) throw misdeed("a misaligned address", address, index);
        const auto units = space_.textLength(address, sizeof(Unit));
        if (!units) throw misdeed(space_.explain(address, sizeof(Unit)), address, index);
        return *units;
    }

    // The module's address of host memory it can reach, 0 for null.
    Address address(const void* host) const { return host ? space_.addressOf(host).value_or(0) : 0; }
    // The host memory of the block that starts at `address`, null when no block starts there.
    std::byte* blockAt(Address address) const;
    PlatformRecords& records() const { return records_; }
    // Room for the host's form of records that differ on the phone, alive for the call.
    std::vector<glyph_record_t>& glyphs() { return glyphs_; }

    call::Misdeed misdeed(const std::string& what, Address address, std::size_t index) const;

private:
    std::byte* checked(Address address, std::uint64_t bytes, std::size_t align, AddressSpace::Access access,
                       std::size_t index) const;

    const Cpu::CallRegisters& registers_;
    const AddressSpace& space_;
    PlatformRecords& records_;
    std::vector<glyph_record_t>& glyphs_;
    const char* function_;
};

struct PlatformFunction {
    const char* name;
    // The result for r0.
    std::uint32_t (*call)(ArmCall& call, Phone& phone);
    // It may call into the module (a handler, an entry routine): the CPU must stop first.
    bool callsModule;
    std::size_t arity;
};

// The platform function of that name, or null when the platform has none.
const PlatformFunction* findPlatformFunction(std::string_view name);

}  // namespace sim::arm
