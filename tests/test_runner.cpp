// The runner's parsers of options and scripts; the program itself is run by the cases in
// tests/cli.cmake.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app_test.hpp"
#include "options.hpp"
#include "png.hpp"
#include "script.hpp"

using namespace nuvtest;

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
