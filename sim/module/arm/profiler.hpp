#pragma once
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "elf_image.hpp"
#include "line_table.hpp"
#include "instruction_profile.hpp"

namespace sim::arm {

// Counts the module's instructions into an InstructionProfile as its code runs, block by block: each
// instruction to the function and source line it belongs to, and each call between functions
// (found as the CPU enters a function's first instruction and leaves by the address it was
// called from) with what it cost in all. It counts what the CPU counts, so the profile's total
// is the module's instruction count over the same time.
class Profiler {
public:
    Profiler(const ElfImage& elf, LineTable lines, InstructionProfile& profile);

    // A block of the module's code ran: `bytes` from `offset` in the image, in Thumb or ARM
    // state; `returnTo` is where the link register pointed as it began (an offset in the image),
    // if anywhere in the module.
    void ran(Address offset, std::uint32_t bytes, bool thumb, std::optional<Address> returnTo);
    // The platform calls the module's function at `offset`, or a call of it ends.
    void calledFromPlatform(Address offset);
    void returnedToPlatform();

private:
    struct Piece {
        std::uint32_t function, file, line;
        std::uint32_t instructions;
    };
    struct Frame {
        std::uint32_t function;
        std::optional<Address> returnTo;  // none: it returns to the platform
        std::uint64_t startedAt;          // the total when it was called
        std::optional<InstructionProfile::Site> caller;
        std::uint32_t calleeLine;
        bool entered;  // its first block has run
    };
    struct Named {
        std::uint32_t function;
        Address entry;
        std::uint32_t line;  // of the entry
    };
    const std::vector<Piece>& piecesOf(Address offset, std::uint32_t bytes, bool thumb);
    // The function that `offset` lies in.
    Named functionAt(Address offset);
    void call(const Named& callee, std::optional<Address> returnTo);
    void pop();

    const ElfImage& elf_;
    LineTable lines_;
    InstructionProfile& profile_;
    std::uint32_t unknownFile_;
    std::unordered_map<Address, std::vector<Piece>> pieces_;  // by the block's offset
    std::unordered_map<const ElfImage::Symbol*, Named> named_;
    std::vector<Frame> frames_;
    std::optional<InstructionProfile::Site> lastSite_;  // the place of the last instruction that ran
};

}  // namespace sim::arm
