#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "cpu.hpp"

namespace sim::arm {

// The emulated CPU as GDB sees it: its registers by the numbers of the target description (r0
// to r12, sp, lr and pc are 0 to 15, cpsr 25) in GDB's hexadecimal encoding, and its memory
// whatever the module may do with it. Without a CPU (no module loaded) nothing can be read.
class GdbTarget {
public:
    // The target description (qXfer:features:read:target.xml): the ARM core with cpsr.
    static const std::string& description();

    void use(Cpu* cpu) { cpu_ = cpu; }
    // The program counter GDB is shown while the CPU is in the middle of an instruction (its own
    // does not tell where); none: the CPU's.
    void showPc(std::optional<Address> pc) { pcShown_ = pc; }
    // Where GDB last moved the program counter, once.
    std::optional<Address> takeMovedPc() { return std::exchange(pcMoved_, std::nullopt); }

    // All registers ('g'; "xx" for each that cannot be read), one ('p'), written ('G', 'P').
    std::string registers() const;
    std::optional<std::string> reg(int number) const;
    bool setRegisters(std::string_view digits);
    bool setRegister(int number, std::string_view digits);

    // As many bytes as can be read from `address` on, up to `bytes`.
    std::string read(Address address, std::size_t bytes) const;
    bool write(Address address, std::string_view bytes);

private:
    std::optional<std::uint32_t> value(int number) const;
    bool set(int number, std::uint32_t value);

    Cpu* cpu_ = nullptr;
    std::optional<Address> pcShown_, pcMoved_;
};

}  // namespace sim::arm
