#pragma once
// What the platform needs of a loaded application module, whichever CPU runs it: its entry,
// its tables and functions as the framework reaches them, and its globals for tests. A module
// built for this computer is reached through host pointers (sim/module/host/); the phone's own
// module runs on an emulated ARM CPU in an address space of its own (sim/module/arm/). The
// platform's services are the same for both.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/app_framework.h"
#include "result.hpp"

namespace sim {

class Phone;
class InstructionProfile;
class LineCoverage;

// A function or table of the module as the module itself points at it: a host address for a
// host module, a 32-bit address in its own address space for an emulated one. 0 is none.
using ModuleAddress = std::uintptr_t;

template <class T>
ModuleAddress hostAddress(T* pointer) {
    return reinterpret_cast<ModuleAddress>(pointer);
}

struct StateRow {
    std::uint32_t id;
    ModuleAddress entry, exit, handlers;
};

struct HandlerEntry {
    std::uint32_t code;
    ModuleAddress handler;
};

// The module's tables and functions as the framework reaches them. A table that cannot be read
// gives nothing; a call returns the function's result.
class ModuleCode {
public:
    virtual ~ModuleCode() = default;

    virtual std::optional<StateRow> stateRow(ModuleAddress table, std::uint32_t index) = 0;
    virtual std::optional<HandlerEntry> handlerEntry(ModuleAddress table, std::uint32_t index) = 0;

    // A handler or the dispatcher: fn(ev, app).
    virtual std::uint32_t callHandler(ModuleAddress fn, event_context_t* ev, app_record_t* app) = 0;
    // An entry or exit routine: fn(ev, app, kind).
    virtual std::uint32_t callStateRoutine(ModuleAddress fn, event_context_t* ev, app_record_t* app,
                                           std::uint32_t kind) = 0;
    // The start callback: fn(ev, registration).
    virtual std::uint32_t callStart(ModuleAddress fn, event_context_t* ev, std::uint32_t registration) = 0;

    // Where the framework keeps the application record it hands the module: memory the module
    // can reach. It lives as long as this.
    virtual app_record_t& appRecordRoom() = 0;

    // The application did wrong in a platform function (`what` follows "it"): the report of it,
    // with whatever the module can tell of where it was. The module runs no more of its code.
    virtual std::string crashed(const std::string& what) { return "the application crashed: it " + what; }
};

// A loaded application module, unloaded when it goes.
class Module {
public:
    virtual ~Module() = default;

    // Calls the entry as the phone's loader does: Lib(path, 0, evcodeBase).
    virtual std::uint32_t callEntry(const std::string& appPath, std::uint32_t evcodeBase) = 0;
    // The entry's address as the module sees it, which it hands LdrUnloadELF.
    virtual ModuleAddress entry() const = 0;
    virtual ModuleCode& code() = 0;
    // A global (or, in a host module, a function) by name, seen from the host; null when unknown.
    virtual void* symbol(const char* name) const = 0;
    // The name of the function at `address` as the module addresses it, "" when unknown.
    virtual std::string nameOf(ModuleAddress address) const = 0;
    // Whether the module runs on the phone's emulated CPU (the phone's own module) rather than on
    // this computer's.
    virtual bool emulated() const { return false; }
    // The CPU instructions the module has executed so far, where the CPU is emulated and counts them.
    virtual std::optional<std::uint64_t> instructions() const { return std::nullopt; }
    // From now on counts the instructions the module executes into `profile` by function and
    // source line (null stops it); false where the CPU is not emulated and cannot count them.
    virtual bool profileInto(InstructionProfile* profile) { return false; }
    // From now on counts the source lines and functions of the module that run into `coverage`
    // (null stops it); false where the CPU is not emulated and cannot tell them.
    virtual bool coverInto(LineCoverage* coverage) { return false; }
};

// Why a module did not load, or its application did not start.
struct LoadError {
    enum class Kind {
        NoModule,       // the file holds no module the phone can load
        LacksFunction,  // the module imports a function the platform does not have
        NotRegistered,  // its entry did not register it with the framework
        NotStarted,     // it registered but did not start
        Faulted,        // it crashed, or kept queueing events, while it started
    };
    Kind kind = Kind::NoModule;
    std::string message;
    // The module did wrong, which ends the run as its fault, rather than there being none to run.
    bool modulesFault() const { return kind == Kind::LacksFunction || kind == Kind::Faulted; }
};

// Opens the module in `file` for `phone`, as a host module or as the phone's own ARM module,
// whichever its ELF header names.
Result<std::unique_ptr<Module>, LoadError> openModule(const std::filesystem::path& file, Phone& phone);
// Whether `file` holds the phone's own module, which runs contained on the emulated CPU, rather
// than one built for this computer, whose code runs as the simulator itself.
bool isPhoneModule(const std::filesystem::path& file);

}  // namespace sim
