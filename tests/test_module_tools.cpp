// The pure parts of what the simulator offers a module's developer: the module's description,
// the explorer's sessions and shrinking, a suite's cases and report.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "app_test.hpp"
#include "description.hpp"
#include "explorer.hpp"
#include "junit.hpp"
#include "suite.hpp"

namespace {

using nuvtest::TempFolder;

sim::Result<runner::ModuleDescription> described(const std::string& text) {
    std::istringstream in(text);
    return runner::parseDescription(in, "m.desc");
}

// A description names states and the typing rule; every other line is refused by its number, and
// a refused file names nothing.
TEST(ModuleDescription, NamesStatesAndTypingAndRefusesTheRestByLine) {
    const auto good = described("# a module\n\n  state.1 = init \nstate.40 = counting-2\ntyping = cp1251\r\n");
    ASSERT_TRUE(good) << good.error().message;
    EXPECT_EQ(good->nameOf(40), "counting-2");
    EXPECT_EQ(good->idOf("init"), 1u);
    EXPECT_EQ(good->nameOf(2), std::nullopt);
    EXPECT_EQ(good->typing, runner::Typing::Cp1251);
    EXPECT_EQ(described("")->typing, runner::Typing::AsTyped);
    const std::pair<const char*, const char*> bad[] = {
        {"state.1 = a\nnonsense", "m.desc line 2: a line is key = value"},
        {"colour = red", "m.desc line 1: the keys are state.N and typing"},
        {"state.one = a", "m.desc line 1: a state is named as state.N"},
        {"state.4294967296 = a", "m.desc line 1: a state is named as state.N"},
        {"state.1 = 1st", "m.desc line 1: a state's name is letters"},
        {"state.1 = ended", "m.desc line 1: a state's name is letters"},
        {"state.1 = two words", "m.desc line 1: a state's name is letters"},
        {"state.1 = a\nstate.1 = b", "m.desc line 2: state 1 is named twice"},
        {"state.1 = a\nstate.2 = a", "m.desc line 2: two states are named a"},
        {"typing = latin", "m.desc line 1: typing takes as-typed or cp1251"},
    };
    for (const auto& [text, why] : bad) {
        const auto refused = described(text);
        ASSERT_FALSE(refused) << text;
        EXPECT_EQ(refused.error().message.rfind(why, 0), 0u) << refused.error().message;
    }
}

// A module without a description is known by its numbers; a file beside it that is no
// description, or no file at all, is refused.
TEST(ModuleDescription, IsReadFromBesideTheModule) {
    TempFolder folder;
    const auto module = folder.path() / "counter.so";
    EXPECT_TRUE(runner::readDescription(module)->states.empty());
    std::ofstream(folder.path() / "counter.desc") << "state.2 = main\n";
    EXPECT_EQ(runner::readDescription(module)->nameOf(2), "main");
    std::filesystem::remove(folder.path() / "counter.desc");
    std::filesystem::create_directory(folder.path() / "counter.desc");
    EXPECT_FALSE(runner::readDescription(module));
}

// The same seed and index give the same session, another index another one; sessions draw on
// every kind of action.
TEST(Explorer, SessionsFollowTheirSeed) {
    EXPECT_EQ(runner::exploredSession(7, 3).lines, runner::exploredSession(7, 3).lines);
    EXPECT_NE(runner::exploredSession(7, 3).lines, runner::exploredSession(7, 4).lines);
    EXPECT_NE(runner::exploredSession(7, 3).lines, runner::exploredSession(8, 3).lines);
    std::set<std::string> verbs;
    int faulted = 0;
    for (std::size_t i = 0; i < 100; ++i) {
        const auto session = runner::exploredSession(1, i);
        EXPECT_GE(session.lines.size(), 10u);
        faulted += !session.faults.empty();
        for (const std::string& line : session.lines) verbs.insert(line.substr(0, line.find(' ')));
    }
    EXPECT_EQ(verbs,
              (std::set<std::string>{"back", "interrupt", "press", "restart", "resume", "text", "tick", "wait"}));
    EXPECT_GT(faulted, 10);
    EXPECT_LT(faulted, 50);
}

// Shrinking keeps what the failure needs, in its order, and simplifies each line it keeps.
TEST(Explorer, ShrinkingKeepsWhatTheFailureNeeds) {
    // Fails when "press ok" comes somewhere after a text that holds a "q".
    const auto fails = [](const std::vector<std::string>& lines) {
        const auto text = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.rfind("text", 0) == 0 && l.find('q') != std::string::npos;
        });
        return text != lines.end() && std::find(text, lines.end(), "press ok") != lines.end();
    };
    std::vector<std::string> lines;
    for (int i = 0; i < 30; ++i) lines.push_back("press down 2");
    lines.insert(lines.begin() + 7, "text abcq yz");
    lines.insert(lines.begin() + 20, "press ok");
    lines.push_back("wait 300");
    const auto smallest = runner::shrunk(lines, fails);
    EXPECT_EQ(smallest, (std::vector<std::string>{"text abcq yz", "press ok"}));
    // A line it cannot simplify stays as it was; a budget of tries is kept.
    int tries = 0;
    runner::shrunk(
        lines, [&](const auto& l) { return ++tries, fails(l); }, 10);
    EXPECT_LE(tries, 10);
}

// Why a case failed: its first problem with its line, or the simulator's first word and the status.
TEST(Suite, SaysWhyACaseFailed) {
    EXPECT_EQ(runner::failureOf("x\nnuv-oka-sim: a.txt: script line 7 (press ok): the application crashed: it\n", 4),
              "line 7: the application crashed: it (press ok)");
    EXPECT_EQ(runner::failureOf("nuv-oka-sim: the application cannot start: no\n", 2),
              "status 2: the application cannot start: no");
    EXPECT_EQ(runner::failureOf("", 139), "status 139");
}

// The cases of a folder in name order at any depth, only scripts; a file alone; nothing is an error.
TEST(Suite, FindsItsCases) {
    TempFolder folder;
    for (const char* name : {"b.txt", "a/z.txt", "a/c.txt", "notes.md"}) {
        std::filesystem::create_directories((folder.path() / name).parent_path());
        std::ofstream(folder.path() / name) << "tick\n";
    }
    std::vector<std::string> names;
    const auto cases = runner::collectCases({folder.path(), folder.path() / "b.txt"});
    ASSERT_TRUE(cases);
    for (const auto& c : *cases) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a/c.txt", "a/z.txt", "b.txt", "b.txt"}));
    EXPECT_FALSE(runner::collectCases({folder.path() / "a" / "none"}));
    std::filesystem::remove_all(folder.path() / "a");
    std::filesystem::remove(folder.path() / "b.txt");
    EXPECT_FALSE(runner::collectCases({folder.path()}));
}

// The report is XML whatever a case said: markup escaped, control characters and broken UTF-8
// made U+FFFD.
TEST(Suite, TheReportIsXmlWhateverACaseSaid) {
    EXPECT_EQ(runner::xmlEscaped("<a href=\"x\">&'</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&apos;&lt;/a&gt;");
    EXPECT_EQ(runner::xmlEscaped("tab\there\x01\x1b[0m"), "tab\there\xEF\xBF\xBD\xEF\xBF\xBD[0m");
    EXPECT_EQ(runner::xmlEscaped("Жук"), "Жук");
    const std::string xml =
        runner::junitXml("s", {{"a.txt", true, "", "", 0.5}, {"b<.txt", false, "line 1: x", "said", 1.25}});
    EXPECT_NE(xml.find("tests=\"2\" failures=\"1\" errors=\"0\" time=\"1.750\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<testcase classname=\"s\" name=\"a.txt\" time=\"0.500\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"b&lt;.txt\" time=\"1.250\">\n      <failure message=\"line 1: x\">line 1: x</failure>\n"
                       "      <system-out>said</system-out>"),
              std::string::npos)
        << xml;
}

}  // namespace
