// The runner nuv-oka-sim: options, scripts, exit statuses and screenshots, through the
// real program, and its parsers directly.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app_test.hpp"
#include "options.hpp"
#include "png.hpp"
#include "script.hpp"

using namespace nuvtest;

namespace {

struct SimRun {
    int status;
    std::string output;
};

// Runs the simulator with `args` in `folder`, the script (if any) on standard input.
SimRun runSim(const std::filesystem::path& folder, const std::string& args, const std::string& script = "") {
    const auto scriptFile = folder / "script.txt";
    std::ofstream(scriptFile) << script;
    const std::string command =
        "cd '" + folder.string() + "' && '" NUV_RUNNER_PATH "' " + args + " < '" + scriptFile.string() + "' 2>&1";
    SimRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe)) run.output += chunk;
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

class RunnerTest : public ::testing::Test {
protected:
    SimRun sim(const std::string& args, const std::string& script = "") { return runSim(dir.path(), args, script); }
    TempFolder dir;
};

TEST_F(RunnerTest, DefaultRunCreatesThePhoneFolderAndTheRecordFile) {
    const SimRun run = sim("--headless --screenshot shot.png");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(readFile(dir.path() / "phone" / "elf" / "BlackList.txt"), kDefaultRecord);
    std::string error;
    const auto picture = sim::readPng(dir.path() / "shot.png", error);
    ASSERT_TRUE(picture) << error;
    EXPECT_EQ(picture->width(), 176);
    EXPECT_EQ(picture->height(), 220);
}

TEST_F(RunnerTest, ScriptDrivesTheApplication) {
    const SimRun run = sim("--headless --fs ph --lang en --script -",
                           "# add a record\n\n  press soft-left  \npress down\npress down\npress ok\n"
                           "expect state edit\ntext  two words \npress select\nexpect state main\n"
                           "shot out/after.png\npress end\nexpect state ended\nshot out/end.png\n");
    EXPECT_EQ(run.status, 0) << run.output;
    // Everything after the first blank is the text; the line's own blanks around it go.
    EXPECT_EQ(readFile(dir.path() / "ph" / "elf" / "BlackList.txt"), std::string(kDefaultRecord) + "\r\n two words");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "after.png"));
}

TEST_F(RunnerTest, ExitStatusesTellWhatWentWrong) {
    struct Case {
        const char* args;
        const char* script;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"--help", "", 0, "--fs"},
        {"--bogus", "", 2, "bogus"},
        {"--lang xx", "", 2, "--lang"},
        {"--lang 300", "", 2, "--lang"},
        {"--lang", "", 2, "lang"},
        {"--headless stray", "", 2, "stray"},
        {"--headless --script -", "tick\nwiggle 3\n", 2, "script line 2"},
        {"--headless --script -", "press nowhere\n", 2, "press nowhere"},
        {"--headless --script -", "expect state lost\n", 2, "script line 1"},
        {"--headless --script -", "text hello\n", 2, "no character editor"},
        {"--headless --script -", "back\n", 2, "no character editor"},
        {"--headless --script -", "press end\ntick\n", 2, "ended"},
        {"--headless --script -", "press end\nexpect state ended\n", 0, ""},
        {"--headless --script -", "expect state edit\n", 1, "found main"},
        {"--headless --script missing.txt", "", 2, "missing.txt"},
        {"--headless --module nowhere.so", "", 2, "cannot start"},
        {"--headless --app /x/../../y.elf", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.args) + " / " + c.script);
        const SimRun run = sim(c.args, c.script);
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
}

TEST_F(RunnerTest, AppPathTooLongForTheRecordFileIsRefused) {
    const SimRun run = sim("--headless --app /" + std::string(245, 'd') + "/a.elf");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("cannot start"), std::string::npos) << run.output;
}

TEST_F(RunnerTest, PathsNeverLeaveThePhoneFolder) {
    const SimRun run = sim("--headless --fs ph --app /x/../../escape.elf");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "BlackList.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "BlackList.txt"));
}

TEST(RunnerOptions, LanguageNamesAndNumbers) {
    EXPECT_EQ(runner::parseLanguage("ru"), 0x23);
    EXPECT_EQ(runner::parseLanguage("en"), 0x01);
    EXPECT_EQ(runner::parseLanguage("35"), 35);
    EXPECT_EQ(runner::parseLanguage("0x23"), 0x23);
    EXPECT_EQ(runner::parseLanguage("0XfF"), 0xFF);
    for (const char* bad : {"", "RU", "256", "0x100", "-1", "0x", "12a", " 1"})
        EXPECT_FALSE(runner::parseLanguage(bad)) << bad;
}

TEST(RunnerOptions, LanguageDefaultsFromTheEnvironment) {
    const auto ru = runner::parseOptions({}, "ru_RU.UTF-8", "m.so");
    const auto en = runner::parseOptions({}, "de_DE.UTF-8", "m.so");
    const auto none = runner::parseOptions({}, "", "m.so");
    EXPECT_EQ(std::get<runner::Options>(ru).language, 0x23);
    EXPECT_EQ(std::get<runner::Options>(en).language, 0x01);
    EXPECT_EQ(std::get<runner::Options>(none).language, 0x01);
    const auto chosen = runner::parseOptions({"--lang", "en"}, "ru_RU", "m.so");
    EXPECT_EQ(std::get<runner::Options>(chosen).language, 0x01);
    const auto& defaults = std::get<runner::Options>(none);
    EXPECT_EQ(defaults.fs, "phone");
    EXPECT_EQ(defaults.app, "/elf/nuv-oka.elf");
    EXPECT_FALSE(defaults.headless);
}

TEST(RunnerScript, KeysAndTexts) {
    EXPECT_EQ(runner::parseKey("soft-left"), 14);
    EXPECT_EQ(runner::parseKey("select"), 61);
    EXPECT_EQ(runner::parseKey("right"), 47);
    EXPECT_EQ(runner::parseKey("200"), 200);
    EXPECT_FALSE(runner::parseKey("256"));
    EXPECT_FALSE(runner::parseKey(""));

    std::istringstream script("text Жук и ёж\ntext\ntext 😀\n");
    const auto parsed = runner::parseScript(script);
    const auto& lines = std::get<std::vector<runner::ScriptLine>>(parsed);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(std::get<runner::Text>(lines[0].action).text, u"Жук и ёж");
    EXPECT_EQ(std::get<runner::Text>(lines[1].action).text, u"");
    EXPECT_EQ(std::get<runner::Text>(lines[2].action).text, u"\U0001F600");

    std::istringstream broken("tick\ntext \xC3\x28\n");
    const auto error = runner::parseScript(broken);
    ASSERT_TRUE(std::holds_alternative<runner::ScriptError>(error));
    EXPECT_NE(std::get<runner::ScriptError>(error).message.find("line 2"), std::string::npos);
}
