#include "faults.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>

namespace runner {

namespace {

struct FileFault {
    const char* option;
    std::optional<std::uint32_t> FaultOptions::*count;
    sim::FileOp op;
    const char* function;
    const char* effect;  // what the failure does beyond failing, if anything
};

constexpr FileFault kFileFaults[] = {
    {"--fail-open", &FaultOptions::open, sim::FileOp::Open, "DL_FsOpenFile", ""},
    {"--fail-read", &FaultOptions::read, sim::FileOp::Read, "DL_FsReadFile", "it moves no byte"},
    {"--fail-write", &FaultOptions::write, sim::FileOp::Write, "DL_FsWriteFile", "it moves no byte"},
    {"--fail-rename", &FaultOptions::rename, sim::FileOp::Rename, "DL_FsRenameFile", ""},
    {"--fail-close", &FaultOptions::close, sim::FileOp::Close, "DL_FsCloseFile", "what was written is lost"},
    {"--fail-size", &FaultOptions::size, sim::FileOp::Size, "DL_FsSGetFileSize", ""},
};

}  // namespace

void addFaultOptions(CLI::App& cli, FaultOptions& faults) {
    const auto count = [&](const std::string& name, std::optional<std::uint32_t>& into, const std::string& what) {
        cli.add_option(name, into, "the N-th call of " + what + " fails, counting from 1 since the module was loaded")
            ->type_name("N")
            ->check(CLI::Range(1u, 0xFFFFFFFFu))
            ->group("Faults");
    };
    count("--fail-alloc", faults.alloc, "suAllocMem (it returns null)");
    for (const FileFault& f : kFileFaults)
        count(f.option, faults.*f.count,
              std::string(f.function) + (*f.effect ? std::string(" (") + f.effect + ")" : ""));
    count("--fail-dialog", faults.dialog, "the dialog constructors (colour canvas and character editor)");
    cli.add_option("--disk-limit", faults.diskLimit,
                   "the files under the phone's folder hold at most BYTES together; a write past that writes what "
                   "fits and fails")
        ->type_name("BYTES")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                std::uint64_t bytes = 0;
                const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), bytes);
                if (!value.empty() && ec == std::errc() && end == value.data() + value.size()) return {};
                return "takes a number of bytes from 0 to 18446744073709551615, not \"" + value + "\"";
            },
            "BYTES"))
        ->group("Faults");
    cli.add_option("--power-loss-at-write", faults.powerLossAtWrite,
                   "the power goes in the N-th DL_FsWriteFile: it stores half of its bytes and the run ends at once "
                   "with exit status 3")
        ->type_name("N")
        ->check(CLI::Range(1u, 0xFFFFFFFFu))
        ->group("Faults");
}

void applyFaults(sim::Phone& phone, const FaultOptions& faults, const FaultReport& report) {
    const auto arm = [&](sim::FaultPlan& plan, std::uint32_t n, const std::string& option, const std::string& what) {
        plan.failNth(n);
        if (report)
            plan.whenFired([=](std::uint32_t call) {
                report(option + " " + std::to_string(n) + ": call " + std::to_string(call) + " of " + what + " fails",
                       false);
            });
    };
    if (faults.alloc) arm(phone.memory.faults(), *faults.alloc, "--fail-alloc", "suAllocMem");
    for (const FileFault& f : kFileFaults)
        if (faults.*f.count) arm(phone.files.faults(f.op), *(faults.*f.count), f.option, f.function);
    if (faults.dialog) arm(phone.dialogs.creationFaults(), *faults.dialog, "--fail-dialog", "the dialog constructors");
    if (faults.diskLimit) phone.files.limitDisk(*faults.diskLimit);
    if (faults.powerLossAtWrite) phone.files.cutPowerAtWrite(*faults.powerLossAtWrite);
    if (report && (faults.diskLimit || faults.powerLossAtWrite))
        phone.files.whenLimited([=](sim::FileSystem::Limit limit, const std::string& what) {
            const bool powerCut = limit == sim::FileSystem::Limit::PowerCut;
            report(powerCut ? "--power-loss-at-write " + std::to_string(*faults.powerLossAtWrite) + ": " + what
                            : "--disk-limit " + std::to_string(*faults.diskLimit) + ": " + what,
                   powerCut);
        });
}

bool isFaultOption(const std::string& name) {
    for (const char* option : {"--fail-alloc", "--fail-dialog", "--disk-limit", "--power-loss-at-write"})
        if (name == option) return true;
    return std::any_of(std::begin(kFileFaults), std::end(kFileFaults),
                       [&](const FileFault& f) { return name == f.option; });
}

std::vector<std::string> faultArguments(const FaultOptions& faults) {
    std::vector<std::string> args;
    const auto add = [&](const char* option, const auto& value) {
        if (value) args.insert(args.end(), {option, std::to_string(*value)});
    };
    add("--fail-alloc", faults.alloc);
    for (const FileFault& f : kFileFaults) add(f.option, faults.*f.count);
    add("--fail-dialog", faults.dialog);
    add("--disk-limit", faults.diskLimit);
    add("--power-loss-at-write", faults.powerLossAtWrite);
    return args;
}

}  // namespace runner
