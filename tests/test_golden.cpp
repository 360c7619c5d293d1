// Whole-screen reference images of the list screen, compared pixel for pixel with
// tests/golden/<case>.png. On a difference the test fails and writes <case>.actual.png and
// <case>.diff.png (differing pixels red over a dimmed copy) into golden-out/ in its working
// folder. After a deliberate change of the picture, rewrite the references with
//     NUV_UPDATE_GOLDEN=1 ctest -R Golden        (in the build folder)
// and look at every image in tests/golden/ before keeping it.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app_test.hpp"
#include "png.hpp"

using namespace nuvtest;

namespace {

namespace fs = std::filesystem;

// Records with Latin, Cyrillic, digits, punctuation and the characters the list maps to
// look-alikes (Ё, «», the en dash).
std::string goldenRecords() {
    const char* const records[] = {
        "+80501234567 info",
        "+79161234567 Иван Петров",
        "+380441234567 Мама",
        "112 Emergency",
        "+74951112233 Работа, офис",
        "Ёлка «Новый год» – дача",
        "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ",
        "абвгдежзийклмнопрстуфхцчшщъыьэюя",
        "0123456789 !\"#$%&'()*+,-./:;<=>?@[]_",
    };
    std::string out;
    for (const char* record : records) out += (out.empty() ? "" : "\r\n") + cp1251(record);
    return out;
}

}  // namespace

class Golden : public AppTest {
protected:
    // Boots in `language`, presses `keys`, and compares (or, when updating, writes) the screen
    // as the reference `name`.
    void check(const std::string& name, std::uint8_t language, const std::vector<std::uint8_t>& keys) {
        bootWith(goldenRecords(), language);
        for (const std::uint8_t key : keys) press(key);
        const sim::Surface actual = screen();
        const fs::path reference = fs::path(NUV_TESTS_DIR) / "golden" / (name + ".png");
        std::string error;
        const char* update = std::getenv("NUV_UPDATE_GOLDEN");
        if (update && std::string(update) == "1") {
            ASSERT_TRUE(sim::writePng(actual, reference, error)) << error;
            std::cout << "wrote " << reference << "\n";
            return;
        }
        const std::optional<sim::Surface> expected = sim::readPng(reference, error);
        ASSERT_TRUE(expected) << error << "\n(run with NUV_UPDATE_GOLDEN=1 to write the reference)";
        if (*expected == actual) return;

        sim::Surface diff(actual.width(), actual.height());
        int differing = 0;
        for (int y = 0; y < actual.height(); ++y)
            for (int x = 0; x < actual.width(); ++x) {
                const sim::Rgb888 c = sim::toRgb888(actual.at(x, y));
                const bool differs = !expected->contains(x, y) || expected->at(x, y) != actual.at(x, y);
                differing += differs;
                diff.set(x, y, differs ? sim::toRgb565(255, 0, 0) : sim::toRgb565(c.r / 3, c.g / 3, c.b / 3));
            }
        const fs::path out = fs::current_path() / "golden-out";
        sim::writePng(actual, out / (name + ".actual.png"), error);
        sim::writePng(diff, out / (name + ".diff.png"), error);
        ADD_FAILURE() << "the screen differs from " << reference << " in " << differing << " pixels"
                      << (expected->width() != actual.width() || expected->height() != actual.height()
                              ? " (the sizes differ)"
                              : "")
                      << "; see " << out << " " << error;
    }
};

// The second record selected, so the page shows both text colours and the bar off row 1.
TEST_F(Golden, ListInEnglish) { check("list_en", LANGUAGE_ENGLISH, {KEY_DOWN}); }
TEST_F(Golden, ListInRussian) { check("list_ru", LANGUAGE_RUSSIAN, {KEY_DOWN}); }

// The menu open with its second item highlighted.
TEST_F(Golden, MenuInEnglish) { check("menu_en", LANGUAGE_ENGLISH, {KEY_DOWN, KEY_SOFT_LEFT, KEY_DOWN}); }
TEST_F(Golden, MenuInRussian) { check("menu_ru", LANGUAGE_RUSSIAN, {KEY_DOWN, KEY_SOFT_LEFT, KEY_DOWN}); }
