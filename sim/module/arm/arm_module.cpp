#include "arm_module.hpp"

#include <algorithm>
#include <limits>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>

#include "phone.hpp"
#include "platform_values.hpp"
#include "symbol_names.hpp"

namespace sim::arm {

namespace {

constexpr std::uint32_t kFailed = kCallFailed;

std::string hexAddress(Address value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

Result<std::unique_ptr<Module>, LoadError> ArmModule::load(const std::filesystem::path& file, Phone& phone) {
    auto elf = ElfImage::read(file);
    if (!elf) return tl::unexpected(LoadError{LoadError::Kind::NoModule, elf.error().message});
    try {
        auto module = std::make_unique<ArmModule>(std::move(*elf), file, phone);
        if (auto placed = module->place(); !placed) {
            // A module that needs what the platform lacks is refused; any other failure means the
            // file holds no module.
            const bool lacks = placed.error().kind == LoadError::Kind::LacksFunction;
            return tl::unexpected(LoadError{
                placed.error().kind,
                file.string() + (lacks ? ": " : " is no module the phone can load: ") + placed.error().message});
        }
        return module;
    } catch (const std::runtime_error& e) {
        return tl::unexpected(LoadError{LoadError::Kind::NoModule, e.what()});
    }
}

ArmModule::ArmModule(ElfImage elf, std::filesystem::path file, Phone& phone)
    : elf_(std::move(elf)),
      file_(std::move(file)),
      phone_(phone),
      image_(elf_.imageBytes()),
      stack_(kStackBytes),
      recordsPage_(sizeof(PlatformRecords)),
      functions_(PageBuffer::kPageBytes),
      records_(std::construct_at(reinterpret_cast<PlatformRecords*>(recordsPage_.data()))),
      space_(cpu_, phone.memory()) {}

ArmModule::~ArmModule() {
    if (watcher_) watcher_->unloaded();
}

sim::Result<void, LoadError> ArmModule::place() {
    elf_.place(image_.bytes());
    const auto bindImport = [this](const std::string& name) { return bind(name); };
    if (auto relocated = elf_.relocate(image_.bytes(), kImageBase, bindImport); !relocated) return relocated;
    // The heap's window lies in the module's address space too, where its blocks are.
    if (!mapImage() || !mapPlatformFunctions() || !space_.map(kStackBase, stack_.bytes(), {.write = true}) ||
        !space_.map(kPlatformRecordsBase, recordsPage_.bytes(), {.write = true}) ||
        !space_.mapHeap(kHeapBase, phone_.memory().window()))
        return tl::unexpected(LoadError{LoadError::Kind::NoModule, "the emulated CPU cannot map it"});
    return {};
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
    return call(entry(), "its entry", {path, 0, evcodeBase}, path);
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

bool ArmModule::profileInto(InstructionProfile* profile) {
    profiler_.reset();
    if (profile) {
        profile->setObject(file_.filename().string());
        profiler_.emplace(elf_, LineTable::read(file_), *profile);
    }
    watchBlocks();
    return true;
}

bool ArmModule::coverInto(LineCoverage* coverage) {
    coverage_.reset();
    if (coverage) coverage_.emplace(elf_, LineTable::read(file_), *coverage);
    watchBlocks();
    return true;
}

// The profile and the coverage both count the blocks that run; the CPU is watched only while one
// of them counts.
void ArmModule::watchBlocks() {
    if (!profiler_ && !coverage_) {
        cpu_.observeBlocks(nullptr);
        return;
    }
    cpu_.observeBlocks([this](Address address, std::uint32_t bytes, bool thumb) {
        const auto inImage = [&](Address a) -> std::optional<Address> {
            a &= ~1u;
            if (a < kImageBase || a - kImageBase >= image_.size()) return std::nullopt;
            return a - kImageBase;
        };
        const auto offset = inImage(address);
        if (coverage_ && offset) coverage_->ran(*offset, bytes);
        // Code outside the image counts as code of no function.
        if (profiler_)
            profiler_->ran(offset.value_or(static_cast<Address>(image_.size())), bytes, thumb,
                           inImage(cpu_.read(Reg::Lr)));
    });
}

bool ArmModule::isCode(Address address) const {
    const Address at = address & ~1u;
    if (at >= kPlatformFunctionsBase) return (at - kPlatformFunctionsBase) / kPlatformFunctionBytes < imports_.size();
    return std::any_of(elf_.segments().begin(), elf_.segments().end(), [&](const ElfImage::Segment& s) {
        return s.executable && at >= kImageBase && at - kImageBase - s.offset < s.bytes;
    });
}

std::uint32_t ArmModule::call(ModuleAddress fn, const char* what, std::initializer_list<std::uint32_t> args,
                              Address stackPointer) {
    if (crashed_) return kFailed;
    const Cpu::Registers waiting = cpu_.registers();
    if (fn > UINT32_MAX || !isCode(static_cast<Address>(fn))) {
        crash(std::string("handed the framework ") + what + " at " + hexAddress(static_cast<Address>(fn)) +
                  ", where there is no code",
              caller(), static_cast<Address>(fn));
        return kFailed;
    }
    // A call from the platform may run so many instructions, the calls it makes back into the
    // module included.
    if (depth_ == 0) cpu_.limitInstructions(cpu_.instructions() + phone_.limits().instructions);
    // A call made while the module waits in a platform function goes below the waiting frame.
    const Address sp = stackPointer ? stackPointer : depth_ ? waiting[13] : kStackTop;
    cpu_.prepareCall(std::span(args.begin(), args.size()), sp & ~7u, kReturnToPlatform);
    ++depth_;
    // The platform's own functions (a dispatcher the module handed over) are not the module's.
    const bool profiled = profiler_ && fn >= kImageBase && fn - kImageBase < image_.size();
    if (profiled) profiler_->calledFromPlatform(static_cast<Address>(fn & ~1u) - kImageBase);
    for (auto pc = static_cast<Address>(fn); !crashed_ && (pc & ~1u) != kReturnToPlatform;) {
        waiting_.reset();
        const Stop stop = cpu_.run(pc);
        if (crashed_) break;
        if (waiting_) {
            const PlatformFunction& function = *imports_[*waiting_];
            const auto result = runPlatform(function, cpu_.callRegisters(function.arity));
            if (!result) break;
            cpu_.write(Reg::R0, *result);
            pc = cpu_.read(Reg::Lr);
        } else if (stop.kind == Stop::Kind::Fault) {
            crash(stop.what, stop.pc, stop.address, stop.fault);
        } else if (stop.kind == Stop::Kind::OutOfBudget) {
            outOfBudget(stop.pc);
        } else if (stop.pc == kReturnToPlatform) {
            pc = kReturnToPlatform;
        } else if (stop.pc < kNullPageEnd) {
            // The caller is where the link register returns to.
            crash("called a null function pointer", caller(), stop.pc);
        } else {
            crash("jumped to an address where there is no code", stop.pc, stop.pc);
        }
    }
    --depth_;
    if (profiled) profiler_->returnedToPlatform();
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
    const Cpu::CallRegisters registers = cpu_.callRegisters(function.arity);
    if (!registers.thumb()) {
        crash(std::string("called the platform function ") + function.name + " in ARM state, not Thumb", caller(), pc);
        cpu_.stop();
    } else if (function.callsModule) {
        waiting_ = index;
        cpu_.stop();
    } else if (const auto result = runPlatform(function, registers)) {
        cpu_.write(Reg::R0, *result);
    } else {
        cpu_.stop();
    }
}

std::optional<std::uint32_t> ArmModule::runPlatform(const PlatformFunction& function,
                                                    const Cpu::CallRegisters& registers) {
    // A platform function that calls back into the module is timed by the instructions it runs.
    const Watchdog::Scope timed(
        phone_.watchdog(), function.callsModule ? std::function<std::string()>() : [&function] {
            return std::string("the platform function ") + function.name;
        });
    ArmCall call(registers, space_, *records_, glyphs_, function.name);
    try {
        const std::uint32_t result = function.call(call, phone_);
        if (crashed_) return std::nullopt;  // what it did there was a fault
        return result;
    } catch (const call::Misdeed& misdeed) {
        // The argument at fault says the address as the module knows it.
        const Address address =
            misdeed.argument >= 0 ? call.word(static_cast<std::size_t>(misdeed.argument)) : Address(misdeed.address);
        crash(misdeed.what, caller(), address);
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return kFailed;  // the simulator is out of memory: the call fails, as for a host module
    }
}

template <class Record>
const Record* ArmModule::table(ModuleAddress table, std::uint32_t index, const char* what) {
    if (crashed_) return nullptr;
    // Computed wide: a table that runs past the 32-bit address space reaches nothing the module owns.
    const std::uint64_t at = std::uint64_t{table} + std::uint64_t{index} * sizeof(Record);
    const std::byte* host = at <= std::numeric_limits<Address>::max()
                                ? space_.view(static_cast<Address>(at), sizeof(Record), AddressSpace::Access::Read)
                                : nullptr;
    if (!host || at % alignof(Record) != 0) {
        crash(std::string("handed the framework ") + what + " at " +
                  (at <= std::numeric_limits<Address>::max()
                       ? space_.explain(static_cast<Address>(at), sizeof(Record))
                       : std::string("an address past the end of its address space")),
              std::nullopt, static_cast<Address>(at));
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
    return call(fn, "a handler", {addressOf(&records_->context), addressOf(app)});
}

std::uint32_t ArmModule::callStateRoutine(ModuleAddress fn, event_context_t*, app_record_t* app, std::uint32_t kind) {
    return call(fn, "a state routine", {addressOf(&records_->context), addressOf(app), kind});
}

std::uint32_t ArmModule::callStart(ModuleAddress fn, event_context_t*, std::uint32_t registration) {
    return call(fn, "its start callback", {addressOf(&records_->context), registration});
}

std::string ArmModule::report(const std::string& what, std::optional<Address> pc,
                              std::optional<Address> address) const {
    std::string text = "the application crashed: it " + what + " (";
    if (pc) text += "program counter " + hexAddress(*pc) + " in " + placeOf(*pc) + ", ";
    if (address) text += "address " + hexAddress(*address) + ", ";
    return text + "last platform call " + (lastCall_ ? lastCall_ : std::string("none")) + ")";
}

// A call that runs past --budget is stopped: no crash of the module, but a limit the user set,
// said as such, with the option that raises it.
void ArmModule::outOfBudget(Address pc) {
    crashed_ = true;
    const std::string budget = std::to_string(phone_.limits().instructions);
    std::string text = report("did not return within " + budget + " instructions", pc, std::nullopt);
    text.replace(0, std::string_view("the application crashed: it").size(),
                 "the application ran out of its budget: it");
    text += ": one call into the module may run " + budget + " ARM instructions; --budget N raises it";
    if (watcher_) watcher_->crashed(Stop::Fault::Memory, text);
    phone_.framework().halt(text);
}

void ArmModule::crash(const std::string& what, std::optional<Address> pc, std::optional<Address> address,
                      Stop::Fault fault) {
    crashed_ = true;
    const std::string text = report(what, pc, address);
    if (watcher_) watcher_->crashed(fault, text);
    phone_.framework().halt(text);
}

// While the module waits in a platform function, its link register returns to the caller;
// none when the platform called the function itself (a handler that is a platform function).
std::optional<Address> ArmModule::caller() const {
    const Address at = cpu_.read(Reg::Lr) & ~1u;
    if (depth_ == 0 || at == kReturnToPlatform) return std::nullopt;
    return at;
}

// A fault found inside a platform function.
std::string ArmModule::crashed(const std::string& what) {
    crashed_ = true;
    std::string text = report(what, caller(), std::nullopt);
    if (watcher_) watcher_->crashed(Stop::Fault::Memory, text);
    return text;
}

void ArmModule::abandon(const std::string& why) {
    crashed_ = true;
    cpu_.stop();
    phone_.framework().halt(why);
}

std::string ArmModule::placeOf(Address pc) const {
    const Address offset = pc - kImageBase;
    if (pc < kImageBase || offset >= image_.size()) return "no part of the module";
    const ElfImage::Symbol* symbol = elf_.nearest(offset);
    if (!symbol) return "the module at offset " + hexAddress(offset);
    const std::string name = readableSymbol(symbol->name);
    if (symbol->offset == offset) return name;
    char within[16];
    std::snprintf(within, sizeof within, "+0x%X", offset - symbol->offset);
    return name + within;
}

}  // namespace sim::arm
