#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/app_framework.h"

namespace sim {

// A loaded application module, unloaded when it goes.
class Module {
public:
    static std::optional<Module> open(const std::filesystem::path& file, std::string& error);
    void* symbol(const char* name) const;

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    explicit Module(void* handle) : handle_(handle) {}
    std::unique_ptr<void, Closer> handle_;
};

// The program loader: opens the application's module, calls its entry, starts it, and
// unloads it when the application asks for that.
class Loader {
public:
    bool load(const std::filesystem::path& file, std::string& error);
    bool loaded() const { return module_.has_value(); }
    std::uint32_t callEntry(const std::string& appPath, std::uint32_t evcodeBase);
    // The application asks to be unloaded; it happens once its code has returned.
    bool requestUnload(const void* codeStart);
    bool unloadRequested() const { return unloadRequested_; }
    void unload();

    template <class T>
    T* symbol(const char* name) const {
        return module_ ? reinterpret_cast<T*>(module_->symbol(name)) : nullptr;
    }

private:
    std::optional<Module> module_;
    app_entry_fn entry_ = nullptr;
    bool unloadRequested_ = false;
};

}  // namespace sim
