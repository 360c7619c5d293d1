// Whole-screen reference images of the list screen, compared pixel for pixel.
//
// Each case boots the application on the same records (Latin and Cyrillic), drives it with
// keys and compares the display with tests/golden/<case>.png. When they differ, the test
// writes <case>.actual.png and <case>.diff.png (differing pixels in red over a dimmed copy
// of the actual screen) into golden-out/ under the test's working folder (the build's
// tests/ folder under ctest) and fails.
//
// The references change only on purpose: after a deliberate change of the picture, run
//     NUV_UPDATE_GOLDEN=1 ctest -R Golden        (in the build folder)
// which writes the references instead of comparing them, then look at every image in
// tests/golden/ before keeping it.
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

bool updating() {
    const char* value = std::getenv("NUV_UPDATE_GOLDEN");
    return value && std::string(value) == "1";
}

fs::path referenceFile(const std::string& name) { return fs::path(NUV_TESTS_DIR) / "golden" / (name + ".png"); }

fs::path outputFolder() { return fs::current_path() / "golden-out"; }

// The actual screen dimmed to a third, with every pixel that differs from the reference
// in pure red.
sim::Surface diffImage(const sim::Surface& reference, const sim::Surface& actual) {
    sim::Surface out(actual.width(), actual.height());
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x) {
            if (!reference.contains(x, y) || reference.at(x, y) != actual.at(x, y)) {
                out.set(x, y, sim::toRgb565(255, 0, 0));
            } else {
                const sim::Rgb888 c = sim::toRgb888(actual.at(x, y));
                out.set(x, y, sim::toRgb565(c.r / 3, c.g / 3, c.b / 3));
            }
        }
    return out;
}

// Records with Latin, Cyrillic, digits, punctuation and the characters the list maps to
// look-alikes (Ё, «», the en dash).
std::string goldenRecords() {
    const std::vector<std::string> records = {
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
    for (std::size_t i = 0; i < records.size(); ++i) out += (i ? "\r\n" : "") + cp1251(records[i]);
    return out;
}

}  // namespace

class Golden : public AppTest {
protected:
    // Boots in `language`, presses `keys`, and compares (or, when updating, writes) the
    // screen as the reference `name`.
    void check(const std::string& name, std::uint8_t language, const std::vector<std::uint8_t>& keys) {
        bootWith(goldenRecords(), language);
        for (const std::uint8_t key : keys) press(key);
        const sim::Surface actual = screen();
        const fs::path reference = referenceFile(name);
        std::string error;

        if (updating()) {
            ASSERT_TRUE(sim::writePng(actual, reference, error)) << error;
            std::cout << "wrote " << reference << "\n";
            return;
        }

        const std::optional<sim::Surface> expected = sim::readPng(reference, error);
        ASSERT_TRUE(expected) << error << "\n(run with NUV_UPDATE_GOLDEN=1 to write the reference)";
        if (*expected == actual) return;

        int differing = 0;
        for (int y = 0; y < actual.height(); ++y)
            for (int x = 0; x < actual.width(); ++x)
                differing += !expected->contains(x, y) || expected->at(x, y) != actual.at(x, y);
        const fs::path actualFile = outputFolder() / (name + ".actual.png");
        const fs::path diffFile = outputFolder() / (name + ".diff.png");
        std::string writeError;
        sim::writePng(actual, actualFile, writeError);
        sim::writePng(diffImage(*expected, actual), diffFile, writeError);
        ADD_FAILURE() << "the screen differs from " << reference << " in " << differing << " pixels"
                      << (expected->width() != actual.width() || expected->height() != actual.height()
                              ? " (the sizes differ)"
                              : "")
                      << "; see " << actualFile << " and " << diffFile << " " << writeError;
    }
};

// The second record selected, so the page shows both text colours and the bar off row 1.
TEST_F(Golden, ListInEnglish) { check("list_en", sim::kLanguageEnglish, {sim::kKeyDown}); }

TEST_F(Golden, ListInRussian) { check("list_ru", sim::kLanguageRussian, {sim::kKeyDown}); }

// The menu open with its second item highlighted.
TEST_F(Golden, MenuInEnglish) {
    check("menu_en", sim::kLanguageEnglish, {sim::kKeyDown, sim::kKeySoftLeft, sim::kKeyDown});
}

TEST_F(Golden, MenuInRussian) {
    check("menu_ru", sim::kLanguageRussian, {sim::kKeyDown, sim::kKeySoftLeft, sim::kKeyDown});
}
