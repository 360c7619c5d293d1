#pragma once
// Faults a user or a bug report asks the simulated phone for from the command line: a chosen
// call of a platform service fails, the disk is small, or the power goes in the middle of a
// write.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "phone.hpp"

namespace CLI {
class App;
}

namespace runner {

struct FaultOptions {
    // The n-th call, counting from 1 since the module was loaded, fails.
    std::optional<std::uint32_t> alloc, open, read, write, rename, close, size, dialog;
    std::optional<std::uint64_t> diskLimit;
    std::optional<std::uint32_t> powerLossAtWrite;
};

// Adds --fail-alloc, --fail-open, --fail-read, --fail-write, --fail-rename, --fail-close,
// --fail-size, --fail-dialog, --disk-limit and --power-loss-at-write to the command line; each
// may be given once and takes a number from 1.
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
