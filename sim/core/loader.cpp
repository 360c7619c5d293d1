#include "loader.hpp"

#include <dlfcn.h>

namespace sim {

std::optional<Module> Module::open(const std::filesystem::path& file, std::string& error) {
    // Each load gets its own copy of the module's globals; RTLD_LOCAL keeps its symbols
    // out of the way of a later load.
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error = why ? why : "cannot load " + file.string();
        return std::nullopt;
    }
    return Module(handle);
}

void Module::Closer::operator()(void* handle) const { ::dlclose(handle); }

void* Module::symbol(const char* name) const { return ::dlsym(handle_.get(), name); }

bool Loader::load(const std::filesystem::path& file, std::string& error) {
    module_.reset();
    unloadRequested_ = false;
    module_ = Module::open(file, error);
    if (!module_) return false;
    entry_ = reinterpret_cast<app_entry_fn>(module_->symbol("Lib"));
    if (!entry_) {
        error = file.string() + " has no entry Lib";
        module_.reset();
        return false;
    }
    return true;
}

std::uint32_t Loader::callEntry(const std::string& appPath, std::uint32_t evcodeBase) {
    return entry_ ? entry_(appPath.c_str(), nullptr, evcodeBase) : 1;
}

bool Loader::requestUnload(const void* codeStart) {
    if (!module_ || codeStart != reinterpret_cast<const void*>(entry_)) return false;
    unloadRequested_ = true;
    return true;
}

void Loader::unload() {
    module_.reset();
    entry_ = nullptr;
    unloadRequested_ = false;
}

}  // namespace sim
