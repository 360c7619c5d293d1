#pragma once
// What the phone's own module on the emulated CPU costs beside the same module built for this
// computer, and what the simulator does when a module misbehaves: measures that each run a whole
// session, for nuv-oka-bench (tools/perf-table.sh sets them against their goals).
#include <functional>
#include <string>
#include <vector>

#include "operations.hpp"

namespace bench {

struct Measure {
    std::string name;
    std::string description;
    // Makes the phone a run needs; then `run` is timed.
    std::function<std::unique_ptr<BenchPhone>()> prepare;
    std::function<void(sim::Phone&)> run;
};

const std::vector<Measure>& emulationMeasures();

}  // namespace bench
