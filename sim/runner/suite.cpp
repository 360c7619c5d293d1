#include "suite.hpp"

#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <ostream>
#include <regex>

#include "child_process.hpp"
#include "line_coverage.hpp"
#include "host_paths.hpp"
#include "temporary_folder.hpp"

namespace runner {

namespace fs = std::filesystem;

namespace {

struct Running {
    std::size_t index;
    ChildProcess child;
};

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}

CaseOutcome outcomeOf(const SuiteCase& c, ChildProcess& child) {
    const int status = child.wait();
    CaseOutcome outcome{c.name, status == sim::exitCode(ExitStatus::Ran), {}, child.output(), child.seconds()};
    if (!outcome.passed) outcome.failure = failureOf(child.output(), status);
    return outcome;
}

}  // namespace

std::vector<std::string> runArguments(const Options& options) {
    std::vector<std::string> args;
    const auto given = [&](const char* name) { return options.given.count(name) > 0; };
    if (given("--module") || given("--arm")) args.insert(args.end(), {"--module", options.module.string()});
    if (given("--lang")) args.insert(args.end(), {"--lang", languageArgument(options.language)});
    if (given("--app")) args.insert(args.end(), {"--app", options.app});
    for (const std::string& arg : faultArguments(options.faults)) args.push_back(arg);
    if (options.allowAnyPath) args.push_back("--allow-any-path");
    if (given("--budget")) args.insert(args.end(), {"--budget", std::to_string(options.limits.instructions)});
    if (given("--time-budget"))
        args.insert(args.end(), {"--time-budget", std::to_string(options.limits.callTime.count())});
    return args;
}

sim::Result<std::vector<SuiteCase>> collectCases(const std::vector<fs::path>& paths) {
    std::vector<SuiteCase> cases;
    for (const fs::path& path : paths) {
        std::error_code ec;
        if (fs::is_regular_file(path, ec)) {
            cases.push_back({path, path.filename().string()});
            continue;
        }
        if (!fs::is_directory(path, ec)) return sim::failure("--suite " + path.string() + ": no such file or folder");
        std::vector<SuiteCase> found;
        for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            if (it->path().extension() == ".txt" && it->is_regular_file(ec))
                found.push_back({it->path(), it->path().lexically_relative(path).string()});
        if (ec) return sim::failure("--suite " + path.string() + ": " + ec.message());
        std::sort(found.begin(), found.end(), [](const SuiteCase& a, const SuiteCase& b) { return a.name < b.name; });
        cases.insert(cases.end(), found.begin(), found.end());
    }
    if (cases.empty()) return sim::failure("--suite found no script (*.txt) to run");
    return cases;
}

std::string failureOf(const std::string& output, int status) {
    static const std::regex kLine(R"(script line (\d+) \((.*)\): (.*))");
    std::string first;
    std::size_t from = 0;
    while (from < output.size()) {
        const std::size_t end = std::min(output.find('\n', from), output.size());
        const std::string line = output.substr(from, end - from);
        from = end + 1;
        std::smatch m;
        if (std::regex_search(line, m, kLine))
            return "line " + m[1].str() + ": " + m[3].str() + " (" + m[2].str() + ")";
        // An answer of a piped line, or the simulator's own word.
        if (first.empty() && line.rfind("nuv-oka-sim: ", 0) == 0) first = line.substr(13);
    }
    const std::string why = "status " + std::to_string(status);
    return first.empty() ? why : why + ": " + first;
}

std::vector<CaseOutcome> runSuite(const std::vector<SuiteCase>& cases, const SuiteRun& run, std::ostream& out) {
    std::vector<CaseOutcome> outcomes(cases.size());
    std::deque<std::size_t> waiting(cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) waiting[i] = i;
    std::vector<Running> running;
    const auto finished = [&](std::size_t index, CaseOutcome outcome) {
        out << (outcome.passed ? "PASS " + outcome.name + " (" + seconds(outcome.seconds) + ")"
                               : "FAIL " + outcome.name + ": " + outcome.failure)
            << std::endl;
        outcomes[index] = std::move(outcome);
    };
    while (!waiting.empty() || !running.empty()) {
        while (!waiting.empty() && static_cast<int>(running.size()) < std::max(1, run.jobs)) {
            const std::size_t index = waiting.front();
            waiting.pop_front();
            const SuiteCase& c = cases[index];
            std::vector<std::string> args{"--headless", "--fs", (run.phones / std::to_string(index + 1)).string()};
            args.insert(args.end(), run.caseArgs.begin(), run.caseArgs.end());
            if (run.argsOf) {
                const auto own = run.argsOf(index, c);
                args.insert(args.end(), own.begin(), own.end());
            }
            args.insert(args.end(), {"--script", c.script.string()});
            auto child = ChildProcess::start(run.program, args);
            if (!child)
                finished(index, CaseOutcome{c.name, false, child.error().message, {}, 0});
            else
                running.push_back({index, std::move(*child)});
        }
        std::vector<pollfd> watched;
        for (const Running& r : running) watched.push_back({r.child.outputFd(), POLLIN, 0});
        if (::poll(watched.data(), watched.size(), -1) < 0) continue;
        for (std::size_t i = running.size(); i-- > 0;) {
            if (!watched[i].revents || running[i].child.readOutput()) continue;
            finished(running[i].index, outcomeOf(cases[running[i].index], running[i].child));
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return outcomes;
}

ExitStatus runSuiteCommand(const Options& options, std::ostream& out, std::ostream& err) {
    const auto cases = collectCases(options.suite);
    if (!cases) {
        err << "nuv-oka-sim: " << cases.error().message << "\n";
        return ExitStatus::Refused;
    }
    const auto folders = RunFolders::make(namedFs(options), "nuv-oka-suite");
    if (!folders) {
        err << "nuv-oka-sim: " << folders.error().message << "\n";
        return ExitStatus::Refused;
    }
    const fs::path& phones = folders->root();
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    SuiteRun run{ec ? "nuv-oka-sim" : self.string(), runArguments(options), {}, phones, options.jobs};
    // Each case counts its own lines; the suite's coverage is their sum.
    const auto coverageOf = [&](std::size_t index) { return phones / ("coverage-" + std::to_string(index + 1) + ".info"); };
    if (options.coverage)
        run.argsOf = [&](std::size_t index, const SuiteCase&) {
            return std::vector<std::string>{"--coverage", coverageOf(index).string()};
        };
    if (run.jobs == 0) run.jobs = static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    const std::vector<CaseOutcome> outcomes = runSuite(*cases, run, out);
    const auto failed = std::count_if(outcomes.begin(), outcomes.end(), [](const CaseOutcome& c) { return !c.passed; });
    out << outcomes.size() - static_cast<std::size_t>(failed) << " passed, " << failed << " failed" << std::endl;
    if (options.coverage) {
        sim::LineCoverage coverage;
        for (std::size_t i = 0; i < cases->size(); ++i)
            if (auto counted = sim::LineCoverage::read(coverageOf(i))) coverage.add(*counted);
        if (const auto written = coverage.write(*options.coverage); !written) {
            err << "nuv-oka-sim: " << written.error().message << "\n";
            return ExitStatus::Refused;
        }
    }
    if (options.junit) {
        if (const auto folder = sim::folderFor(*options.junit); !folder) {
            err << "nuv-oka-sim: --junit: " << folder.error().message << "\n";
            return ExitStatus::Refused;
        }
        std::string suite;
        for (const fs::path& path : options.suite) suite += (suite.empty() ? "" : " ") + path.string();
        if (const auto written = writeJunit(*options.junit, suite, outcomes); !written) {
            err << "nuv-oka-sim: " << written.error().message << "\n";
            return ExitStatus::Refused;
        }
    }
    return failed ? ExitStatus::ExpectFailed : ExitStatus::Ran;
}

}  // namespace runner
