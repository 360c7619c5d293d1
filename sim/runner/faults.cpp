#include "faults.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>

namespace runner {

namespace {

sim::FaultPlan& heap(sim::Phone& phone) { return phone.memory().faults(); }
template <sim::FileOp op>
sim::FaultPlan& file(sim::Phone& phone) {
    return phone.files().faults(op);
}
sim::FaultPlan& dialogs(sim::Phone& phone) { return phone.dialogs().creationFaults(); }

// Every fault option, once: the command line, the script's options, the recording, the page's
// address and the explorer all take them from here.
constexpr FaultOption kFaults[] = {
    {"--fail-alloc", FaultOption::Kind::CallFails, &FaultOptions::alloc, "suAllocMem", "it returns null", heap},
    {"--fail-open", FaultOption::Kind::CallFails, &FaultOptions::open, "DL_FsOpenFile", "", file<sim::FileOp::Open>},
    {"--fail-read", FaultOption::Kind::CallFails, &FaultOptions::read, "DL_FsReadFile", "it moves no byte",
     file<sim::FileOp::Read>},
    {"--fail-write", FaultOption::Kind::CallFails, &FaultOptions::write, "DL_FsWriteFile", "it moves no byte",
     file<sim::FileOp::Write>},
    {"--fail-rename", FaultOption::Kind::CallFails, &FaultOptions::rename, "DL_FsRenameFile", "",
     file<sim::FileOp::Rename>},
    {"--fail-close", FaultOption::Kind::CallFails, &FaultOptions::close, "DL_FsCloseFile", "what was written is lost",
     file<sim::FileOp::Close>},
    {"--fail-size", FaultOption::Kind::CallFails, &FaultOptions::size, "DL_FsSGetFileSize", "",
     file<sim::FileOp::Size>},
    {"--fail-dialog", FaultOption::Kind::CallFails, &FaultOptions::dialog,
     "the dialog constructors (colour canvas and character editor)", "", dialogs},
    {"--disk-limit", FaultOption::Kind::DiskLimit, nullptr, "", "", nullptr},
    {"--power-loss-at-write", FaultOption::Kind::PowerLoss, &FaultOptions::powerLossAtWrite, "DL_FsWriteFile", "",
     nullptr},
};

constexpr const char* kDiskLimitHelp =
    "the files under the phone's folder hold at most BYTES together; a write past that writes what fits and fails";
constexpr const char* kPowerLossHelp =
    "the power goes in the N-th DL_FsWriteFile: it stores half of its bytes and the run ends at once with exit "
    "status 3";

std::optional<std::uint64_t> bytesOf(const std::string& value) {
    std::uint64_t bytes = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), bytes);
    if (value.empty() || ec != std::errc() || end != value.data() + value.size()) return std::nullopt;
    return bytes;
}

}  // namespace

std::span<const FaultOption> faultOptions() { return kFaults; }

std::optional<std::string> FaultOptions::value(const FaultOption& fault) const {
    if (fault.kind == FaultOption::Kind::DiskLimit)
        return diskLimit ? std::optional(std::to_string(*diskLimit)) : std::nullopt;
    const auto& count = this->*fault.count;
    return count ? std::optional(std::to_string(*count)) : std::nullopt;
}

bool FaultOptions::set(const FaultOption& fault, const std::string& value) {
    if (fault.kind == FaultOption::Kind::DiskLimit) {
        diskLimit = bytesOf(value);
        return diskLimit.has_value();
    }
    const auto n = bytesOf(value);
    if (!n || *n < 1 || *n > 0xFFFFFFFFu) return false;
    this->*fault.count = static_cast<std::uint32_t>(*n);
    return true;
}

void addFaultOptions(CLI::App& cli, FaultOptions& faults) {
    for (const FaultOption& f : kFaults) {
        switch (f.kind) {
        case FaultOption::Kind::CallFails:
            cli.add_option(f.option, faults.*f.count,
                           "the N-th call of " + std::string(f.function) +
                               (*f.effect ? " (" + std::string(f.effect) + ")" : "") +
                               " fails, counting from 1 since the module was loaded")
                ->type_name("N")
                ->check(CLI::Range(1u, 0xFFFFFFFFu))
                ->group("Faults");
            break;
        case FaultOption::Kind::DiskLimit:
            cli.add_option(f.option, faults.diskLimit, kDiskLimitHelp)
                ->type_name("BYTES")
                ->check(CLI::Validator(
                    [](std::string& value) -> std::string {
                        if (bytesOf(value)) return {};
                        return "takes a number of bytes from 0 to 18446744073709551615, not \"" + value + "\"";
                    },
                    "BYTES"))
                ->group("Faults");
            break;
        case FaultOption::Kind::PowerLoss:
            cli.add_option(f.option, faults.*f.count, kPowerLossHelp)
                ->type_name("N")
                ->check(CLI::Range(1u, 0xFFFFFFFFu))
                ->group("Faults");
            break;
        }
    }
}

void applyFaults(sim::Phone& phone, const FaultOptions& faults, const FaultReport& report) {
    for (const FaultOption& f : kFaults) {
        if (f.kind != FaultOption::Kind::CallFails || !(faults.*f.count)) continue;
        const std::uint32_t n = *(faults.*f.count);
        sim::FaultPlan& plan = f.plan(phone);
        plan.failNth(n);
        if (report)
            plan.whenFired([=, option = std::string(f.option), what = std::string(f.function)](std::uint32_t call) {
                report(option + " " + std::to_string(n) + ": call " + std::to_string(call) + " of " + what + " fails",
                       false);
            });
    }
    if (faults.diskLimit) phone.files().limitDisk(*faults.diskLimit);
    if (faults.powerLossAtWrite) phone.files().cutPowerAtWrite(*faults.powerLossAtWrite);
    if (report && (faults.diskLimit || faults.powerLossAtWrite))
        phone.files().whenLimited([=](sim::FileSystem::Limit limit, const std::string& what) {
            const bool powerCut = limit == sim::FileSystem::Limit::PowerCut;
            report(powerCut ? "--power-loss-at-write " + std::to_string(*faults.powerLossAtWrite) + ": " + what
                            : "--disk-limit " + std::to_string(*faults.diskLimit) + ": " + what,
                   powerCut);
        });
}

bool isFaultOption(const std::string& name) {
    return std::any_of(std::begin(kFaults), std::end(kFaults), [&](const FaultOption& f) { return name == f.option; });
}

std::vector<std::string> faultArguments(const FaultOptions& faults) {
    std::vector<std::string> args;
    for (const FaultOption& f : kFaults)
        if (const auto value = faults.value(f)) args.insert(args.end(), {f.option, *value});
    return args;
}

}  // namespace runner
