// Host tables and functions as the framework reaches them, for every module whose code runs on
// this computer: one loaded with dlopen, or one linked into the program.
#include <dlfcn.h>

#include "host_module.hpp"
#include "symbol_names.hpp"

namespace sim {

namespace {
template <class T>
T as(ModuleAddress address) {
    return reinterpret_cast<T>(address);
}
}  // namespace

std::string exportedNameAt(ModuleAddress address) {
    Dl_info info{};
    const bool known = ::dladdr(as<void*>(address), &info) && info.dli_sname;
    return known ? readableSymbol(info.dli_sname) : "";
}

std::function<std::string()> calling(const char* what, ModuleAddress fn) {
    return [what, fn] {
        const std::string name = exportedNameAt(fn);
        return std::string(what) + (name.empty() ? "" : " " + name);
    };
}

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

}  // namespace sim
