#pragma once
// Random exploration of a module: sessions of random actions, each on an empty phone folder of
// its own, until one makes the module misbehave (a crash, a misdeed, a loop past its budget) or
// leave memory or files held when it ends. That session is then shrunk, by dropping actions and
// making them simpler while it still fails the same way, and written as a script that replays it.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "options.hpp"

namespace runner {

// One random session: its script lines, and the fault options it runs with (none for most).
struct ExploredSession {
    std::vector<std::string> lines;
    std::vector<std::string> faults;
};

// Session `index` of the run seeded `seed`: the same for the same two numbers.
ExploredSession exploredSession(std::uint64_t seed, std::size_t index);

// The lines after which a session looks for what the module holds once it has ended.
const std::vector<std::string>& leakChecks();

// The smallest `lines` found that still fail (delta debugging: dropping ever smaller runs of
// lines, then simplifying each line), at most `tries` runs of `fails`.
std::vector<std::string> shrunk(std::vector<std::string> lines,
                                const std::function<bool(const std::vector<std::string>&)>& fails, int tries = 2000);

// The explorer of `options`: status 1 and the failure's script at the first failure, 0 when every
// session ran well, 2 when the failure cannot be written.
ExitStatus runExplorer(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace runner
