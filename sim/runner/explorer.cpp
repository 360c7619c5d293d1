#include "explorer.hpp"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <random>
#include <regex>

#include "child_process.hpp"
#include "module_hash.hpp"
#include "host_paths.hpp"
#include "script.hpp"
#include "suite.hpp"
#include "temporary_folder.hpp"
#include "utf.hpp"

namespace runner {

namespace fs = std::filesystem;

namespace {

// The fault options that a session may run with: a failing call. The power going and a small
// disk end or stop a run by design.
std::vector<const char*> failingCalls() {
    std::vector<const char*> options;
    for (const FaultOption& fault : faultOptions())
        if (fault.kind == FaultOption::Kind::CallFails) options.push_back(fault.option);
    return options;
}

std::string randomText(std::mt19937_64& random) {
    static const std::u16string kLetters =
        u"abcxyzABCXYZ0123456789 +-.,?\u0410\u0411\u0416\u0419\u042F\u0430\u0431\u0436\u0439\u044F\u0401\u0451";
    std::uniform_int_distribution<int> length(0, 60), letter(0, static_cast<int>(kLetters.size()) - 1);
    std::u16string text;
    for (int n = length(random); n > 0; --n) text += kLetters[static_cast<std::size_t>(letter(random))];
    return utf8FromUtf16(text);
}

std::string randomLine(std::mt19937_64& random) {
    const auto keys = keyNames();
    std::uniform_int_distribution<int> percent(0, 99), key(0, static_cast<int>(keys.size()) - 1), few(1, 3);
    const int p = percent(random);
    if (p < 55) {
        const int times = percent(random) < 80 ? 1 : few(random);
        return "press " + std::string(keys[static_cast<std::size_t>(key(random))].name) +
               (times > 1 ? " " + std::to_string(times) : "");
    }
    if (p < 68) return "text " + randomText(random);
    if (p < 75) return "tick";
    if (p < 82) return "wait " + std::to_string(std::uniform_int_distribution<int>(0, 1500)(random));
    if (p < 87) return "back";
    if (p < 91) return "interrupt";
    if (p < 95) return "resume";
    const char* languages[] = {"restart", "restart ru", "restart en"};
    return languages[percent(random) % 3];
}

// A run's verdict: why it failed, in words that do not change with addresses and counts, or none.
struct Verdict {
    std::optional<std::string> kind;
    std::string message;          // as the simulator said it
    std::vector<bool> accepted;   // of the lines answered in a piped run: taken (ok) or refused
    std::size_t failingLine = 0;  // of a piped run's lines, the one that failed
};

std::string kindOf(const std::string& message) {
    static const std::regex kNumbers("(0x)?[0-9A-Fa-f]*[0-9][0-9A-Fa-f]*");
    return std::regex_replace(message.substr(0, message.find(" (")), kNumbers, "N");
}

// The answers of a piped run, in order: each "ok" or "error: ...".
Verdict verdictOfPiped(const std::string& output, int status, std::size_t checksFrom) {
    Verdict verdict;
    std::string lastError;
    std::vector<std::string> answers;
    std::size_t from = 0;
    while (from < output.size()) {
        const std::size_t end = std::min(output.find('\n', from), output.size());
        const std::string line = output.substr(from, end - from);
        from = end + 1;
        if (line == "ok" || line.rfind("error: ", 0) == 0) answers.push_back(line);
    }
    for (const std::string& a : answers) verdict.accepted.push_back(a == "ok");
    if (status == sim::exitCode(ExitStatus::Faulted)) {
        const std::string said = answers.empty() ? "the module misbehaved" : answers.back().substr(7);
        // "standard input: script line 7 (press ok): the application crashed: ..."
        const auto colon = said.find("): ");
        verdict.message = colon == std::string::npos ? said : said.substr(colon + 3);
        verdict.kind = "status 4: " + kindOf(verdict.message);
        verdict.failingLine = answers.size() - 1;
        return verdict;
    }
    // The checks at the end: the module ended, and then held nothing.
    const auto& checks = leakChecks();
    const std::size_t ended =
        static_cast<std::size_t>(std::find(checks.begin(), checks.end(), "expect state ended") - checks.begin());
    if (answers.size() >= checksFrom + checks.size() && answers[checksFrom + ended] == "ok") {
        for (std::size_t i = checksFrom + ended + 1; i < checksFrom + checks.size(); ++i)
            if (answers[i] != "ok") {
                const auto colon = answers[i].find("): ");
                verdict.message = "once it ended, " + answers[i].substr(colon == std::string::npos ? 7 : colon + 3);
                verdict.kind = "held when it ended: " + kindOf(verdict.message);
                verdict.failingLine = i;
                return verdict;
            }
    }
    return verdict;
}

// The run of a script file: whether it failed, and how.
Verdict verdictOfFile(const std::string& output, int status) {
    Verdict verdict;
    if (status != sim::exitCode(ExitStatus::Faulted) && status != sim::exitCode(ExitStatus::ExpectFailed)) return verdict;
    static const std::regex kLine(R"(script line \d+ \(.*\): (.*))");
    std::smatch m;
    if (!std::regex_search(output, m, kLine) && status == sim::exitCode(ExitStatus::ExpectFailed)) return verdict;
    verdict.message = m.empty() ? output : m[1].str();
    if (status == sim::exitCode(ExitStatus::Faulted)) {
        verdict.kind = "status 4: " + kindOf(verdict.message);
    } else if (verdict.message.rfind("the module holds", 0) == 0) {
        verdict.message = "once it ended, " + verdict.message;
        verdict.kind = "held when it ended: " + kindOf(verdict.message);
    }
    return verdict;
}

struct Explorer {
    const Options& options;
    std::string program;
    std::vector<std::string> args;  // every run's: the module and what shapes it
    fs::path folder;                // each run's phone folder and script go below it
    int runs = 0;

    struct Started {
        fs::path work;
        std::optional<ChildProcess> child;
        bool piped;
        std::size_t checksFrom;
    };

    // One run begun, its script on standard input (piped, each line answered) or as a file.
    Started start(const std::vector<std::string>& lines, const std::vector<std::string>& faults, bool piped,
                  std::size_t checksFrom = 0) {
        const fs::path work = folder / std::to_string(++runs);
        std::error_code ec;
        fs::create_directories(work, ec);
        const fs::path script = work / "session.txt";
        {
            std::ofstream file(script, std::ios::binary);
            if (!piped && !faults.empty()) {
                file << "options";
                for (const std::string& f : faults) file << " " << f;
                file << "\n";
            }
            for (const std::string& line : lines) file << line << "\n";
        }
        std::vector<std::string> all{"--headless", "--fs", (work / "phone").string()};
        all.insert(all.end(), args.begin(), args.end());
        if (piped) all.insert(all.end(), faults.begin(), faults.end());
        all.insert(all.end(), {"--script", piped ? "-" : script.string()});
        auto child = ChildProcess::start(program, all, piped ? script.string() : "/dev/null");
        return {work, child ? std::optional<ChildProcess>(std::move(*child)) : std::nullopt, piped, checksFrom};
    }

    Verdict finish(Started& started) {
        if (!started.child) return {};
        const int status = started.child->wait();
        std::error_code ec;
        fs::remove_all(started.work, ec);
        const std::string& output = started.child->output();
        return started.piped ? verdictOfPiped(output, status, started.checksFrom) : verdictOfFile(output, status);
    }

    Verdict run(const std::vector<std::string>& lines, const std::vector<std::string>& faults, bool piped) {
        Started started = start(lines, faults, piped);
        return finish(started);
    }
};

std::string scriptHeader(const Options& options, const fs::path& out, const std::vector<std::string>& faults,
                         std::uint64_t seed, std::size_t index, const std::string& failure) {
    std::string text = "# Found by nuv-oka-sim --explore --seed " + std::to_string(seed) + ", session " +
                       std::to_string(index + 1) + ": " + failure + "\n# Replay it on an empty phone folder with\n" +
                       "#   nuv-oka-sim --headless --fs DIR --script FILE\n";
    std::string line = "options --lang " + languageArgument(options.language) + " --app " + options.app;
    std::error_code ec;
    const fs::path module = fs::absolute(options.module, ec);
    const fs::path named = fs::relative(module, fs::absolute(out, ec).parent_path(), ec);
    if (const auto hash = sha256Of(options.module))
        line += " --module " + (ec || named.empty() ? module : named).string() + " --module-sha256 " + *hash;
    for (const std::string& f : faults) line += " " + f;
    return text + line + "\n";
}

// The failing session shrunk, said and written.
ExitStatus reportFailure(const Options& options, Explorer& explorer, std::uint64_t seed, std::size_t index,
                  const ExploredSession& session, const std::vector<std::string>& lines, const Verdict& found,
                  std::ostream& out, std::ostream& err) {
    // The lines the module took, and the one that failed: a script file stops at a refused one.
    // The checks at the end stay as they are while the session's own actions are shrunk, so a
    // block held once the module has ended is not taken for one held while it runs.
    std::vector<std::string> taken, checks;
    for (std::size_t i = 0; i < found.accepted.size() && i < lines.size(); ++i)
        if (found.accepted[i] || i == found.failingLine)
            (i < session.lines.size() ? taken : checks).push_back(lines[i]);
    const auto failsTheSameWay = [&](std::vector<std::string> candidate) {
        candidate.insert(candidate.end(), checks.begin(), checks.end());
        return explorer.run(candidate, session.faults, false).kind == found.kind;
    };
    if (!failsTheSameWay(taken)) {
        out << "nuv-oka-sim: session " << index + 1 << " of seed " << seed << " fails (" << found.message
            << "), but not again as a script: it is not shrunk" << std::endl;
        taken = lines, checks.clear();
    }
    const int runsBefore = explorer.runs;
    std::vector<std::string> smallest = shrunk(taken, failsTheSameWay);
    smallest.insert(smallest.end(), checks.begin(), checks.end());
    out << "nuv-oka-sim: session " << index + 1 << " of seed " << seed << " fails: " << found.message << "\n"
        << "nuv-oka-sim: shrunk from " << session.lines.size() << " to " << smallest.size() - checks.size()
        << " actions" << (checks.empty() ? "" : " and the checks at the end") << " in " << explorer.runs - runsBefore
        << " runs" << std::endl;
    if (!options.exploreOut) return ExitStatus::ExpectFailed;
    if (const auto folder = sim::folderFor(*options.exploreOut); !folder) {
        err << "nuv-oka-sim: --explore-out: " << folder.error().message << "\n";
        return ExitStatus::Refused;
    }
    std::ofstream file(*options.exploreOut, std::ios::binary | std::ios::trunc);
    file << scriptHeader(options, *options.exploreOut, session.faults, seed, index, found.message);
    for (const std::string& line : smallest) file << line << "\n";
    file.close();
    if (!file) {
        err << "nuv-oka-sim: cannot write " << options.exploreOut->string() << "\n";
        return ExitStatus::Refused;
    }
    out << "nuv-oka-sim: the failing session is written to " << options.exploreOut->string() << std::endl;
    return ExitStatus::ExpectFailed;
}

}  // namespace

const std::vector<std::string>& leakChecks() {
    // A call declined and the editor left first: the end key ends the module from anywhere else.
    static const std::vector<std::string> kChecks{
        "resume", "press end", "press end", "expect state ended", "expect heap 0", "expect open-files 0"};
    return kChecks;
}

ExploredSession exploredSession(std::uint64_t seed, std::size_t index) {
    std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                           static_cast<std::uint32_t>(index), static_cast<std::uint32_t>(index >> 32)};
    std::mt19937_64 random(sequence);
    ExploredSession session;
    std::uniform_int_distribution<int> length(10, 60), percent(0, 99), nth(1, 40);
    for (int n = length(random); n > 0; --n) session.lines.push_back(randomLine(random));
    static const std::vector<const char*> kFaults = failingCalls();
    if (percent(random) < 25)
        session.faults = {kFaults[static_cast<std::size_t>(percent(random)) % kFaults.size()],
                          std::to_string(nth(random))};
    return session;
}

std::vector<std::string> shrunk(std::vector<std::string> lines,
                                const std::function<bool(const std::vector<std::string>&)>& fails, int tries) {
    // Drop runs of lines, halving their length each time nothing more can be dropped.
    for (std::size_t run = std::max<std::size_t>(1, lines.size() / 2); run >= 1 && tries > 0; run /= 2) {
        for (std::size_t at = 0; at < lines.size() && tries > 0;) {
            std::vector<std::string> fewer = lines;
            fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(at),
                        fewer.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), at + run)));
            --tries;
            if (!fewer.empty() && fails(fewer))
                lines = std::move(fewer);
            else
                at += run;
        }
        if (run == 1) break;
    }
    // Simpler lines: a key pressed once, a shorter text, no wait.
    for (std::string& line : lines) {
        std::vector<std::string> simpler;
        if (line.rfind("press ", 0) == 0 && std::count(line.begin(), line.end(), ' ') == 2)
            simpler.push_back(line.substr(0, line.rfind(' ')));
        if (line.rfind("text ", 0) == 0 && line.size() > 5) simpler.insert(simpler.end(), {"text", "text a"});
        if (line.rfind("wait ", 0) == 0 && line != "wait 0") simpler.push_back("wait 0");
        for (const std::string& candidate : simpler) {
            if (tries-- <= 0) break;
            const std::string kept = std::exchange(line, candidate);
            if (fails(lines)) break;
            line = kept;
        }
    }
    return lines;
}

ExitStatus runExplorer(const Options& options, std::ostream& out, std::ostream& err) {
    const std::uint64_t seed =
        options.seed.value_or(std::random_device{}() | std::uint64_t{std::random_device{}()} << 32);
    out << "nuv-oka-sim: exploring " << options.explore << " sessions, seed " << seed << std::endl;
    auto made = TemporaryFolder::make("nuv-oka-explore");
    if (!made) {
        err << "nuv-oka-sim: " << made.error().message << "\n";
        return ExitStatus::Refused;
    }
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    Explorer explorer{options, ec ? "nuv-oka-sim" : self.string(), runArguments(options), made->path()};
    // Each session alone: the faults of the command line apply to every one instead of its own.
    const bool ownFaults = faultArguments(options.faults).empty();
    const std::size_t jobs = options.jobs ? static_cast<std::size_t>(options.jobs)
                                          : static_cast<std::size_t>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    // Sessions run `jobs` at a time; the first failing one in their order is taken, whatever
    // the number of jobs, so a seed always finds the same failure.
    for (std::size_t first = 0; first < options.explore; first += jobs) {
        const std::size_t count = std::min(jobs, options.explore - first);
        std::vector<ExploredSession> sessions;
        std::vector<std::vector<std::string>> lines;
        std::vector<Explorer::Started> started;
        for (std::size_t i = 0; i < count; ++i) {
            sessions.push_back(exploredSession(seed, first + i));
            if (!ownFaults) sessions.back().faults.clear();
            lines.push_back(sessions.back().lines);
            lines.back().insert(lines.back().end(), leakChecks().begin(), leakChecks().end());
            started.push_back(explorer.start(lines.back(), sessions.back().faults, true, sessions.back().lines.size()));
        }
        std::vector<Verdict> verdicts;
        for (Explorer::Started& s : started) verdicts.push_back(explorer.finish(s));
        const auto failing =
            std::find_if(verdicts.begin(), verdicts.end(), [](const Verdict& v) { return v.kind.has_value(); });
        if (failing == verdicts.end()) continue;
        const std::size_t i = static_cast<std::size_t>(failing - verdicts.begin());
        return reportFailure(options, explorer, seed, first + i, sessions[i], lines[i], *failing, out, err);
    }
    out << "nuv-oka-sim: " << options.explore << " sessions of seed " << seed << " ran without a failure" << std::endl;
    return ExitStatus::Ran;
}

}  // namespace runner
