#pragma once
// A suite: every script of the folders and files given is a test case, run on a phone folder of
// its own by a run of this simulator of its own, several at a time; one line a case as it ends,
// then the count.
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "junit.hpp"
#include "options.hpp"
#include "result.hpp"

namespace runner {

struct SuiteCase {
    std::filesystem::path script;
    std::string name;  // its path from the folder given, or its file's name
};

// The cases of `paths`: a file is one case, a folder gives every *.txt below it; in name order
// within each path. Nothing to run, or a path that is neither, is an error.
sim::Result<std::vector<SuiteCase>> collectCases(const std::vector<std::filesystem::path>& paths);

struct SuiteRun {
    std::string program;                // the simulator each case runs in
    std::vector<std::string> caseArgs;  // given to every case, before its own
    // The case's own arguments beyond --headless --fs --script: where its outputs go, say.
    std::function<std::vector<std::string>(std::size_t index, const SuiteCase&)> argsOf;
    std::filesystem::path phones;  // each case's phone folder lies below it, by its index
    int jobs = 1;
};

// Runs the cases, at most `jobs` at a time, saying each one's PASS or FAIL line on `out` as it
// ends; the outcomes in the cases' order.
std::vector<CaseOutcome> runSuite(const std::vector<SuiteCase>& cases, const SuiteRun& run, std::ostream& out);

// The options of the command line that shape a run (the module, the language, the application
// path, the faults, the budgets), as arguments for a run of its own.
std::vector<std::string> runArguments(const Options& options);

// The suite `options` gives, run by this very program: 0 when every case passed, 1 when any
// failed, 2 when there is nothing to run or its report cannot be written. The options that shape
// a run (the module, the language, the faults, the budgets) apply to every case.
ExitStatus runSuiteCommand(const Options& options, std::ostream& out, std::ostream& err);

// Why a case failed, from what it said and its status: its first problem with its script line
// ("line 7: expected state 3, found 2").
std::string failureOf(const std::string& output, int status);

}  // namespace runner
