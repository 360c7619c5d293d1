#include "host_module.hpp"

#include <dlfcn.h>
#include <link.h>

namespace sim {

Result<std::unique_ptr<Module>, LoadError> HostModule::open(const std::filesystem::path& file, Watchdog& watchdog) {
    // Each load gets its own copy of the module's globals; RTLD_LOCAL keeps its symbols
    // out of the way of a later load.
    // A bare name would make dlopen search the library path: a module is always a file.
    const std::filesystem::path path = file.has_parent_path() ? file : std::filesystem::path(".") / file;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        return tl::unexpected(LoadError{LoadError::Kind::NoModule, why ? why : "cannot load " + file.string()});
    }
    auto entry = reinterpret_cast<app_entry_fn>(::dlsym(handle, "Lib"));
    if (!entry) {
        ::dlclose(handle);
        return tl::unexpected(LoadError{LoadError::Kind::NoModule, file.string() + " has no entry Lib"});
    }
    // The module's static functions are named from its own symbol table, placed where the loader
    // put the module.
    link_map* map = nullptr;
    const std::uintptr_t bias = ::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map ? map->l_addr : 0;
    return std::make_unique<HostModule>(handle, entry, HostSymbols::read(path, bias), watchdog);
}

void HostModule::Closer::operator()(void* handle) const { ::dlclose(handle); }

std::uint32_t HostModule::callEntry(const std::string& appPath, std::uint32_t evcodeBase) {
    const Watchdog::Scope timed(watchdog_, calling("its entry", hostAddress(entry_)));
    return entry_(appPath.c_str(), nullptr, evcodeBase);
}

void* HostModule::symbol(const char* name) const { return ::dlsym(handle_.get(), name); }

std::string HostModule::nameOf(ModuleAddress address) const {
    const std::string name = symbols_.nameOf(address);
    return name.empty() ? exportedNameAt(address) : name;
}

}  // namespace sim
