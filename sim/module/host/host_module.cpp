#include "host_module.hpp"

#include <dlfcn.h>

namespace sim {

namespace {
template <class T>
T as(ModuleAddress address) {
    return reinterpret_cast<T>(address);
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
    return as<event_handler_fn>(fn)(ev, app);
}

std::uint32_t HostCode::callStateRoutine(ModuleAddress fn, event_context_t* ev, app_record_t* app, std::uint32_t kind) {
    return as<state_routine_fn>(fn)(ev, app, kind);
}

std::uint32_t HostCode::callStart(ModuleAddress fn, event_context_t* ev, std::uint32_t registration) {
    return as<app_start_fn>(fn)(ev, registration);
}

Result<std::unique_ptr<Module>, LoadError> HostModule::open(const std::filesystem::path& file) {
    // Each load gets its own copy of the module's globals; RTLD_LOCAL keeps its symbols
    // out of the way of a later load.
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        return tl::unexpected(LoadError{why ? why : "cannot load " + file.string()});
    }
    auto entry = reinterpret_cast<app_entry_fn>(::dlsym(handle, "Lib"));
    if (!entry) {
        ::dlclose(handle);
        return tl::unexpected(LoadError{file.string() + " has no entry Lib"});
    }
    return std::make_unique<HostModule>(handle, entry);
}

void HostModule::Closer::operator()(void* handle) const { ::dlclose(handle); }

std::uint32_t HostModule::callEntry(const std::string& appPath, std::uint32_t evcodeBase) {
    return entry_(appPath.c_str(), nullptr, evcodeBase);
}

void* HostModule::symbol(const char* name) const { return ::dlsym(handle_.get(), name); }

std::string HostModule::nameOf(ModuleAddress address) const {
    Dl_info info{};
    const bool known = ::dladdr(as<void*>(address), &info) && info.dli_sname;
    return known ? info.dli_sname : "";
}

}  // namespace sim
