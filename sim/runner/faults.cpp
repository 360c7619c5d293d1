#include "faults.hpp"

#include <CLI/CLI.hpp>

namespace runner {

namespace {

struct FileFault {
    const char* option;
    std::optional<std::uint32_t> FaultOptions::*count;
    sim::FileOp op;
    const char* what;
};

constexpr FileFault kFileFaults[] = {
    {"--fail-open", &FaultOptions::open, sim::FileOp::Open, "DL_FsOpenFile"},
    {"--fail-read", &FaultOptions::read, sim::FileOp::Read, "DL_FsReadFile (it moves no byte)"},
    {"--fail-write", &FaultOptions::write, sim::FileOp::Write, "DL_FsWriteFile (it moves no byte)"},
    {"--fail-rename", &FaultOptions::rename, sim::FileOp::Rename, "DL_FsRenameFile"},
    {"--fail-close", &FaultOptions::close, sim::FileOp::Close, "DL_FsCloseFile (what was written is lost)"},
    {"--fail-size", &FaultOptions::size, sim::FileOp::Size, "DL_FsSGetFileSize"},
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
    for (const FileFault& f : kFileFaults) count(f.option, faults.*f.count, f.what);
    count("--fail-dialog", faults.dialog, "the dialog constructors (colour canvas and character editor)");
    cli.add_option("--disk-limit", faults.diskLimit,
                   "the files under the phone's folder hold at most BYTES together; a write past that writes what "
                   "fits and fails")
        ->type_name("BYTES")
        ->group("Faults");
    cli.add_option("--power-loss-at-write", faults.powerLossAtWrite,
                   "the power goes in the N-th DL_FsWriteFile: it stores half of its bytes and the run ends at once "
                   "with exit status 3")
        ->type_name("N")
        ->check(CLI::Range(1u, 0xFFFFFFFFu))
        ->group("Faults");
}

void applyFaults(sim::Phone& phone, const FaultOptions& faults) {
    if (faults.alloc) phone.memory.faults().failNth(*faults.alloc);
    for (const FileFault& f : kFileFaults)
        if (faults.*f.count) phone.files.faults(f.op).failNth(*(faults.*f.count));
    if (faults.dialog) phone.dialogs.creationFaults().failNth(*faults.dialog);
    if (faults.diskLimit) phone.files.limitDisk(*faults.diskLimit);
    if (faults.powerLossAtWrite) phone.files.cutPowerAtWrite(*faults.powerLossAtWrite);
}

}  // namespace runner
