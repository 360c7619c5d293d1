#pragma once
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "address_space.hpp"
#include "cpu.hpp"
#include "elf_image.hpp"
#include "module.hpp"
#include "page_buffer.hpp"
#include "platform_calls.hpp"
#include "coverage_recorder.hpp"
#include "profiler.hpp"

namespace sim::arm {

// What a debugger hears of the module besides what its CPU does.
class ModuleWatcher {
public:
    virtual ~ModuleWatcher() = default;
    // The module crashed (`report` says how); the run ends with it once this returns.
    virtual void crashed(Stop::Fault fault, const std::string& report) = 0;
    // The module is being unloaded: its CPU goes with it.
    virtual void unloaded() = 0;
};

// The phone's own module on the emulated ARM926: its image placed at kImageBase with its
// relocations applied and each import bound to the address of a platform function, a stack,
// and the platform's records where the module reaches them.
//
// A call into the module runs the CPU until the module returns to the platform. A platform
// function lies at an address of its own, where a trap runs it on the host before the CPU
// returns to the caller with the result in r0. The few that call into the module (a handler,
// an entry routine) need the CPU for that: it stops, the function runs (its calls into the
// module go on the same stack below the waiting caller), and the CPU goes on from the return
// address. When the module faults, hands a platform function memory it does not own, calls
// where there is no code, or does not return within its budget of instructions, the framework is
// halted with a report (what the module did, the program counter and the nearest symbol, the
// address and the last platform function called) and nothing of the module runs again.
class ArmModule final : public Module, private ModuleCode {
public:
    static Result<std::unique_ptr<Module>, LoadError> load(const std::filesystem::path& file, Phone& phone);
    ArmModule(ElfImage elf, std::filesystem::path file, Phone& phone);
    ~ArmModule() override;

    std::uint32_t callEntry(const std::string& appPath, std::uint32_t evcodeBase) override;
    ModuleAddress entry() const override { return kImageBase + elf_.entry(); }
    ModuleCode& code() override { return *this; }
    // The module's globals; its functions cannot be called from the host.
    void* symbol(const char* name) const override;
    // A function of the module, or the platform function an import is bound to.
    std::string nameOf(ModuleAddress address) const override;
    bool emulated() const override { return true; }
    std::optional<std::uint64_t> instructions() const override { return cpu_.instructions(); }
    bool profileInto(InstructionProfile* profile) override;
    bool coverInto(LineCoverage* coverage) override;

    // For a debugger: the CPU, told of crashes and of the unloading, and a way to end the run.
    Cpu& cpu() { return cpu_; }
    void watch(ModuleWatcher* watcher) { watcher_ = watcher; }
    // Nothing of the module runs any more: the framework halts, saying why.
    void abandon(const std::string& why);

private:
    std::optional<StateRow> stateRow(ModuleAddress table, std::uint32_t index) override;
    std::optional<HandlerEntry> handlerEntry(ModuleAddress table, std::uint32_t index) override;
    std::uint32_t callHandler(ModuleAddress fn, event_context_t* ev, app_record_t* app) override;
    std::uint32_t callStateRoutine(ModuleAddress fn, event_context_t* ev, app_record_t* app,
                                   std::uint32_t kind) override;
    std::uint32_t callStart(ModuleAddress fn, event_context_t* ev, std::uint32_t registration) override;
    app_record_t& appRecordRoom() override { return records_->app; }
    std::string crashed(const std::string& what) override;

    sim::Result<void, LoadError> place();
    bool mapImage();
    bool mapPlatformFunctions();
    std::optional<Address> bind(const std::string& name);
    // Runs `fn` (`what` names it for a report) until it returns to the platform.
    std::uint32_t call(ModuleAddress fn, const char* what, std::initializer_list<std::uint32_t> args,
                       Address stackPointer = 0);
    bool isCode(Address address) const;
    void enterPlatform(Address pc);
    std::optional<std::uint32_t> runPlatform(const PlatformFunction& function, const Cpu::CallRegisters& registers);
    template <class Record>
    const Record* table(ModuleAddress table, std::uint32_t index, const char* what);
    Address addressOf(const void* host) const { return host ? space_.addressOf(host).value_or(0) : 0; }
    std::optional<Address> caller() const;
    std::string report(const std::string& what, std::optional<Address> pc, std::optional<Address> address) const;
    void outOfBudget(Address pc);
    void crash(const std::string& what, std::optional<Address> pc, std::optional<Address> address,
               Stop::Fault fault = Stop::Fault::Memory);
    std::string placeOf(Address pc) const;
    void watchBlocks();

    ElfImage elf_;
    std::filesystem::path file_;
    Phone& phone_;
    std::optional<Profiler> profiler_;
    std::optional<CoverageRecorder> coverage_;
    PageBuffer image_, stack_, recordsPage_, functions_;
    PlatformRecords* records_;  // in recordsPage_
    Cpu cpu_;
    AddressSpace space_;
    std::vector<const PlatformFunction*> imports_;  // the i-th at kPlatformFunctionsBase + 4 i
    std::vector<glyph_record_t> glyphs_;            // the host's form of the glyphs of one call
    std::optional<std::size_t> waiting_;            // the import the CPU stopped for
    const char* lastCall_ = nullptr;
    bool crashed_ = false;
    int depth_ = 0;  // calls into the module under way
    ModuleWatcher* watcher_ = nullptr;
};

}  // namespace sim::arm
