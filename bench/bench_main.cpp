// Benchmarks of every operation a user waits for (bench/operations.cpp), in CPU time, with the
// peak of the application's heap during one operation.
#include <benchmark/benchmark.h>

#include <optional>

#include "operations.hpp"

namespace {

void run(benchmark::State& state, const bench::Operation& op) {
    std::optional<bench::BenchPhone> phone;
    std::size_t peak = 0;
    for (auto _ : state) {
        if (!phone || op.changes) {
            state.PauseTiming();
            phone.reset();
            phone.emplace(op.records);
            op.prepare(**phone);
            (**phone).memory.resetPeak();
            state.ResumeTiming();
        }
        op.measure(**phone);
        peak = std::max(peak, (**phone).memory.peakBytes());
    }
    state.counters["peak_heap_bytes"] = static_cast<double>(peak);
}

}  // namespace

int main(int argc, char** argv) {
    for (const bench::Operation& op : bench::operations())
        benchmark::RegisterBenchmark(op.name.c_str(), [&op](benchmark::State& s) {
            run(s, op);
        })->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
