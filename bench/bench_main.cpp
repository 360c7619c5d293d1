// Benchmarks of every operation a user waits for (bench/operations.cpp), in CPU time, with the
// peak of the application's heap during one operation; and the session-long measures of the
// emulated CPU (bench/emulation.cpp).
#include <benchmark/benchmark.h>

#include <optional>

#include "emulation.hpp"
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
            (**phone).memory().resetPeak();
            state.ResumeTiming();
        }
        op.measure(**phone);
        peak = std::max(peak, (**phone).memory().peakBytes());
    }
    state.counters["peak_heap_bytes"] = static_cast<double>(peak);
}

// A whole session on a fresh phone each time: the session-long costs of the emulated CPU.
void run(benchmark::State& state, const bench::Measure& measure) {
    for (auto _ : state) {
        state.PauseTiming();
        auto phone = measure.prepare();
        state.ResumeTiming();
        measure.run(**phone);
        state.PauseTiming();
        phone.reset();
        state.ResumeTiming();
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (const bench::Operation& op : bench::operations())
        benchmark::RegisterBenchmark(op.name.c_str(), [&op](benchmark::State& s) {
            run(s, op);
        })->Unit(benchmark::kMicrosecond);
    for (const bench::Measure& measure : bench::emulationMeasures())
        benchmark::RegisterBenchmark(measure.name.c_str(), [&measure](benchmark::State& s) {
            run(s, measure);
        })->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
