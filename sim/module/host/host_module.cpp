#include "host_module.hpp"

#include <dlfcn.h>

namespace sim {

namespace {
template <class T>
T as(ModuleAddress address) {
    return reinterpret_cast<T>(address);
}

std::string nameAt(ModuleAddress address) {
    Dl_info info{};
    const bool known = ::dladdr(as<void*>(address), &info) && info.dli_sname;
    return known ? info.dli_sname : "";
}

// What the watchdog says of a call of `fn` that does not return.
std::function<std::string()> calling(const char* what, ModuleAddress fn) {
    return [what, fn] {
        const std::string name = nameAt(fn);
        return std::string(what) + (name.empty() ? "" : " " + name);
    };
}
}  // namespace

std::optional<StateRow> HostCode::stateRow(ModuleAddress table, std::uint32_t index) {
    const state_row_t& row = as<const state_row_t*>(table)[index];
    return StateRow{row.id, hostAddress(row.entry), hostAddress(row.exit), hostAddress(row.handlers)};
}

std::optional<HandlerEntry> HostCode::handlerEntry(ModuleAddress table, std::uint32_t index) {
    const event_handler_entry_t& entry = as<const event_handler_entry_t*>(table)[index];
    return HandlerEntry{entry.code, hostAddress(entry.handler)};
}

std::uint32_t HostCode::callHandler(ModuleAddress fn, event_context_t* ev, app_record_t* app) {
    const Watchdog::Scope timed(watchdog_, calling("its handler", fn));
    return as<event_handler_fn>(fn)(ev, app);
}

std::uint32_t HostCode::callStateRoutine(ModuleAddress fn, event_context_t* ev, app_record_t* app, std::uint32_t kind) {
    const Watchdog::Scope timed(watchdog_, calling("its state routine", fn));
    return as<state_routine_fn>(fn)(ev, app, kind);
}

std::uint32_t HostCode::callStart(ModuleAddress fn, event_context_t* ev, std::uint32_t registration) {
    const Watchdog::Scope timed(watchdog_, calling("its start callback", fn));
    return as<app_start_fn>(fn)(ev, registration);
}

Result<std::unique_ptr<Module>, LoadError> HostModule::open(const std::filesystem::path& file, Watchdog& watchdog) {
    // Each load gets its own copy of the module's globals; RTLD_LOCAL keeps its symbols
    // out of the way of a later load.
    // A bare name would make dlopen search the library path: a module is always a file.
    const std::filesystem::path path = file.has_parent_path() ? file : std::filesystem::path(".") / file;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        return tl::unexpected(LoadError{why ? why : "cannot load " + file.string()});
    }
    auto entry = reinterpret_cast<app_entry_fn>(::dlsym(handle, "Lib"));
    if (!entry) {
        ::dlclose(handle);
        return tl::unexpected(LoadError{file.string() + " has no entry Lib"});
    }
    return std::make_unique<HostModule>(handle, entry, watchdog);
}

void HostModule::Closer::operator()(void* handle) const { ::dlclose(handle); }

std::uint32_t HostModule::callEntry(const std::string& appPath, std::uint32_t evcodeBase) {
    const Watchdog::Scope timed(watchdog_, calling("its entry", hostAddress(entry_)));
    return entry_(appPath.c_str(), nullptr, evcodeBase);
}

void* HostModule::symbol(const char* name) const { return ::dlsym(handle_.get(), name); }

std::string HostModule::nameOf(ModuleAddress address) const { return nameAt(address); }

}  // namespace sim
