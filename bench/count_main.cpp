// nuv-oka-count OPERATION: prepares one operation (bench/operations.cpp) and does it once with
// callgrind's instrumentation on around it alone, then prints the application's peak heap and
// the record file's size before the operation. Run it under
//     valgrind --tool=callgrind --instr-atstart=no
// and read the instruction count from callgrind's totals (tools/perf-table.sh does).
//
// nuv-oka-count --arm OPERATION does the same with the phone's own module on the emulated ARM
// CPU, without valgrind, and prints the ARM instructions the operation executed; with
// --profile FILE it also writes where they went, in callgrind's format.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstring>

#include "operations.hpp"
#include "instruction_profile.hpp"

int main(int argc, char** argv) {
    const bool arm = argc >= 3 && std::strcmp(argv[1], "--arm") == 0;
    const bool profiled = arm && argc == 5 && std::strcmp(argv[2], "--profile") == 0;
    const char* profileFile = profiled ? argv[3] : nullptr;
    const bench::Operation* op = argc == 2 + arm + 2 * profiled ? bench::findOperation(argv[argc - 1]) : nullptr;
    if (!op) {
        std::fprintf(stderr, "usage: nuv-oka-count [--arm [--profile FILE]] OPERATION, one of:\n");
        for (const bench::Operation& known : bench::operations())
            std::fprintf(stderr, "  %-16s %s\n", known.name.c_str(), known.description.c_str());
        return 2;
    }
    bench::BenchPhone phone(op->records, arm ? bench::ModuleKind::Arm : bench::ModuleKind::Host);
    const auto fileBytes = phone.fileSize();
    op->prepare(*phone);
    (*phone).memory().resetPeak();
    const auto armBefore = (*phone).loader().module()->instructions().value_or(0);
    sim::InstructionProfile profile;
    if (profileFile) (*phone).loader().module()->profileInto(&profile);
    CALLGRIND_START_INSTRUMENTATION;
    op->measure(*phone);
    CALLGRIND_STOP_INSTRUMENTATION;
    if (profileFile) {
        (*phone).loader().module()->profileInto(nullptr);
        if (auto written = profile.write(profileFile, "nuv-oka-count --arm " + op->name); !written) {
            std::fprintf(stderr, "nuv-oka-count: %s\n", written.error().message.c_str());
            return 2;
        }
    }
    if (arm) {
        std::printf("%s arm_instructions=%ju\n", op->name.c_str(),
                    static_cast<std::uintmax_t>((*phone).loader().module()->instructions().value_or(0) - armBefore));
        return 0;
    }
    std::printf("%s peak_heap=%zu file_bytes=%ju\n", op->name.c_str(), (*phone).memory().peakBytes(), fileBytes);
    return 0;
}
