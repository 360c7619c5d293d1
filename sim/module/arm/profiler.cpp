#include "profiler.hpp"

#include <algorithm>

#include "symbol_names.hpp"

namespace sim::arm {

namespace {
constexpr const char* kUnknown = "???";
}  // namespace

Profiler::Profiler(const ElfImage& elf, LineTable lines, InstructionProfile& profile)
    : elf_(elf), lines_(std::move(lines)), profile_(profile), unknownFile_(profile.file(kUnknown)) {}

Profiler::Named Profiler::functionAt(Address offset) {
    const ElfImage::Symbol* symbol = elf_.nearest(offset);
    while (symbol && !symbol->function) symbol = symbol == elf_.symbols().data() ? nullptr : symbol - 1;
    if (symbol && symbol->size && offset - symbol->offset >= symbol->size) symbol = nullptr;
    const auto [found, added] = named_.try_emplace(symbol);
    if (!added) return found->second;
    if (!symbol) return found->second = {profile_.function("(no function)", kUnknown), 0, 0};
    const auto line = lines_.at(symbol->offset);
    const std::string_view file = line ? std::string_view(lines_.files()[line->line.file]) : kUnknown;
    return found->second = {profile_.function(readableSymbol(symbol->name), file), symbol->offset,
                            line ? line->line.line : 0};
}

const std::vector<Profiler::Piece>& Profiler::piecesOf(Address offset, std::uint32_t bytes, bool thumb) {
    // Thumb and ARM code never share an offset, so the offset alone names a block.
    const auto [found, added] = pieces_.try_emplace(offset);
    if (!added) return found->second;
    const std::uint32_t unit = thumb ? 2 : 4;
    const std::uint32_t function = functionAt(offset).function;
    for (Address at = offset; at < offset + bytes;) {
        const auto run = lines_.at(at);
        const Address end =
            run ? std::min<Address>(std::max<Address>(run->end, at + unit), offset + bytes) : offset + bytes;
        const std::uint32_t file = run ? profile_.file(lines_.files()[run->line.file]) : unknownFile_;
        const std::uint32_t line = run ? run->line.line : 0;
        const std::uint32_t instructions = (end - at) / unit;
        if (!found->second.empty() && found->second.back().file == file && found->second.back().line == line)
            found->second.back().instructions += instructions;
        else
            found->second.push_back({function, file, line, instructions});
        at = end;
    }
    return found->second;
}

void Profiler::call(const Named& callee, std::optional<Address> returnTo) {
    frames_.push_back(
        {callee.function, returnTo, profile_.total(), frames_.empty() ? std::nullopt : lastSite_, callee.line, false});
}

void Profiler::pop() {
    const Frame& frame = frames_.back();
    if (frame.caller)
        profile_.called(*frame.caller, frame.function, frame.calleeLine, profile_.total() - frame.startedAt);
    frames_.pop_back();
}

void Profiler::ran(Address offset, std::uint32_t bytes, bool thumb, std::optional<Address> returnTo) {
    if (!frames_.empty() && frames_.back().returnTo == offset) {
        // Returned: to the caller of the function on top, and of any that went there by a jump.
        while (!frames_.empty() && frames_.back().returnTo == offset) pop();
    } else if (const Named here = functionAt(offset); here.entry == offset && offset) {
        Frame* top = frames_.empty() ? nullptr : &frames_.back();
        if (top && !top->entered && top->function == here.function)
            top->entered = true;  // the call the platform made
        else
            call(here, returnTo);
    }
    for (const Piece& piece : piecesOf(offset, bytes, thumb))
        profile_.ran(piece.function, piece.file, piece.line, piece.instructions);
    const Piece& last = piecesOf(offset, bytes, thumb).back();
    lastSite_ = InstructionProfile::Site{last.function, last.file, last.line};
}

void Profiler::calledFromPlatform(Address offset) {
    const Named callee = functionAt(offset);
    // The function waiting in the platform (a call through its linkage table) called it.
    call(callee, std::nullopt);
}

void Profiler::returnedToPlatform() {
    while (!frames_.empty()) {
        const bool fromPlatform = !frames_.back().returnTo;
        pop();
        if (fromPlatform) break;
    }
}

}  // namespace sim::arm
