#pragma once
// The platform's functions as the module on the emulated CPU calls them. Each reads its
// arguments by the ARM calling convention (r0-r3, then the stack), turns the module's addresses
// into host views of memory the module owns, converts the records whose layout differs on a
// 32-bit CPU, and calls the very function a host module calls (sim/core/shell_*.cpp, text.cpp).
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "address_space.hpp"
#include "cpu.hpp"
#include "layout.hpp"
#include "platform/types.h"

namespace sim::arm {

// The module handed a platform function `bytes` bytes at `address`, which it does not own (or
// may not write): the module has faulted.
struct ForeignAddress {
    Address address;
    std::size_t bytes;
};

enum class Null { Allowed, Faults };

// One call from the module: its arguments, and views of the memory they point at. A view of
// memory the module does not own throws ForeignAddress.
class PlatformCall {
public:
    PlatformCall(const Cpu& cpu, const AddressSpace& space, PlatformRecords& records)
        : cpu_(cpu), space_(space), records_(records) {}

    // The argument `index` as a 32-bit word: r0-r3, then the words on the stack.
    std::uint32_t word(int index) const;

    // `count` items of T at the address in argument `index`, written to unless T is const; null
    // for address 0 unless that faults.
    template <class T>
    T* view(int index, std::size_t count = 1, Null null = Null::Allowed) const {
        return at<T>(word(index), count, null);
    }
    // The same at an address the module wrote into a record.
    template <class T>
    T* at(Address address, std::size_t count = 1, Null null = Null::Allowed) const {
        if (address == 0 && null == Null::Allowed) return nullptr;
        const auto access = std::is_const_v<T> ? AddressSpace::Access::Read : AddressSpace::Access::Write;
        std::byte* host = address % alignof(T) == 0 ? space_.view(address, count * sizeof(T), access) : nullptr;
        if (!host) throw ForeignAddress{address, count * sizeof(T)};
        return reinterpret_cast<T*>(host);
    }
    // Zero-terminated 8-bit and 16-bit text at the address in argument `index`.
    const char* string(int index, Null null = Null::Allowed) const { return terminated<const char>(index, null); }
    const WCHAR* text(int index, Null null = Null::Allowed) const { return terminated<const WCHAR>(index, null); }

    // The argument as an address of the module's own (a table or a function) that the platform
    // hands on to the framework, which reads it through the module's code; never a host pointer.
    template <class Pointer>
    Pointer handedOn(int index) const {
        return reinterpret_cast<Pointer>(std::uintptr_t{word(index)});
    }

    // The module's address of host memory it can reach, 0 for null.
    Address address(const void* host) const { return host ? space_.addressOf(host).value_or(0) : 0; }
    // The host memory at an address the module owns (a block's start, say), null elsewhere.
    std::byte* hostOf(Address address) const { return space_.view(address, 0, AddressSpace::Access::Read); }
    PlatformRecords& records() const { return records_; }

private:
    template <class T>
    T* terminated(int index, Null null) const {
        const Address address = word(index);
        if (address == 0 && null == Null::Allowed) return nullptr;
        const auto units = address % alignof(T) == 0 ? space_.textLength(address, sizeof(T)) : std::nullopt;
        if (!units) throw ForeignAddress{address, sizeof(T)};
        return at<T>(address, *units + 1, Null::Faults);
    }

    const Cpu& cpu_;
    const AddressSpace& space_;
    PlatformRecords& records_;
};

struct PlatformFunction {
    const char* name;
    std::uint32_t (*call)(const PlatformCall& call);
    // It may call into the module (a handler, an entry routine): the CPU must stop first.
    bool callsModule = false;
};

// The platform function of that name, or null when the platform has none.
const PlatformFunction* findPlatformFunction(std::string_view name);

}  // namespace sim::arm
