// The screens a user meets, each compared pixel for pixel with its reference image
// tests/golden/<screen>-<language>.png. On a difference the test fails and writes
// <case>.actual.png and <case>.diff.png (differing pixels red over a dimmed copy) into
// golden-out/ in its working folder. After a deliberate change of the picture, rewrite the
// references with
//     NUV_UPDATE_GOLDEN=1 ctest -R Golden        (in the build folder)
// and look at every image in tests/golden/ before keeping it.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app_test.hpp"
#include "png.hpp"
#include "screendiff.hpp"

using namespace nuvtest;

namespace {

namespace fs = std::filesystem;

// Every byte value but CR, sixteen to a record, as the list shows them.
std::string everyByte() {
    std::string out;
    for (int b = 0; b < 256; ++b) {
        if (b && b % 16 == 0) out += "\r\n";
        if (b != '\r') out += static_cast<char>(b);
    }
    return out;
}

// Rename: the last key's rename fails; Read: no read of the file succeeds, from the start.
enum class Fault { None, Rename, Read };

struct Screen {
    const char* name;
    std::string file;
    std::vector<std::uint8_t> keys;
    Fault fault = Fault::None;
    bool englishOnly = false;  // the screen shows nothing that depends on the language
};

constexpr std::uint8_t Menu = KEY_SOFT_LEFT, Up = KEY_UP, Down = KEY_DOWN, Ok = KEY_OK, Right = KEY_RIGHT;
const std::string kRecords = goldenRecords();
const Screen kScreens[] = {
    {"list", kRecords, {Down}},
    {"menu-edit", kRecords, {Down, Menu}},
    {"menu-delete", kRecords, {Down, Menu, Down}},
    {"menu-add", kRecords, {Down, Menu, Down, Down}},
    {"menu-about", kRecords, {Down, Menu, Up, Up}},
    {"menu-exit", kRecords, {Down, Menu, Up}},
    {"editor", kRecords, {Down, Menu, Ok}},
    {"about", kRecords, {Menu, Up, Up, Ok}},
    {"exit", kRecords, {Down, Menu, Up, Ok, Right}},
    {"only-record", kDefaultRecord, {Menu, Down, Ok}},
    {"list-full", numbered(255), {Menu, Down, Down, Ok}},
    {"too-long", "A\r\n" + std::string(51, 'x'), {Down, Menu, Ok}},
    {"not-saved", kRecords, {Menu, Down, Ok}, Fault::Rename},
    {"not-read", kRecords, {Menu, Down, Ok}, Fault::Read},
    {"page-2", numbered(30), std::vector<std::uint8_t>(10, Up), Fault::None, true},
    // An LF is not drawn: the next character takes the cell before it. A lone CR begins a record.
    {"line-feeds", "AB\nCD\r\nX\r\nAB\n\nCD\r\n\nAB\r\nA\n\r\nB\rC\r\r\nD", {Down}, Fault::None, true},
    {"every-byte", everyByte(), {}, Fault::None, true},
    {"every-byte-2", everyByte(), {Up}, Fault::None, true},
};

struct Case {
    const Screen* screen;
    std::uint8_t language;
};

// Every screen in Russian and in English, and with another language id, which shows the
// English screens.
std::vector<Case> cases() {
    std::vector<Case> out;
    for (const Screen& s : kScreens)
        for (int language : {LANGUAGE_ENGLISH, LANGUAGE_RUSSIAN, 0x24})
            if (!s.englishOnly || language == LANGUAGE_ENGLISH)
                out.push_back({&s, static_cast<std::uint8_t>(language)});
    return out;
}

std::string languageName(std::uint8_t language) { return language == LANGUAGE_RUSSIAN ? "ru" : "en"; }

void PrintTo(const Case& c, std::ostream* out) { *out << c.screen->name << " in language " << int{c.language}; }

}  // namespace

class Golden : public AppTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Golden, ScreenMatchesItsReference) {
    const Screen& s = *GetParam().screen;
    if (s.fault == Fault::Read) phone().files().faults(sim::FileOp::Read).failAlways();
    bootWith(s.file, GetParam().language);
    for (std::size_t i = 0; i < s.keys.size(); ++i) {
        if (i + 1 == s.keys.size() && s.fault == Fault::Rename) phone().files().faults(sim::FileOp::Rename).failNth(1);
        press(s.keys[i]);
    }
    const sim::Surface actual = screen();
    const std::string name = std::string(s.name) + "-" + languageName(GetParam().language);
    const fs::path reference = fs::path(NUV_TESTS_DIR) / "golden" / (name + ".png");
    const char* update = std::getenv("NUV_UPDATE_GOLDEN");
    // The references come from the host module; the phone's module is only compared with them.
    if (update && std::string(update) == "1" && GetParam().language != 0x24 && !std::getenv("NUV_MODULE")) {
        const auto written = sim::writePng(actual, reference);
        ASSERT_TRUE(written) << written.error().message;
        std::cout << "wrote " << reference << "\n";
        return;
    }
    const auto expected = sim::readPng(reference);
    ASSERT_TRUE(expected) << expected.error().message << "\n(run with NUV_UPDATE_GOLDEN=1 to write the reference)";
    const sim::ScreenDiff diff = sim::diffScreens(*expected, actual);
    if (!diff) return;
    const fs::path out = fs::current_path() / "golden-out";
    const auto written = sim::writePng(actual, out / (name + ".actual.png")).and_then([&] {
        return sim::writePng(diff.picture, out / (name + ".diff.png"));
    });
    ADD_FAILURE() << "the screen differs from " << reference << " in " << diff.differing << " pixels from ("
                  << diff.left << ", " << diff.top << ") to (" << diff.right << ", " << diff.bottom << ")"
                  << (diff.sameSize ? "" : ", and the sizes differ") << "; see " << out << " "
                  << (written ? "" : written.error().message);
}

INSTANTIATE_TEST_SUITE_P(Screens, Golden, ::testing::ValuesIn(cases()), [](const ::testing::TestParamInfo<Case>& c) {
    std::string name = c.param.screen->name;
    for (char& letter : name)
        if (letter == '-') letter = '_';
    const std::uint8_t language = c.param.language;
    return name + "_" + (language == 0x24 ? std::string("other") : languageName(language));
});
