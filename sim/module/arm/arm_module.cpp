#include "arm_module.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>

#include "phone.hpp"

namespace sim::arm {

namespace {

constexpr std::uint32_t kFailed = 1;

std::string hex(Address value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

Result<std::unique_ptr<Module>, LoadError> ArmModule::load(const std::filesystem::path& file, Phone& phone) {
    std::string why;
    auto elf = ElfImage::read(file, why);
    if (!elf) return tl::unexpected(LoadError{why});
    try {
        auto module = std::make_unique<ArmModule>(std::move(*elf), phone);
        if (!module->place(why)) return tl::unexpected(LoadError{file.string() + ": " + why, true});
        return module;
    } catch (const std::runtime_error& e) {
        return tl::unexpected(LoadError{e.what()});
    }
}

ArmModule::ArmModule(ElfImage elf, Phone& phone)
    : elf_(std::move(elf)),
      phone_(phone),
      image_(elf_.imageBytes()),
      stack_(kStackBytes),
      recordsPage_(sizeof(PlatformRecords)),
      functions_(PageBuffer::kPageBytes),
      records_(std::construct_at(reinterpret_cast<PlatformRecords*>(recordsPage_.data()))),
      space_(cpu_, phone.memory) {}

ArmModule::~ArmModule() { phone_.memory.watchArenas(nullptr); }

bool ArmModule::place(std::string& error) {
    elf_.place(image_.bytes());
    const auto bindImport = [this](const std::string& name) { return bind(name); };
    if (!elf_.relocate(image_.bytes(), kImageBase, bindImport, error)) return false;
    // From now on the heap's blocks lie in the module's address space too.
    if (!mapImage() || !mapPlatformFunctions() || !space_.map(kStackBase, stack_.bytes(), {.write = true}) ||
        !space_.map(kPlatformRecordsBase, recordsPage_.bytes(), {.write = true}) ||
        !phone_.memory.watchArenas(&space_)) {
        error = "the emulated CPU cannot map the module";
        return false;
    }
    return true;
}

// Each page of the image is writable or holds code as the segments on it say; runs of pages
// alike are mapped together.
bool ArmModule::mapImage() {
    const std::size_t pages = image_.size() / PageBuffer::kPageBytes;
    std::vector<Protection> kinds(pages);
    for (const ElfImage::Segment& s : elf_.segments()) {
        for (std::size_t page = s.offset / PageBuffer::kPageBytes;
             page < pages && page * PageBuffer::kPageBytes < s.offset + s.bytes; ++page) {
            kinds[page].write |= s.writable;
            kinds[page].execute |= s.executable;
        }
    }
    for (std::size_t first = 0, next; first < pages; first = next) {
        for (next = first + 1; next < pages && kinds[next] == kinds[first];) ++next;
        const auto bytes =
            image_.bytes().subspan(first * PageBuffer::kPageBytes, (next - first) * PageBuffer::kPageBytes);
        if (!space_.map(kImageBase + static_cast<Address>(first * PageBuffer::kPageBytes), bytes, kinds[first]))
            return false;
    }
    return true;
}

// Each platform function's address holds a Thumb "bx lr", which returns to the caller once the
// trap has run the function. The module does not own this code: it is mapped outside its space.
bool ArmModule::mapPlatformFunctions() {
    constexpr std::byte kReturn[] = {std::byte{0x70}, std::byte{0x47}, std::byte{0xC0}, std::byte{0x46}};  // bx lr; nop
    if (imports_.size() * kPlatformFunctionBytes > functions_.size()) return false;
    for (std::size_t i = 0; i < imports_.size(); ++i)
        std::copy(std::begin(kReturn), std::end(kReturn), functions_.data() + i * kPlatformFunctionBytes);
    if (!cpu_.map(kPlatformFunctionsBase, functions_.bytes(), {.execute = true})) return false;
    cpu_.trap(kPlatformFunctionsBase, static_cast<Address>(kPlatformFunctionsBase + functions_.size() - 1),
              [this](Address pc) { enterPlatform(pc); });
    return true;
}

std::optional<Address> ArmModule::bind(const std::string& name) {
    const PlatformFunction* function = findPlatformFunction(name);
    if (!function) return std::nullopt;
    auto found = std::find(imports_.begin(), imports_.end(), function);
    if (found == imports_.end()) found = imports_.insert(imports_.end(), function);
    // Bit 0: the CPU goes there in Thumb state, as to any function of the phone.
    const auto index = static_cast<Address>(found - imports_.begin());
    return kPlatformFunctionsBase + index * kPlatformFunctionBytes + 1;
}

std::uint32_t ArmModule::callEntry(const std::string& appPath, std::uint32_t evcodeBase) {
    // The loader hands the path over at the top of the stack.
    if (appPath.size() + 1 > kStackBytes / 2) return kFailed;
    const Address path = static_cast<Address>(kStackTop - appPath.size() - 1) & ~7u;
    std::byte* host = stack_.data() + (path - kStackBase);
    std::transform(appPath.begin(), appPath.end(), host, [](char c) { return std::byte(c); });
    host[appPath.size()] = std::byte{0};
    return call(entry(), {path, 0, evcodeBase}, path);
}

void* ArmModule::symbol(const char* name) const {
    const ElfImage::Symbol* found = elf_.find(name);
    return found && !found->function && found->offset < image_.size() ? image_.data() + found->offset : nullptr;
}

std::string ArmModule::nameOf(ModuleAddress address) const {
    const Address at = static_cast<Address>(address) & ~1u;
    const Address slot = (at - kPlatformFunctionsBase) / kPlatformFunctionBytes;
    if (at >= kPlatformFunctionsBase && slot < imports_.size()) return imports_[slot]->name;
    return at >= kImageBase && at - kImageBase < image_.size() ? placeOf(at) : "";
}

std::uint32_t ArmModule::call(ModuleAddress fn, std::initializer_list<std::uint32_t> args, Address stackPointer) {
    if (crashed_) return kFailed;
    const Cpu::Registers waiting = cpu_.registers();
    // A call made while the module waits in a platform function goes below the waiting frame.
    const Address sp = stackPointer ? stackPointer : depth_ ? waiting[13] : kStackTop;
    int n = 0;
    for (std::uint32_t arg : args) cpu_.write(static_cast<Reg>(n++), arg);
    cpu_.write(Reg::Sp, sp & ~7u);
    cpu_.write(Reg::Lr, kReturnToPlatform);
    ++depth_;
    for (auto pc = static_cast<Address>(fn); !crashed_ && (pc & ~1u) != kReturnToPlatform;) {
        waiting_.reset();
        const Stop stop = cpu_.run(pc);
        if (crashed_) break;
        if (waiting_) {
            const auto result = runPlatform(*imports_[*waiting_]);
            if (!result) break;
            cpu_.write(Reg::R0, *result);
            pc = cpu_.read(Reg::Lr);
        } else if (stop.kind == Stop::Kind::Fault) {
            crash(stop.what, stop.pc, stop.address);
        } else if (stop.kind == Stop::Kind::Jumped && stop.pc != kReturnToPlatform) {
            crash("jumped to an address where there is no code", stop.pc, stop.pc);
        } else {
            pc = kReturnToPlatform;
        }
    }
    --depth_;
    const std::uint32_t result = crashed_ ? kFailed : cpu_.read(Reg::R0);
    cpu_.setRegisters(waiting);
    return result;
}

// The trap at a platform function's address, while the CPU runs.
void ArmModule::enterPlatform(Address pc) {
    const Address offset = pc - kPlatformFunctionsBase;
    const std::size_t index = offset / kPlatformFunctionBytes;
    if (offset % kPlatformFunctionBytes != 0 || index >= imports_.size()) {
        crash("jumped to an address where there is no code", pc, pc);
        cpu_.stop();
        return;
    }
    const PlatformFunction& function = *imports_[index];
    lastCall_ = function.name;
    if (function.callsModule) {
        waiting_ = index;
        cpu_.stop();
    } else if (const auto result = runPlatform(function)) {
        cpu_.write(Reg::R0, *result);
    } else {
        cpu_.stop();
    }
}

std::optional<std::uint32_t> ArmModule::runPlatform(const PlatformFunction& function) {
    try {
        return function.call(PlatformCall(cpu_, space_, *records_));
    } catch (const ForeignAddress& foreign) {
        crash(std::string("handed ") + function.name + " an address it does not own", cpu_.read(Reg::Lr) & ~1u,
              foreign.address);
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return kFailed;  // the simulator is out of memory: the call fails, as for a host module
    }
}

template <class Record>
const Record* ArmModule::table(ModuleAddress table, std::uint32_t index, const char* what) {
    if (crashed_) return nullptr;
    const auto at = static_cast<Address>(table + std::uint64_t{index} * sizeof(Record));
    const std::byte* host = space_.view(at, sizeof(Record), AddressSpace::Access::Read);
    if (!host || at % alignof(Record) != 0) {
        crash(std::string("handed the framework ") + what + " that reaches memory it does not own", std::nullopt, at);
        return nullptr;
    }
    return reinterpret_cast<const Record*>(host);
}

std::optional<StateRow> ArmModule::stateRow(ModuleAddress states, std::uint32_t index) {
    const StateRow32* row = table<StateRow32>(states, index, "a state table");
    if (!row) return std::nullopt;
    return StateRow{row->id, row->entry, row->exit, row->handlers};
}

std::optional<HandlerEntry> ArmModule::handlerEntry(ModuleAddress handlers, std::uint32_t index) {
    const HandlerEntry32* entry = table<HandlerEntry32>(handlers, index, "a table of handlers");
    if (!entry) return std::nullopt;
    return HandlerEntry{entry->code, entry->handler};
}

std::uint32_t ArmModule::callHandler(ModuleAddress fn, event_context_t*, app_record_t* app) {
    return call(fn, {addressOf(&records_->context), addressOf(app)});
}

std::uint32_t ArmModule::callStateRoutine(ModuleAddress fn, event_context_t*, app_record_t* app, std::uint32_t kind) {
    return call(fn, {addressOf(&records_->context), addressOf(app), kind});
}

std::uint32_t ArmModule::callStart(ModuleAddress fn, event_context_t*, std::uint32_t registration) {
    return call(fn, {addressOf(&records_->context), registration});
}

void ArmModule::crash(const std::string& what, std::optional<Address> pc, Address address) {
    crashed_ = true;
    std::string report = "the application crashed: it " + what + " (";
    if (pc) report += "program counter " + hex(*pc) + " in " + placeOf(*pc) + ", ";
    report += "address " + hex(address) + ", last platform call " + (lastCall_ ? lastCall_ : std::string("none")) + ")";
    phone_.framework.halt(report);
}

std::string ArmModule::placeOf(Address pc) const {
    const Address offset = pc - kImageBase;
    if (pc < kImageBase || offset >= image_.size()) return "no part of the module";
    const ElfImage::Symbol* symbol = elf_.nearest(offset);
    if (!symbol) return "the module at offset " + hex(offset);
    if (symbol->offset == offset) return symbol->name;
    char within[16];
    std::snprintf(within, sizeof within, "+0x%X", offset - symbol->offset);
    return symbol->name + within;
}

}  // namespace sim::arm
