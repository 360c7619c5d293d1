// The runner's parsers, the window's key map, typing in the character editor, and the engine's
// recording and GIF; the program itself is run by the cases in tests/cli.cmake and, in its
// window, by tests/window-e2e.sh.
#include <gif_lib.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "app_test.hpp"
#include "keymap.hpp"
#include "pc_keys.hpp"
#include "options.hpp"
#include "phone_module.hpp"
#include "script.hpp"
#include "session.hpp"

using namespace nuvtest;

TEST(RunnerOptions, LanguageNamesAndNumbers) {
    const std::pair<const char*, int> good[] = {{"ru", 0x23}, {"RU", 0x23},   {"En", 0x01},
                                                {"35", 35},   {"0x23", 0x23}, {"0XfF", 0xFF}};
    for (const auto& [text, id] : good) EXPECT_EQ(runner::parseLanguage(text), id) << text;
    for (const char* bad : {"", "rus", "256", "0x100", "-1", "0x", "12a", " 1"})
        EXPECT_FALSE(runner::parseLanguage(bad)) << bad;
}

TEST(RunnerOptions, LanguageDefaultsFromTheEnvironment) {
    struct Case {
        const char *all, *messages, *lang;
        int language;
    };
    const Case cases[] = {{"ru_RU.UTF-8", "en_GB", "en_US", 0x23}, {"", "ru_RU", "en_US", 0x23},
                          {"", "", "ru_UA.UTF-8", 0x23},           {"C", "ru_RU", "ru_RU", 0x01},
                          {"", "", "de_DE.UTF-8", 0x01},           {"", "", "", 0x01}};
    for (const Case& c : cases) {
        ::setenv("LC_ALL", c.all, 1), ::setenv("LC_MESSAGES", c.messages, 1), ::setenv("LANG", c.lang, 1);
        const auto parsed = runner::parseOptions({}, runner::localeFromEnvironment(), "m.so");
        EXPECT_EQ(parsed->language, c.language) << c.all << "|" << c.messages << "|" << c.lang;
    }
    EXPECT_EQ(runner::parseOptions({"--lang", "EN"}, "ru_RU", "m.so")->language, 0x01);
}

// Each code has one name that reads back as the code, and each name a script may give reads as
// the code that is named so.
TEST(RunnerScript, KeyNamesReadBackAsTheirCodes) {
    for (int code = 0; code <= 255; ++code)
        EXPECT_EQ(runner::parseKey(runner::keyName(static_cast<std::uint8_t>(code))), code) << code;
    for (const runner::KeyName& key : runner::keyNames())
        EXPECT_EQ(runner::keyName(runner::parseKey(key.name).value_or(0)), key.name);
    for (const char* bad : {"", "256", "-1", "key-10", " ok", "OK"}) EXPECT_FALSE(runner::parseKey(bad)) << bad;
}

TEST(RunnerScript, TextsAndBadLines) {
    std::istringstream script("text Жук и ёж\ntext\ntext 😀\ntext  ab  \r\npress down 3\n");
    const auto lines = runner::parseScript(script).value();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(std::get<runner::Text>(lines[0].action).text, u"Жук и ёж");
    EXPECT_EQ(std::get<runner::Text>(lines[1].action).text, u"");
    EXPECT_EQ(std::get<runner::Text>(lines[2].action).text, u"\U0001F600");
    EXPECT_EQ(std::get<runner::Text>(lines[3].action).text, u" ab  ");
    EXPECT_EQ(std::get<runner::Press>(lines[4].action).times, 3);

    const std::pair<const char*, const char*> bad[] = {
        {"tick extra", "tick takes nothing after it"}, {"press down 0", "from 1 to 10000 times"},
        {"restart fr", "restart takes ru, en"},        {"expect file /elf/a", "the phone's path and a host file"},
        {"expect screen", "takes a PNG file"},         {"text \xC3\x28", "not valid UTF-8"},
        {"wait 1s", "wait takes milliseconds"},        {"wiggle", "unknown action"}};
    for (const auto& [line, why] : bad) {
        std::istringstream in(std::string("tick\n") + line + "\n");
        const auto error = runner::parseScript(in).error();
        EXPECT_EQ(error.message.rfind("script line 2: ", 0), 0u) << error.message;
        EXPECT_NE(error.message.find(why), std::string::npos) << error.message;
    }
}

// `put` carries any bytes through a script line: every length of a group of three, every byte
// value, and text that is no base64 is refused rather than read in part.
TEST(RunnerScript, Base64CarriesAnyBytes) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    for (std::size_t length = 0; length <= 7; ++length) {
        const std::string bytes = all.substr(250 - length, length);
        EXPECT_EQ(runner::fromBase64(runner::base64(bytes)), bytes) << length;
    }
    EXPECT_EQ(runner::fromBase64(runner::base64(all)), all);
    EXPECT_EQ(runner::base64("+7 a"), "KzcgYQ==");
    for (const char* bad : {"abc", "ab=c", "a===", "=abc", "ab!d", "KzcgYQ==KzcgYQ=="})
        EXPECT_EQ(runner::fromBase64(bad), std::nullopt) << bad;
}

// Every key of the front ends' one table is a key the window knows, and gives the window and the
// page the same phone key: the page reads the table as JSON.
TEST(KeyMap, TheWindowAndThePageTakeTheirKeysFromOneTable) {
    const auto defaults = window::KeyMap::defaults();
    const std::string json = runner::pcKeysJson();
    for (const runner::PcKey& key : runner::pcKeys()) {
        if (key.windowName) {
            const SDL_Keycode code = SDL_GetKeyFromName(key.windowName);
            ASSERT_NE(code, SDLK_UNKNOWN) << key.windowName;
            if (key.phoneKey) {
                EXPECT_EQ(defaults.phoneKey(code), *key.phoneKey) << key.windowName;
            }
            if (key.editKey) {
                EXPECT_EQ(window::editKeyOf(code), key.editKey) << key.windowName;
            }
        }
        const char* browser = key.browserCode ? key.browserCode : key.browserKey;
        if (browser && key.phoneKey) {
            EXPECT_NE(json.find("\"" + std::string(browser) + "\":\"" + runner::keyName(*key.phoneKey) + "\""),
                      std::string::npos)
                << browser;
        }
    }
    EXPECT_EQ(defaults.phoneKey(SDLK_KP_5), KEY_0 + 5);
    EXPECT_NE(json.find("\"editor\":{\"Backspace\":0,\"Delete\":1,\"Home\":4,\"End\":5}"), std::string::npos) << json;
}

TEST(KeyMap, AFileChangesTheDefaultsAndNamesItsBadLines) {
    std::istringstream good("# comment\n\nF2 = soft-left\n  Return = none\nKeypad 5 = 200\n= = key-star\n");
    const auto map = window::KeyMap::read(good, "keys.txt").value();
    const auto defaults = window::KeyMap::defaults();
    EXPECT_EQ(defaults.phoneKey('\r'), KEY_OK);
    EXPECT_EQ(map.phoneKey('\r'), -1);
    EXPECT_NE(map.describe().find("soft-left (14): [, F1, F2"), std::string::npos) << map.describe();
    EXPECT_NE(map.describe().find("200 (200): Keypad 5"), std::string::npos);
    EXPECT_EQ(map.phoneKey('='), '*');
    EXPECT_EQ(map.phoneKey('['), KEY_SOFT_LEFT);

    const std::pair<const char*, const char*> bad[] = {{"F1 soft-left", "line 2: not KEY = code"},
                                                       {"Nowhere = ok", "line 2: no PC key is called \"Nowhere\""},
                                                       {"F1 = 256", "line 2: \"256\" is no phone key"},
                                                       {"F1 =", "line 2: \"\" is no phone key"},
                                                       {"F3 = key-1", "line 2: F3 is mapped already, on line 1"}};
    for (const auto& [line, why] : bad) {
        std::istringstream in(std::string("F3 = ok\n") + line + "\n");
        const auto error = window::KeyMap::read(in, "keys.txt").error().message;
        EXPECT_EQ(error.rfind(std::string("keys.txt ") + why, 0), 0u) << error;
    }
}

// The legend under the phone names only the keys that still do what it says, and fits its width.
TEST(KeyMap, TheLegendNamesTheKeysThatKeepTheirMeaning) {
    const std::string all = window::KeyMap::defaults().legend(200);
    for (const char* words : {"F1 soft-left", "Esc end", "F3 panel", "F5 restart", "F12 shot", "F2 language"})
        EXPECT_NE(all.find(words), std::string::npos) << words << " in " << all;
    std::istringstream changed("F1 = none\nF5 = ok\n");
    const std::string legend = window::KeyMap::read(changed, "keys.txt").value().legend(200);
    EXPECT_EQ(legend.find("F1 soft-left"), std::string::npos) << legend;
    EXPECT_EQ(legend.find("F5 restart"), std::string::npos) << legend;
    EXPECT_NE(legend.find("Esc end"), std::string::npos) << legend;
    EXPECT_LE(window::KeyMap::defaults().legend(20).size(), 20u);
}

// Digits, * and # tap the keypad; small letters are typed; the rest are editing keys: < is
// backspace, D delete, L and > the sideways keys, H home, E end.
std::u16string typeOn(sim::CharacterEditor& editor, const std::string& keys, sim::PhoneLanguage language) {
    const std::string editing = "<DL>HE";
    for (char k : keys) {
        if (const auto at = editing.find(k); at != std::string::npos)
            editor.edit(static_cast<sim::EditKey>(at));
        else if (k >= 'a' && k <= 'z')
            editor.type(std::u16string(1, static_cast<char16_t>(k)));
        else
            EXPECT_TRUE(editor.tap(static_cast<std::uint8_t>(k), language, {})) << k;
    }
    return editor.text();
}

TEST(Editor, MultiTapAndEditingKeys) {
    constexpr auto en = sim::PhoneLanguage::English, ru = sim::PhoneLanguage::Russian;
    struct Case {
        sim::PhoneLanguage language;
        const char* start;
        const char* keys;
        std::u16string text;
        std::size_t cursor;
    };
    const Case cases[] = {
        {en, "", "22", u"b", 1},         {en, "", "2222", u"2", 1},         {en, "", "22222", u"a", 1},
        {en, "", "2>2", u"aa", 2},       {en, "", "23", u"ad", 2},          {en, "", "#2#22", u"Ab", 2},
        {en, "", "0>001", u" 0.", 3},    {en, "", "*7777", u"+s", 2},       {en, "", "9<", u"", 0},
        {ru, "", "2222", u"г", 1},       {ru, "", "22222", u"2", 1},        {ru, "", "9999#3", u"яД", 2},
        {ru, "", "6>6", u"рр", 2},       {en, "abcd", "<", u"abc", 3},      {en, "abcd", "HD", u"bcd", 0},
        {en, "abcd", "LL<", u"acd", 1},  {en, "abcd", "H>>x", u"abxcd", 3}, {en, "abcd", "HL<", u"abcd", 0},
        {en, "abcd", "E>D", u"abcd", 4}, {en, "ab", "H2>", u"aab", 1},      {en, "ab", "L3L", u"adb", 1},
    };
    for (const Case& c : cases) {
        sim::CharacterEditor editor(std::u16string(c.start, c.start + std::strlen(c.start)), 50, u"");
        EXPECT_EQ(typeOn(editor, c.keys, c.language), c.text) << c.start << " + " << c.keys;
        EXPECT_EQ(editor.cursor(), c.cursor) << c.start << " + " << c.keys;
    }
}

// The editor never holds more than its maximum, whichever way the text comes, and, as the
// application reads text, a typed character that CP1251 holds at another code is entered as "?"
// (the host's iconv is the oracle).
TEST(Editor, TypedTextKeepsTheLimitAndTheEightBitDesign) {
    const sim::TypingFilter typing = nuvoka::typing();
    for (const std::string keys : {"2>2>2>2", "22>33>44", "aaaa", "ab<<cdefg"}) {
        sim::CharacterEditor editor(u"x", 3, u"", typing);
        typeOn(editor, keys, sim::PhoneLanguage::English);
        EXPECT_EQ(editor.text().size(), 3u) << keys;
        editor.setText(u"Жук и ёж");
        EXPECT_EQ(editor.text(), u"Жук");
    }
    for (char16_t c = 0x80; c <= 0xFF; ++c) {
        const std::string utf8{static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        bool same = false;
        try {
            same = cp1251(utf8) == std::string(1, static_cast<char>(c));
        } catch (const std::runtime_error&) {
        }
        sim::CharacterEditor editor(u"", 50, u"", typing);
        editor.type(std::u16string{c, u'\u0416', u'e'});
        EXPECT_EQ(editor.text(), (std::u16string{same ? c : u'?', u'\u0416', u'e'})) << std::hex << int{c};
    }
}

class Engine : public ::testing::Test {
protected:
    TempFolder folder;
    std::ostringstream out, err;

    std::unique_ptr<runner::Session> session(const std::string& name, std::optional<std::filesystem::path> record = {},
                                             std::optional<std::filesystem::path> gif = {},
                                             const std::string& records = "") {
        if (!records.empty()) {
            std::filesystem::create_directories(folder.path() / name / "elf");
            std::ofstream(folder.path() / name / "elf/BlackList.txt", std::ios::binary) << records;
        }
        runner::SessionConfig config;
        config.fs = folder.path() / name, config.module = NUV_MODULE_PATH;
        config.record = record, config.gif = gif, config.frameLength = runner::Milliseconds(400);
        auto s = std::make_unique<runner::Session>(config, out, err);
        EXPECT_EQ(s->start(), std::nullopt) << err.str();
        return s;
    }
};

// What a person does at the window, recorded and replayed headless, gives the same file bytes
// and the same final screen, also where a record holds a line feed that no script line can, and
// across an incoming call.
TEST_F(Engine, ARecordingReplaysToTheSameBytesAndScreen) {
    const auto recording = folder.path() / "session.txt";
    const std::string records = std::string(kDefaultRecord) + "\r\nx\ny";
    sim::Surface screen;
    {
        auto s = session("typed", recording, {}, records);
        s->press(KEY_SOFT_LEFT), s->press(KEY_DOWN), s->press(KEY_DOWN), s->press(KEY_OK);  // Add line
        s->edit(sim::EditKey::Home), s->type(u"Жук "), s->press(KEY_0 + 2), s->press(KEY_0 + 2);
        s->edit(sim::EditKey::End), s->edit(sim::EditKey::Backspace), s->type(u"é  ");
        s->interrupt(), s->type(u"zz"), s->press(KEY_DOWN), s->press(KEY_END);  // a call: nothing reaches the editor
        s->press(KEY_SELECT);
        s->press(KEY_UP), s->press(KEY_SOFT_LEFT), s->press(KEY_OK), s->press(KEY_OK);  // "x\ny" added unchanged
        s->restart(LANGUAGE_RUSSIAN);
        s->press(KEY_SOFT_LEFT), s->press(KEY_OK), s->press(KEY_END);  // Edit line, then back
        s->press(KEY_DOWN), s->press(KEY_SOFT_LEFT);
        screen = s->screen();
        EXPECT_EQ(s->finish(sim::ExitStatus::Ran), sim::ExitStatus::Ran);
    }
    const std::string typed = readFile(folder.path() / "typed/elf/BlackList.txt");
    EXPECT_EQ(typed, records + "\r\n" + cp1251("Жук b+80501234567 inf?  ") + "\r\nx\ny");
    // The recording starts from the records it began with and ends pinning the result: replayed
    // on an empty folder, in another language, its own checks pass.
    auto lines = runner::loadScript(recording).value();
    std::vector<runner::Put> startFiles;
    runner::Options options;
    options.language = LANGUAGE_RUSSIAN;
    runner::SessionConfig config(runner::takeScriptStart(lines, options, startFiles).value());
    config.fs = folder.path() / "replayed", config.module = NUV_MODULE_PATH;
    config.startFiles = startFiles, config.scriptFolder = folder.path();
    EXPECT_EQ(config.language, LANGUAGE_ENGLISH);
    runner::Session replay(config, out, err);
    ASSERT_EQ(replay.start(), std::nullopt) << err.str();
    for (const auto& line : lines) EXPECT_EQ(replay.perform(line, "session.txt"), std::nullopt) << err.str();
    EXPECT_EQ(readFile(folder.path() / "replayed/elf/BlackList.txt"), typed);
    EXPECT_TRUE(replay.screen() == screen);
    EXPECT_NE(readFile(recording).find("expect screen session.png"), std::string::npos);
}

// The side panel names the module that runs, by the name it registered, its kind and its file,
// also once it has ended and is unloaded.
TEST_F(Engine, ThePanelNamesTheModule) {
    for (const auto& [module, kind] : {std::pair{NUV_MODULE_PATH, "host"}, {NUV_ARM_MODULE_PATH, "ARM"}}) {
        if (module == std::string(NUV_ARM_MODULE_PATH)) NUV_SKIP_WITHOUT_PHONE_MODULE();
        runner::SessionConfig config;
        config.fs = folder.path() / kind, config.module = module;
        runner::Session s(config, out, err);
        ASSERT_EQ(s.start(), std::nullopt) << err.str();
        const std::string expected =
            std::string("module     nuv-oka, ") + kind + ", " + std::filesystem::path(module).filename().string();
        for (const std::uint8_t key : {KEY_DOWN, KEY_END}) {
            s.press(key);
            const auto lines = s.panel("F6 resumes");
            EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
        }
        EXPECT_TRUE(s.ended());
    }
}

TEST_F(Engine, TheGifHoldsEachDistinctScreenOnce) {
    const auto file = folder.path() / "run.gif";
    {
        auto s = session("gif", {}, file);
        for (int step = 1; step <= 3; ++step) {
            s->press(KEY_SOFT_LEFT);  // the menu opens and closes
            s->repaint();             // nothing changes: no frame
        }
        EXPECT_EQ(s->finish(sim::ExitStatus::Ran), sim::ExitStatus::Ran);
    }
    int error = 0;
    GifFileType* gif = DGifOpenFileName(file.c_str(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    EXPECT_EQ(gif->SWidth, 176);
    EXPECT_EQ(gif->SHeight, 220);
    ASSERT_EQ(gif->ImageCount, 4);
    for (int frame = 0; frame < 4; ++frame) {
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(gif, frame, &control);
        EXPECT_EQ(control.DelayTime, 40) << frame;  // in hundredths of a second
    }
    DGifCloseFile(gif, &error);
}

// The platform calls of a short session (start, a key, an add) read the same for the module built
// for this computer and for the phone's own, but for addresses (NUV_UPDATE_GOLDEN=1 rewrites
// them). Calls whose arguments follow the size of a pointer (the glyph records' blocks) and the
// C library's strlen, which a host module takes from the host, are left out.
TEST(CallTrace, AShortSessionCallsTheSameForBothKindsOfModule) {
    const std::filesystem::path golden = std::filesystem::path(NUV_TESTS_DIR) / "golden" / "calls.txt";
    const char* update = std::getenv("NUV_UPDATE_GOLDEN");
    for (const std::string module : {NUV_MODULE_PATH, NUV_ARM_MODULE_PATH}) {
        if (module == NUV_ARM_MODULE_PATH) NUV_SKIP_WITHOUT_PHONE_MODULE();
        SCOPED_TRACE(module);
        TempFolder folder;
        const SimRun run = runSimulator(
            folder.path(),
            "--headless --fs ph --lang en --trace --module " + module +
                " --trace-calls=calls.txt,Ldr*,APP_*,AFW_*,UIS_*,DRM_*,DL_Fs*,u_*,AhiDrawBitBlt,suFreeMem --script -",
            "press down\npress soft-left\npress down 2\npress ok\ntext New\npress ok\n");
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string trace =
            std::regex_replace(readFile(folder.path() / "calls.txt"), std::regex("0x[0-9A-F]{8,}"), "0x...");
        if (update && std::string(update) == "1") {
            std::ofstream(golden, std::ios::binary) << trace;
            continue;
        }
        EXPECT_EQ(trace, readFile(golden));
    }
    // A failure is marked, and one that a fault option injected is said to be one.
    TempFolder folder;
    const SimRun run = runSimulator(folder.path(), "--headless --fail-open 2 --trace-calls=DL_FsOpenFile", "");
    EXPECT_NE(run.output.find("DL_FsOpenFile(\"/elf/BlackList.txt\", 0, 0) = 0xFFFFFFFF (injected fault)"),
              std::string::npos)
        << run.output;
}
