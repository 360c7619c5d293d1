#pragma once
// A module built for this computer, loaded with the host's dynamic loader: its tables are host
// structs and its functions are called directly.
#include <filesystem>
#include <functional>
#include <memory>

#include "host_symbols.hpp"
#include "module.hpp"
#include "watchdog.hpp"

namespace sim {

// The name the dynamic loader knows for the function at `address`, readable; "" when none.
std::string exportedNameAt(ModuleAddress address);
// What the watchdog says of a call of `fn` that does not return: `what` and the function's name.
std::function<std::string()> calling(const char* what, ModuleAddress fn);

// Host tables read and host functions called as they are. Nothing can stop a host function
// safely: one that does not return within the watchdog's budget ends the process.
class HostCode final : public ModuleCode {
public:
    explicit HostCode(Watchdog& watchdog) : watchdog_(watchdog) {}
    std::optional<StateRow> stateRow(ModuleAddress table, std::uint32_t index) override;
    std::optional<HandlerEntry> handlerEntry(ModuleAddress table, std::uint32_t index) override;
    std::uint32_t callHandler(ModuleAddress fn, event_context_t* ev, app_record_t* app) override;
    std::uint32_t callStateRoutine(ModuleAddress fn, event_context_t* ev, app_record_t* app,
                                   std::uint32_t kind) override;
    std::uint32_t callStart(ModuleAddress fn, event_context_t* ev, std::uint32_t registration) override;
    app_record_t& appRecordRoom() override { return record_; }

private:
    Watchdog& watchdog_;
    app_record_t record_{};
};

class HostModule final : public Module {
public:
    static Result<std::unique_ptr<Module>, LoadError> open(const std::filesystem::path& file, Watchdog& watchdog);
    // Takes over a handle of dlopen and the module's entry.
    HostModule(void* handle, app_entry_fn lib, HostSymbols symbols, Watchdog& watchdog)
        : handle_(handle), entry_(lib), symbols_(std::move(symbols)), watchdog_(watchdog), code_(watchdog) {}

    std::uint32_t callEntry(const std::string& appPath, std::uint32_t evcodeBase) override;
    ModuleAddress entry() const override { return hostAddress(entry_); }
    ModuleCode& code() override { return code_; }
    void* symbol(const char* name) const override;
    std::string nameOf(ModuleAddress address) const override;

private:
    struct Closer {
        void operator()(void* handle) const;
    };

    std::unique_ptr<void, Closer> handle_;
    app_entry_fn entry_;
    HostSymbols symbols_;
    Watchdog& watchdog_;
    HostCode code_;
};

}  // namespace sim
