#pragma once
// Faults a user or a bug report asks the simulated phone for from the command line: a chosen
// call of a platform service fails, the disk is small, or the power goes in the middle of a
// write.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "phone.hpp"

namespace CLI {
class App;
}

namespace runner {

struct FaultOption;

struct FaultOptions {
    // The n-th call, counting from 1 since the module was loaded, fails.
    std::optional<std::uint32_t> alloc, open, read, write, rename, close, size, dialog;
    std::optional<std::uint64_t> diskLimit;
    std::optional<std::uint32_t> powerLossAtWrite;

    // The value a fault option has, as the command line gives it; none when it is not given.
    std::optional<std::string> value(const FaultOption& fault) const;
    // Gives the fault option its value from text; false when the text is no value it takes.
    bool set(const FaultOption& fault, const std::string& value);
};

// One fault option: its name, what it does and where it is armed.
struct FaultOption {
    enum class Kind {
        CallFails,  // the N-th call of `function` fails
        DiskLimit,  // the phone's files hold at most so many bytes
        PowerLoss,  // the power goes in the N-th write
    };
    const char* option;  // "--fail-write"
    Kind kind;
    std::optional<std::uint32_t> FaultOptions::*count;  // none for the disk limit
    const char* function;                               // the platform function it counts
    const char* effect;                                 // what the failure does beyond failing
    sim::FaultPlan& (*plan)(sim::Phone&);               // where a failing call is armed
};

// Every fault option, in the order --help lists them.
std::span<const FaultOption> faultOptions();

// Adds every fault option to the command line; each may be given once.
void addFaultOptions(CLI::App& cli, FaultOptions& faults);

// Told in words, with the option's name, each time a fault fires, and whether it ends the run
// at once (the power going).
using FaultReport = std::function<void(const std::string& what, bool endsTheRun)>;

// Arms the faults on a phone whose module is not loaded yet.
void applyFaults(sim::Phone& phone, const FaultOptions& faults, const FaultReport& report = {});

// Whether a long option's name ("--fail-write") is one of the fault options.
bool isFaultOption(const std::string& name);

// The command line's arguments that give these faults.
std::vector<std::string> faultArguments(const FaultOptions& faults);

}  // namespace runner
