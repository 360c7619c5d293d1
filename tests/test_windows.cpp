// The windows, buttons, pointer and icon, and the exit, about and error windows built from
// them, checked pixel by pixel on the off-screen surface of a booted application.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

using sim::Rgb565;
constexpr Rgb565 kClear = 0, kFrame = rgb(120, 120, 255), kBody = rgb(32, 0, 0), kYellow = rgb(250, 250, 0);
constexpr Rgb565 kWhite = rgb(250, 250, 250), kPointer = rgb(255, 255, 255), kGrey = rgb(170, 170, 170);
constexpr Rgb565 kHighlightFill = rgb(0, 0, 221), kPlainFill = rgb(51, 51, 51), kPlainLabel = rgb(136, 136, 136);
constexpr Rgb565 kBubble = rgb(200, 100, 200), kLetter = rgb(200, 0, 0);
constexpr Rgb565 barColour(int row) { return rgb(85, 85, 85 + 9 * row); }

using Rect = ScreenArea;  // both corners included
bool onEdge(const Rect& r, int x, int y) {
    return r.contains(x, y) && (x == r.x1 || x == r.x2 || y == r.y1 || y == r.y2);
}
using PointFn = void(std::uint16_t, std::uint16_t);

}  // namespace

class WindowsTest : public AppTest {
protected:
    sim::Surface& surface() { return phone().graphics.offscreen(); }
    Rgb565 at(int x, int y) { return surface().at(x, y); }
    void clear() { surface().fill(kClear); }

    // Every pixel of `area` has the colour `expected` gives it, where it gives one.
    ::testing::AssertionResult pixelsAre(Rect area, const std::function<std::optional<Rgb565>(int, int)>& expected) {
        int wrong = 0;
        std::string first;
        for (int y = area.y1; y <= area.y2; ++y)
            for (int x = area.x1; x <= area.x2; ++x) {
                const std::optional<Rgb565> want = expected(x, y);
                if (want && at(x, y) != *want && wrong++ == 0)
                    first = std::to_string(x) + ", " + std::to_string(y) + ": " + std::to_string(at(x, y));
            }
        if (wrong == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << wrong << " pixels differ, first at (" << first << ")";
    }
    ::testing::AssertionResult allOf(Rect area, Rgb565 colour) {
        return pixelsAre(area, [&](int, int) { return colour; });
    }
    ::testing::AssertionResult nothingOutside(Rect area) {
        return pixelsAre({0, 0, 175, 219}, [&](int x, int y) -> std::optional<Rgb565> {
            return area.contains(x, y) ? std::nullopt : std::optional(kClear);
        });
    }
    // A button's outline, fill and label, exactly, but for where the pointer lies over it.
    ::testing::AssertionResult buttonIs(Rect frame, int labelX, const std::string& label, bool highlighted) {
        return pixelsAre(frame, [&](int x, int y) -> std::optional<Rgb565> {
            if (at(x, y) == kPointer) return std::nullopt;
            if (textInk(label, labelX, frame.y1 + 1, x, y)) return highlighted ? kYellow : kPlainLabel;
            return onEdge(frame, x, y) ? kFrame : highlighted ? kHighlightFill : kPlainFill;
        });
    }
    void expectLine(int x, int y, const std::string& text, Rgb565 colour, ScreenArea area = {}) {
        EXPECT_TRUE(textDrawn(surface(), x, y, text, colour, TextCheck::Exact, area));
    }

    // The window whose body starts at (x, y): the title bar's shades under the title's ink (the
    // body covers the bar's last row), the close box with its cross, and the texts inside:
    // nothing outside the window, its frame whole but where `leftAllowed` stands on the left.
    void expectWindow(int x, int y, const std::string& title, std::optional<Rgb565> leftAllowed = std::nullopt) {
        const Rect whole{x - 1, y - 12, 176 - x, 220 - y}, box{whole.x2 - 11, y - 10, whole.x2 - 3, y - 2};
        expectLine(x, y - 11, title, kYellow, {0, y - 11, 175, y - 1});
        EXPECT_TRUE(nothingOutside(whole));
        EXPECT_TRUE(pixelsAre(whole, [&](int px, int py) -> std::optional<Rgb565> {
            const bool frameColumn = (px == whole.x1 && !(leftAllowed && at(px, py) == *leftAllowed)) || px == whole.x2;
            if (py == whole.y1 || py == whole.y2 || frameColumn) return kFrame;
            if (py > y || px < x) return std::nullopt;  // the body below its first row; allowed text
            if (py == y) return kBody;
            if (!box.contains(px, py)) return textInk(title, x, y - 11, px, py) ? kYellow : barColour(py - y + 11);
            const int cx = px - box.x1 - 2, cy = py - box.y1 - 2;  // the cross, 5 x 5 inside the box's outline
            const bool cross = cx >= 0 && cx <= 4 && cy >= 0 && cy <= 4 && (cx == cy || 4 - cx == cy);
            return onEdge(box, px, py) || cross ? kFrame : barColour(py - y + 11);
        }));
    }
};

// Every width and height that fits: the body is centred with its margins rounded down
// (so 165 wide starts at column 5), and the frame hugs it.
TEST_F(WindowsTest, WindowIsCentredWithItsHalfMarginsRoundedDown) {
    boot();
    auto writeWin = function<void(std::uint16_t, std::uint16_t, const char*)>("writeWin");
    std::vector<std::pair<int, int>> sizes;
    for (int w = 12; w <= 174; ++w) sizes.emplace_back(w, 54);
    for (int h = 1; h <= 196; ++h) sizes.emplace_back(120, h);
    for (const auto& [w, h] : sizes) {
        const int x0 = (176 - w) / 2, y0 = (220 - h) / 2, row = y0 + h / 2, col = x0 + w / 2;
        clear();
        writeWin(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h), "");
        const std::tuple<int, int, Rgb565> probes[] = {
            {x0 - 2, row, kClear}, {x0 - 1, row, kFrame},     {x0, row, kBody},       {x0 + w - 1, row, kBody},
            {x0 + w, row, kFrame}, {x0 + w + 1, row, kClear}, {col, y0 - 13, kClear}, {col, y0 - 12, kFrame},
            {col, y0, kBody},      {col, y0 + h - 1, kBody},  {col, y0 + h, kFrame},  {col, y0 + h + 1, kClear}};
        for (const auto& [x, y, colour] : probes)
            EXPECT_EQ(at(x, y), colour) << w << "x" << h << " at " << x << "," << y;
    }
}

TEST_F(WindowsTest, PointerIsAnArrowOutlineAndIconABubbleWithAnI) {
    boot();
    clear();
    function<PointFn>("mCursor")(111, 145);
    EXPECT_TRUE(nothingOutside({111, 145, 122, 159}));
    for (auto [dx, dy] : {std::pair{0, 0}, {10, 5}, {8, 8}, {11, 11}, {8, 14}, {5, 9}, {2, 10}})  // its corners
        EXPECT_EQ(at(111 + dx, 145 + dy), kPointer) << "corner +" << dx << ", +" << dy;
    EXPECT_EQ(at(114, 149), kClear) << "only the outline is drawn";

    clear();
    function<PointFn>("wrIcon")(11, 61);
    EXPECT_TRUE(nothingOutside({14, 67, 41, 89}));
    EXPECT_TRUE(at(20, 83) == kBubble && at(20, 82) == kClear && at(20, 84) == kClear) << "a zero-length segment";
    // The letter: dot, top of the stem, the stem, the foot; the rest is the bubble or clear.
    const Rect letter[] = {{27, 72, 28, 72}, {26, 75, 29, 75}, {27, 76, 28, 79}, {26, 80, 29, 80}};
    EXPECT_TRUE(pixelsAre({14, 67, 41, 89}, [&](int x, int y) -> std::optional<Rgb565> {
        for (const Rect& r : letter)
            if (r.contains(x, y)) return kLetter;
        return at(x, y) == kClear ? std::nullopt : std::optional(kBubble);
    }));
}

// The three windows in Russian, in English, and in English for another language too.
class WindowLanguageTest : public WindowsTest, public ::testing::WithParamInterface<std::uint8_t> {
protected:
    bool russian() const { return GetParam() == LANGUAGE_RUSSIAN; }
    std::string text(const char* ru, const char* en) const { return cp1251(russian() ? ru : en); }
    // The about and error windows' highlighted button, with the pointer in it.
    void expectAcceptButton() {
        EXPECT_TRUE(buttonIs({russian() ? 64 : 61, 141, russian() ? 113 : 115, 153}, russian() ? 67 : 65,
                             text("Принять", "Accepted"), true));
        EXPECT_EQ(at(111, 145), kPointer);
    }
};

INSTANTIATE_TEST_SUITE_P(Languages, WindowLanguageTest,
                         ::testing::Values(LANGUAGE_RUSSIAN, LANGUAGE_ENGLISH, std::uint8_t{0x24}));

// The left button ends at column 88, the right one starts at 95; any non-zero selection
// highlights the left one, and the pointer's tip lies in the highlighted one.
TEST_P(WindowLanguageTest, ExitWindowAsksWithTheHighlightedButtonPointedAt) {
    boot(GetParam());
    const std::string yes = text("Да", "Yes"), no = text("Нет", "No");
    const int yesX = 77 - 5 * static_cast<int>(yes.size()), noEnd = 109 + 5 * static_cast<int>(no.size());
    for (std::uint8_t selection : {0, 1, 7}) {
        SCOPED_TRACE("selection " + std::to_string(selection));
        clear();
        function<void(std::uint16_t, std::uint16_t, std::uint8_t)>("writeExitMenu")(28, 83, selection);
        expectWindow(28, 83, text("Выход...", "Exit..."));
        expectLine(30, 88, text("Приложение будет зак-", "Program will be closed"), kWhite);
        expectLine(30, 100, text("рыто. Вы уверены?", "Are you sure?.."), kWhite);
        EXPECT_TRUE(buttonIs({yesX - 3, 117, 88, 129}, yesX, yes, selection != 0));
        EXPECT_TRUE(buttonIs({95, 117, noEnd, 129}, 98, no, selection == 0));
        EXPECT_TRUE(pixelsAre({28, 112, 147, 129}, [&](int x, int y) -> std::optional<Rgb565> {
            if ((y > 116 && ((x >= yesX - 3 && x <= 88) || (x >= 95 && x <= noEnd))) || at(x, y) == kPointer) return {};
            return kBody;
        })) << "the body under the question, around the buttons";
        EXPECT_EQ(at(selection ? 76 : 118, 122), kPointer) << "the pointer's tip";
    }
}

TEST_P(WindowLanguageTest, AboutWindowShowsPurposeVersionAndCredits) {
    boot(GetParam());
    clear();
    function<PointFn>("writeAbout")(5, 60);
    expectWindow(5, 60, text("Программа вер. 0.53b 31/07/09", "Programm ver. 0.53b 30/07/09"), kWhite);
    const std::tuple<int, int, std::string, Rgb565> lines[] = {
        {9, 62, "elf", rgb(0, 250, 0)},
        {9, 80, "ini", rgb(250, 170, 0)},
        {41, 62, text("Предназначена для редак-", "Intended for change"), kWhite},
        {41, 73, text("тирования", "file"), kWhite},
        {41, 84, text("на мобильном", "on mobiles"), kWhite},
        {russian() ? 91 : 66, 73, "BlackList.txt", kGrey},
        {russian() ? 105 : 95, 84, "devices", kYellow},
        {7, 95, "-==-==-==-==-==-==-==-==-==-==-", rgb(250, 0, 0)},
        {4, 105, text("Автор:", "Autor:"), kWhite},
        {48, 105, "rumo", kYellow},
        {4, 116, text("Спасибо:", "Thank's:"), kWhite},
        {48, 116, "Pell88, lio marsh", rgb(0, 128, 0)}};
    // Lines stand 11 rows apart: a line's descenders reach the first row of the next, left out.
    for (const auto& [x, y, line, colour] : lines) expectLine(x, y, line, colour, {0, y + 1, 175, y + kCellHeight - 1});

    // The forum's address: 8 to 23 readable characters without blanks, nothing after.
    const std::string forum = readText(surface(), 48, 128, 24, kGrey);
    const std::size_t end = forum.find(' ');
    EXPECT_TRUE(end >= 8 && end <= 23 && forum.find_first_not_of(' ', end) == std::string::npos &&
                forum.find(kUnreadable) == std::string::npos)
        << visible(forum);

    EXPECT_EQ(at(27, 76), kLetter) << "the icon beside the captions";
    expectAcceptButton();
}

// The title, three lines in white and one in yellow; an empty line is left out.
TEST_P(WindowLanguageTest, ErrorWindowShowsTheMessageThatErrorNames) {
    boot(GetParam());
    const char* const messages[4][2][5] = {
        // for Error 1 to 4: Russian, English
        {{"Данная операция не возможна!", "Вы пытаетесь удалить запись!", "Но в базе всего одна актив-", "ная запись.",
          "Вы можите ее только заменить."},
         {"This operation not possible!", "You try to delete a record!", "But this base only is one", "active record.",
          "You can only replase it."}},
        {{"Список заполнен!", "В списке 255 записей -", "больше показать нельзя.", "", "Удалите ненужную запись."},
         {"The list is full!", "The list holds 255 records,", "the most that it can show.", "",
          "Delete a record first."}},
        {{"Запись слишком длинная!", "В записи больше 50 знаков:", "редактор ее не вместит.", "",
          "Измените ее на компьютере."},
         {"The record is too long!", "It has more than 50", "characters: the editor", "cannot hold it.",
          "Edit it on a computer."}},
        {{"Ошибка записи!", "Изменение не сохранено:", "файл записать не удалось.", "", "Файл остался прежним."},
         {"Write error!", "The change was not saved:", "the file could not be", "written.", "The file is unchanged."}}};
    for (const int value : {1, 2, 3, 4, 5, 255}) {  // any other value shows the first message
        SCOPED_TRACE("Error " + std::to_string(value));
        global<std::uint8_t>("Error") = static_cast<std::uint8_t>(value);
        clear();
        function<PointFn>("writeError")(10, 60);
        const auto& texts = messages[value <= 4 ? value - 1 : 0][russian() ? 0 : 1];
        expectWindow(10, 60, cp1251(texts[0]));
        for (int i = 1; i <= 4; ++i) {
            const int y = i < 4 ? 60 + 12 * i : 120;
            if (*texts[std::size_t(i)])
                expectLine(12, y, cp1251(texts[std::size_t(i)]), i == 4 ? kYellow : kWhite);
            else
                EXPECT_TRUE(allOf({10, y, 165, y + 11}, kBody)) << "empty line " << i;
        }
        EXPECT_TRUE(allOf({10, 108, 165, 119}, kBody)) << "no line at y 108";
        expectAcceptButton();
    }
}
