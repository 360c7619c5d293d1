#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "module.hpp"

namespace sim {

// The program loader: opens the application's module, calls its entry, and unloads it when
// the application asks for that.
class Loader {
public:
    Result<void, LoadError> load(const std::filesystem::path& file, Phone& phone);
    bool loaded() const { return module_ != nullptr; }
    Module* module() const { return module_.get(); }
    std::uint32_t callEntry(const std::string& appPath, std::uint32_t evcodeBase);
    // The application asks to be unloaded; it happens once its code has returned.
    bool requestUnload(ModuleAddress codeStart);
    bool unloadRequested() const { return unloadRequested_; }
    void unload();

    template <class T>
    T* symbol(const char* name) const {
        return module_ ? reinterpret_cast<T*>(module_->symbol(name)) : nullptr;
    }

private:
    std::unique_ptr<Module> module_;
    bool unloadRequested_ = false;
};

}  // namespace sim
