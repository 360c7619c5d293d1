// nuv-oka-count OPERATION: prepares one operation (bench/operations.cpp) and does it once with
// callgrind's instrumentation on around it alone, then prints the application's peak heap and
// the record file's size before the operation. Run it under
//     valgrind --tool=callgrind --instr-atstart=no
// and read the instruction count from callgrind's totals (tools/perf-table.sh does).
#include <valgrind/callgrind.h>

#include <cstdio>

#include "operations.hpp"

int main(int argc, char** argv) {
    const bench::Operation* op = argc == 2 ? bench::findOperation(argv[1]) : nullptr;
    if (!op) {
        std::fprintf(stderr, "usage: nuv-oka-count OPERATION, one of:\n");
        for (const bench::Operation& known : bench::operations())
            std::fprintf(stderr, "  %-16s %s\n", known.name.c_str(), known.description.c_str());
        return 2;
    }
    bench::BenchPhone phone(op->records);
    const auto fileBytes = phone.fileSize();
    op->prepare(*phone);
    (*phone).memory.resetPeak();
    CALLGRIND_START_INSTRUMENTATION;
    op->measure(*phone);
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("%s peak_heap=%zu file_bytes=%ju\n", op->name.c_str(), (*phone).memory.peakBytes(), fileBytes);
    return 0;
}
