#pragma once
// A module linked into the simulator's own program, for builds that have no dynamic loader
// (the web page, where the application is compiled to WebAssembly with the simulator). Its
// tables and functions are host ones, reached as a host module's are. A loader gives each load
// fresh globals; so does this: the application's globals lie in one span of memory, copied when
// it is first opened, before any of its code ran, and put back at each later opening.
#include <cstddef>
#include <memory>
#include <span>

#include "host/host_module.hpp"
#include "module.hpp"

namespace sim {

struct LinkedApplication {
    app_entry_fn entry;
    std::span<std::byte> globals;  // every global the application has, and nothing else
    const char* description;       // the text of its description file, as beside a module file
};

class LinkedModule final : public Module {
public:
    // Opens `application` with the globals it had at the first opening.
    static std::unique_ptr<Module> open(const LinkedApplication& application, Watchdog& watchdog);
    LinkedModule(app_entry_fn entry, Watchdog& watchdog) : entry_(entry), watchdog_(watchdog), code_(watchdog) {}

    std::uint32_t callEntry(const std::string& appPath, std::uint32_t evcodeBase) override;
    ModuleAddress entry() const override { return hostAddress(entry_); }
    ModuleCode& code() override { return code_; }
    void* symbol(const char*) const override { return nullptr; }
    std::string nameOf(ModuleAddress) const override { return ""; }

private:
    app_entry_fn entry_;
    Watchdog& watchdog_;
    HostCode code_;
};

// The application linked into this program, which its build provides.
const LinkedApplication& linkedApplication();

}  // namespace sim
