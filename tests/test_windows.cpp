// The windows, buttons, pointer and icon, and the exit, about and error windows built
// from them, checked pixel by pixel on the off-screen surface of a booted application.
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

constexpr sim::Rgb565 kClear = 0;
constexpr sim::Rgb565 kFrame = rgb(120, 120, 255);
constexpr sim::Rgb565 kBody = rgb(32, 0, 0);
constexpr sim::Rgb565 kYellow = rgb(250, 250, 0);
constexpr sim::Rgb565 kWhiteText = rgb(250, 250, 250);
constexpr sim::Rgb565 kPointer = rgb(255, 255, 255);
constexpr sim::Rgb565 kHighlightFill = rgb(0, 0, 221);
constexpr sim::Rgb565 kPlainFill = rgb(51, 51, 51);
constexpr sim::Rgb565 kPlainLabel = rgb(136, 136, 136);
constexpr sim::Rgb565 kBubble = rgb(200, 100, 200);
constexpr sim::Rgb565 kLetter = rgb(200, 0, 0);
constexpr sim::Rgb565 kGreyText = rgb(170, 170, 170);

constexpr sim::Rgb565 barColour(int row) { return rgb(85, 85, 85 + 9 * row); }

// A block of pixels, both corners included.
struct Rect {
    int x1, y1, x2, y2;
    bool contains(int x, int y) const { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }
    bool onEdge(int x, int y) const { return contains(x, y) && (x == x1 || x == x2 || y == y1 || y == y2); }
};

std::string hex(sim::Rgb565 c) {
    std::ostringstream out;
    out << "0x" << std::hex << std::uppercase << c;
    return out.str();
}

// A window whose body starts at (x, y), as the screens place them.
struct WindowPlace {
    int x, y;
    int w() const { return 176 - 2 * x; }
    int h() const { return 220 - 2 * y; }
    Rect body() const { return {x, y, x + w() - 1, y + h() - 1}; }
    Rect whole() const { return {x - 1, y - 12, x + w(), y + h()}; }
};
constexpr WindowPlace kExitPlace{28, 83}, kAboutPlace{5, 60}, kErrorPlace{10, 60};

using WinFn = void(std::uint16_t, std::uint16_t, const char*);
using YesNoFn = void(std::uint8_t, const char*, const char*, std::uint16_t);
using OkFn = void(std::uint8_t, const char*, std::uint16_t);
using PointFn = void(std::uint16_t, std::uint16_t);
using ExitFn = void(std::uint16_t, std::uint16_t, std::uint8_t);

}  // namespace

class WindowsTest : public AppTest {
protected:
    sim::Surface& surface() { return phone().graphics.offscreen(); }
    void clear() { surface().fill(kClear); }

    // Every pixel of `area` has the colour `expected` gives it; nullopt leaves it unchecked.
    template <class Expected>
    ::testing::AssertionResult pixelsAre(Rect area, Expected expected) {
        int wrong = 0;
        std::ostringstream first;
        for (int y = area.y1; y <= area.y2; ++y) {
            for (int x = area.x1; x <= area.x2; ++x) {
                const std::optional<sim::Rgb565> want = expected(x, y);
                if (!want || surface().at(x, y) == *want) continue;
                if (wrong++ == 0)
                    first << "first at (" << x << ", " << y << "): " << hex(surface().at(x, y)) << " instead of "
                          << hex(*want);
            }
        }
        if (wrong == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << wrong << " pixels differ, " << first.str();
    }
    ::testing::AssertionResult allOf(Rect area, sim::Rgb565 colour) {
        return pixelsAre(area, [&](int, int) { return std::optional(colour); });
    }

    // No pixel of `area` has `colour`.
    ::testing::AssertionResult noneOf(Rect area, sim::Rgb565 colour) {
        return pixelsAre(area, [&](int x, int y) -> std::optional<sim::Rgb565> {
            if (surface().at(x, y) != colour) return std::nullopt;
            return static_cast<sim::Rgb565>(~colour);  // reported as a mismatch
        });
    }

    // Painted pixels that lie outside every one of `areas`.
    ::testing::AssertionResult nothingOutside(const std::vector<Rect>& areas) {
        int painted = 0;
        std::ostringstream first;
        for (int y = 0; y < surface().height(); ++y) {
            for (int x = 0; x < surface().width(); ++x) {
                bool inside = false;
                for (const Rect& r : areas) inside = inside || r.contains(x, y);
                if (inside || surface().at(x, y) == kClear) continue;
                if (painted++ == 0) first << "first at (" << x << ", " << y << "): " << hex(surface().at(x, y));
            }
        }
        if (painted == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << painted << " pixels painted outside, " << first.str();
    }

    // A button's frame outline, its fill and its label over the fill, exactly.
    ::testing::AssertionResult buttonIs(Rect frame, int labelX, const std::string& label, bool highlighted) {
        const sim::Rgb565 fill = highlighted ? kHighlightFill : kPlainFill;
        const sim::Rgb565 ink = highlighted ? kYellow : kPlainLabel;
        return pixelsAre(frame, [&](int x, int y) -> std::optional<sim::Rgb565> {
            if (textInk(label, labelX, frame.y1 + 1, x, y)) return ink;
            return frame.onEdge(x, y) ? kFrame : fill;
        });
    }

    // A text drawn in a colour: every ink pixel has it, and the text's cells hold nothing
    // else of it (inside `area`).
    void expectLine(int x, int y, const std::string& text, sim::Rgb565 colour, ScreenArea area = {}) {
        EXPECT_TRUE(textDrawn(surface(), x, y, text, colour, TextCheck::Exact, area));
    }
    // A window's title: the body, drawn last, covers the last row of its cells.
    void expectTitle(int x, int y, const std::string& text) {
        expectLine(x, y, text, kYellow, {0, y, sim::kScreenWidth - 1, y + kCellHeight - 2});
    }

    // Texts stay inside the body: in the body's rows, the frame's columns keep the frame
    // colour (`leftAllowed` may stand on the left one, as the about window's labels do);
    // the title's yellow stays left of the close box; nothing lies outside the window.
    void expectTextsInside(WindowPlace place, std::optional<sim::Rgb565> leftAllowed = std::nullopt) {
        const Rect whole = place.whole(), body = place.body();
        EXPECT_TRUE(nothingOutside({whole}));
        EXPECT_TRUE(pixelsAre({whole.x2, body.y1, whole.x2, body.y2}, [](int, int) { return std::optional(kFrame); }))
            << "right frame column " << whole.x2;
        EXPECT_TRUE(pixelsAre({whole.x1, body.y1, whole.x1, body.y2},
                              [&](int x, int y) -> std::optional<sim::Rgb565> {
                                  if (leftAllowed && surface().at(x, y) == *leftAllowed) return std::nullopt;
                                  return kFrame;
                              }))
            << "left frame column " << whole.x1;
        const int closeBox = body.x2 + 1 - 11;
        EXPECT_TRUE(noneOf({closeBox, body.y1 - 11, body.x2, body.y1 - 1}, kYellow))
            << "the title reaches the close box";
    }

    std::uint8_t& error() { return global<std::uint8_t>("Error"); }
};

// ---------------------------------------------------------------------------------------
// The building blocks.

TEST_F(WindowsTest, ExitSizedWindowHasBarTitleFrameCloseBoxAndBody) {
    boot();
    clear();
    function<WinFn>("writeWin")(120, 54, "Exit...");

    const Rect whole{27, 71, 148, 137}, body{28, 83, 147, 136}, bar{28, 72, 147, 82}, box{137, 73, 145, 81};
    EXPECT_TRUE(nothingOutside({whole}));
    EXPECT_TRUE(allOf(body, kBody));
    EXPECT_TRUE(pixelsAre(whole, [&](int x, int y) -> std::optional<sim::Rgb565> {
        if (whole.onEdge(x, y)) return kFrame;
        return std::nullopt;
    }));
    // Each visible bar row in its own shade, under the title's ink; the close box apart.
    EXPECT_TRUE(pixelsAre(bar, [&](int x, int y) -> std::optional<sim::Rgb565> {
        if (box.contains(x, y)) return std::nullopt;
        if (textInk("Exit...", 28, 72, x, y)) return kYellow;
        return barColour(y - 72);
    }));
    expectTitle(28, 72, "Exit...");
    // The close box: outline, the two diagonals of its cross, bar shades between them.
    EXPECT_TRUE(pixelsAre(box, [&](int x, int y) -> std::optional<sim::Rgb565> {
        const bool cross = (x >= 139 && x <= 143 && y >= 75 && y <= 79) && (x - 139 == y - 75 || 143 - x == y - 75);
        if (box.onEdge(x, y) || cross) return kFrame;
        return barColour(y - 72);
    }));
}

TEST_F(WindowsTest, WindowIsCentredWithItsHalfMarginsRoundedDown) {
    boot();
    auto writeWin = function<WinFn>("writeWin");

    clear();
    writeWin(165, 100, "About");
    EXPECT_EQ(surface().at(3, 110), kClear);
    EXPECT_EQ(surface().at(4, 110), kFrame);
    EXPECT_EQ(surface().at(5, 110), kBody) << "the body's left edge is column 5";
    EXPECT_EQ(surface().at(169, 110), kBody);
    EXPECT_EQ(surface().at(170, 110), kFrame);
    EXPECT_EQ(surface().at(171, 110), kClear);

    // Every width and height that fits: the frame hugs a body of exactly that size.
    auto expectColumns = [&](int w, int h) {
        const int x0 = (176 - w) / 2, y0 = (220 - h) / 2, midRow = y0 + h / 2, midCol = x0 + w / 2;
        clear();
        writeWin(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h), "");
        SCOPED_TRACE("w " + std::to_string(w) + ", h " + std::to_string(h));
        EXPECT_EQ(surface().at(x0 - 2, midRow), kClear);
        EXPECT_EQ(surface().at(x0 - 1, midRow), kFrame);
        EXPECT_EQ(surface().at(x0, midRow), kBody);
        EXPECT_EQ(surface().at(x0 + w - 1, midRow), kBody);
        EXPECT_EQ(surface().at(x0 + w, midRow), kFrame);
        EXPECT_EQ(surface().at(x0 + w + 1, midRow), kClear);
        EXPECT_EQ(surface().at(midCol, y0 - 13), kClear);
        EXPECT_EQ(surface().at(midCol, y0 - 12), kFrame);
        EXPECT_EQ(surface().at(midCol, y0 - 1), barColour(10));
        EXPECT_EQ(surface().at(midCol, y0), kBody);
        EXPECT_EQ(surface().at(midCol, y0 + h - 1), kBody);
        EXPECT_EQ(surface().at(midCol, y0 + h), kFrame);
        EXPECT_EQ(surface().at(midCol, y0 + h + 1), kClear);
    };
    for (int w = 12; w <= 174; ++w) expectColumns(w, 54);
    for (int h = 1; h <= 196; ++h) expectColumns(120, h);
}

TEST_F(WindowsTest, YesNoButtonsHighlightOneSide) {
    boot();
    auto wYESNO = function<YesNoFn>("wYESNO");
    struct Case {
        std::string left, right;
        Rect leftFrame, rightFrame;
        int leftLabelX;
    };
    const Case cases[] = {
        {cp1251("Да"), cp1251("Нет"), {64, 117, 88, 129}, {95, 117, 124, 129}, 67},
        {"Yes", "No", {59, 117, 88, 129}, {95, 117, 119, 129}, 62},
    };
    for (const Case& c : cases) {
        for (std::uint8_t selected : {1, 0, 7}) {
            SCOPED_TRACE(visible(c.left) + "/" + visible(c.right) + " selected " + std::to_string(selected));
            clear();
            wYESNO(selected, c.left.c_str(), c.right.c_str(), 58);
            EXPECT_TRUE(buttonIs(c.leftFrame, c.leftLabelX, c.left, selected != 0));
            EXPECT_TRUE(buttonIs(c.rightFrame, 98, c.right, selected == 0));
            EXPECT_TRUE(nothingOutside({c.leftFrame, c.rightFrame}));
            expectLine(c.leftLabelX, 118, c.left, selected ? kYellow : kPlainLabel);
            expectLine(98, 118, c.right, selected ? kPlainLabel : kYellow);
        }
    }
}

TEST_F(WindowsTest, OkButtonIsCentred) {
    boot();
    auto wOK = function<OkFn>("wOK");
    struct Case {
        std::string label;
        Rect frame;
        int labelX;
    };
    const Case cases[] = {
        {"Accepted", {61, 141, 115, 153}, 65},
        {cp1251("Принять"), {64, 141, 113, 153}, 67},
        {"Ok", {76, 141, 100, 153}, 80},
    };
    for (const Case& c : cases) {
        for (std::uint8_t selected : {1, 0}) {
            SCOPED_TRACE(visible(c.label) + " selected " + std::to_string(selected));
            clear();
            wOK(selected, c.label.c_str(), 82);
            EXPECT_TRUE(buttonIs(c.frame, c.labelX, c.label, selected != 0));
            EXPECT_TRUE(nothingOutside({c.frame}));
            expectLine(c.labelX, 142, c.label, selected ? kYellow : kPlainLabel);
        }
    }
}

TEST_F(WindowsTest, PointerIsAWhiteArrowOutlineFromItsTip) {
    boot();
    clear();
    function<PointFn>("mCursor")(111, 145);
    const Rect bounds{111, 145, 122, 159};
    EXPECT_TRUE(nothingOutside({bounds}));
    EXPECT_TRUE(pixelsAre(bounds, [&](int x, int y) -> std::optional<sim::Rgb565> {
        if (surface().at(x, y) == kClear) return std::nullopt;
        return kPointer;
    }));
    // The tip and the outline's other corners.
    for (auto [dx, dy] : {std::pair{0, 0}, {10, 5}, {8, 8}, {11, 11}, {8, 14}, {5, 9}, {2, 10}})
        EXPECT_EQ(surface().at(111 + dx, 145 + dy), kPointer) << "corner +" << dx << ", +" << dy;
    EXPECT_EQ(surface().at(114, 149), kClear) << "only the outline is drawn";
}

TEST_F(WindowsTest, InformationIconIsABubbleWithAnI) {
    boot();
    clear();
    function<PointFn>("wrIcon")(11, 61);
    const Rect bounds{14, 67, 41, 89};
    EXPECT_TRUE(nothingOutside({bounds}));
    EXPECT_EQ(surface().at(20, 83), kBubble) << "the segment of zero length";
    EXPECT_EQ(surface().at(20, 82), kClear) << "a zero-length segment paints one pixel";
    EXPECT_EQ(surface().at(20, 84), kClear) << "a zero-length segment paints one pixel";
    EXPECT_TRUE(pixelsAre(bounds, [&](int x, int y) -> std::optional<sim::Rgb565> {
        const sim::Rgb565 c = surface().at(x, y);
        if (c == kClear || c == kLetter) return std::nullopt;
        return kBubble;
    }));
    // The letter: dot, top of the stem, the stem, the foot.
    EXPECT_TRUE(allOf({27, 72, 28, 72}, kLetter));
    EXPECT_TRUE(allOf({26, 75, 29, 75}, kLetter));
    EXPECT_TRUE(allOf({27, 76, 28, 79}, kLetter));
    EXPECT_TRUE(allOf({26, 80, 29, 80}, kLetter));
    EXPECT_EQ(surface().at(26, 77), kClear);
    EXPECT_EQ(surface().at(29, 77), kClear);
}

// ---------------------------------------------------------------------------------------
// The three windows, in each language.

class WindowLanguageTest : public WindowsTest, public ::testing::WithParamInterface<std::uint8_t> {
protected:
    bool russian() const { return GetParam() == sim::kLanguageRussian; }
    std::string text(const char* ru, const char* en) const { return russian() ? cp1251(ru) : std::string(en); }
};

INSTANTIATE_TEST_SUITE_P(Languages, WindowLanguageTest, ::testing::Values(sim::kLanguageRussian, sim::kLanguageEnglish),
                         [](const ::testing::TestParamInfo<std::uint8_t>& language) {
                             return language.param == sim::kLanguageRussian ? std::string("Russian")
                                                                            : std::string("English");
                         });

TEST_P(WindowLanguageTest, ExitWindowAsksWithTheHighlightedButtonPointedAt) {
    boot(GetParam());
    const std::string yes = text("Да", "Yes"), no = text("Нет", "No");
    const int yesX = 88 - 5 * static_cast<int>(yes.size()) - 11;
    const Rect yesFrame{yesX - 3, 117, 88, 129}, noFrame{95, 117, 109 + 5 * static_cast<int>(no.size()), 129};

    for (std::uint8_t selection : {0, 1}) {
        SCOPED_TRACE("selection " + std::to_string(selection));
        clear();
        function<ExitFn>("writeExitMenu")(28, 83, selection);

        expectTitle(28, 72, text("Выход...", "Exit..."));
        expectLine(30, 88, text("Приложение будет зак-", "Program will be closed"), kWhiteText);
        expectLine(30, 100, text("рыто. Вы уверены?", "Are you sure?.."), kWhiteText);
        expectLine(yesX, 118, yes, selection ? kYellow : kPlainLabel);
        expectLine(98, 118, no, selection ? kPlainLabel : kYellow);
        EXPECT_EQ(surface().at(yesFrame.x1 + 1, 118), selection ? kHighlightFill : kPlainFill);
        EXPECT_EQ(surface().at(noFrame.x1 + 1, 118), selection ? kPlainFill : kHighlightFill);
        EXPECT_EQ(surface().at(yesFrame.x1, 117), kFrame);
        EXPECT_EQ(surface().at(noFrame.x2, 117), kFrame);
        EXPECT_EQ(surface().at(noFrame.x2 + 1, 117), kBody);

        const int tip = selection ? 76 : 118, other = selection ? 118 : 76;
        EXPECT_EQ(surface().at(tip, 122), kPointer) << "pointer tip at x " << tip;
        EXPECT_NE(surface().at(other, 122), kPointer);
        // Nothing between the question and the buttons.
        EXPECT_TRUE(allOf({28, 112, 147, 116}, kBody));
        expectTextsInside(kExitPlace);
    }
}

TEST_P(WindowLanguageTest, AboutWindowShowsPurposeVersionAndCredits) {
    boot(GetParam());
    clear();
    function<PointFn>("writeAbout")(5, 60);

    struct Line {
        int x, y;
        std::string text;
        sim::Rgb565 colour;
    };
    expectTitle(5, 49, text("Программа вер. 0.53b 31/07/09", "Programm ver. 0.53b 30/07/09"));
    const std::vector<Line> lines = {
        {9, 62, "elf", rgb(0, 250, 0)},
        {9, 80, "ini", rgb(250, 170, 0)},
        {41, 62, text("Предназначена для редак-", "Intended for change"), kWhiteText},
        {41, 73, text("тирования", "file"), kWhiteText},
        {41, 84, text("на мобильном", "on mobiles"), kWhiteText},
        {russian() ? 91 : 66, 73, "BlackList.txt", kGreyText},
        {russian() ? 105 : 95, 84, "devices", kYellow},
        {7, 95, "-==-==-==-==-==-==-==-==-==-==-", rgb(250, 0, 0)},
        {4, 105, text("Автор:", "Autor:"), kWhiteText},
        {48, 105, "rumo", kYellow},
        {4, 116, text("Спасибо:", "Thank's:"), kWhiteText},
        {48, 116, "Pell88, lio marsh", rgb(0, 128, 0)},
        {russian() ? 67 : 65, 142, text("Принять", "Accepted"), kYellow},
    };
    // Lines stand 11 rows apart, so a line's descenders reach into the first row of the
    // line below it: that row is left out.
    for (const Line& l : lines) {
        SCOPED_TRACE(visible(l.text));
        expectLine(l.x, l.y, l.text, l.colour, {0, l.y + 1, sim::kScreenWidth - 1, l.y + kCellHeight - 1});
    }

    // The forum's address: a readable text of at most 23 characters, nothing after it.
    std::string forum = readText(surface(), 48, 128, 24, kGreyText);
    EXPECT_EQ(forum.back(), ' ') << visible(forum);
    while (!forum.empty() && forum.back() == ' ') forum.pop_back();
    EXPECT_GE(forum.size(), 8u) << visible(forum);
    EXPECT_EQ(forum.find(kUnreadable), std::string::npos) << visible(forum);
    EXPECT_EQ(forum.find(' '), std::string::npos) << visible(forum);

    // The icon beside the captions, the highlighted button and the pointer in it.
    EXPECT_EQ(surface().at(31, 67), kBubble);
    EXPECT_EQ(surface().at(27, 76), kLetter);
    const int frameLeft = russian() ? 64 : 61;
    EXPECT_EQ(surface().at(frameLeft, 141), kFrame);
    EXPECT_EQ(surface().at(frameLeft + 1, 142), kHighlightFill);
    EXPECT_EQ(surface().at(111, 145), kPointer);
    expectTextsInside(kAboutPlace, kWhiteText);
}

TEST_P(WindowLanguageTest, ErrorWindowShowsTheMessageThatErrorNames) {
    boot(GetParam());
    struct Message {
        const char* ru[5];
        const char* en[5];
    };
    // Title, three white lines, one yellow line.
    const Message onlyRecord = {
        {"Данная операция не возможна!", "Вы пытаетесь удалить запись!", "Но в базе всего одна актив-", "ная запись.",
         "Вы можите ее только заменить."},
        {"This operation not possible!", "You try to delete a record!", "But this base only is one", "active record.",
         "You can only replase it."},
    };
    const Message listFull = {
        {"Список заполнен!", "В списке 255 записей -", "больше показать нельзя.", "", "Удалите ненужную запись."},
        {"The list is full!", "The list holds 255 records,", "the most that it can show.", "",
         "Delete a record first."},
    };
    const Message tooLong = {
        {"Запись слишком длинная!", "В записи больше 50 знаков:", "редактор ее не вместит.", "",
         "Измените ее на компьютере."},
        {"The record is too long!", "It has more than 50", "characters: the editor", "cannot hold it.",
         "Edit it on a computer."},
    };
    const Message notSaved = {
        {"Ошибка записи!", "Изменение не сохранено:", "файл записать не удалось.", "", "Файл остался прежним."},
        {"Write error!", "The change was not saved:", "the file could not be", "written.", "The file is unchanged."},
    };
    const std::pair<std::uint8_t, const Message*> cases[] = {
        {1, &onlyRecord}, {2, &listFull}, {3, &tooLong}, {4, &notSaved}, {5, &onlyRecord}, {255, &onlyRecord},
    };
    const int rows[4] = {72, 84, 96, 120};

    for (auto [value, message] : cases) {
        SCOPED_TRACE("Error " + std::to_string(value));
        error() = value;
        clear();
        function<PointFn>("writeError")(10, 60);

        const char* const* texts = russian() ? message->ru : message->en;
        expectTitle(10, 49, text(message->ru[0], message->en[0]));
        for (int i = 0; i < 4; ++i) {
            const std::string line = russian() ? cp1251(texts[i + 1]) : std::string(texts[i + 1]);
            if (line.empty()) {
                EXPECT_TRUE(allOf({10, rows[i], 165, rows[i] + 11}, kBody)) << "empty line " << i + 1;
                continue;
            }
            SCOPED_TRACE(visible(line));
            expectLine(12, rows[i], line, i == 3 ? kYellow : kWhiteText);
        }
        EXPECT_TRUE(allOf({10, 108, 165, 119}, kBody)) << "no line at y + 48";
        expectLine(russian() ? 67 : 65, 142, text("Принять", "Accepted"), kYellow);
        EXPECT_EQ(surface().at(russian() ? 65 : 62, 142), kHighlightFill);
        EXPECT_EQ(surface().at(111, 145), kPointer);
        expectTextsInside(kErrorPlace);
    }
}

TEST_P(WindowLanguageTest, WindowsReadTheLanguageAtEachCall) {
    boot(GetParam());
    std::uint8_t& language = global<std::uint8_t>("LGID");
    auto writeExitMenu = function<ExitFn>("writeExitMenu");
    auto writeError = function<PointFn>("writeError");
    auto writeAbout = function<PointFn>("writeAbout");
    error() = 1;
    for (std::uint8_t id : {sim::kLanguageRussian, std::uint8_t{0x24}, sim::kLanguageEnglish, std::uint8_t{0}}) {
        SCOPED_TRACE("LGID " + std::to_string(id));
        language = id;
        const bool ru = id == sim::kLanguageRussian;
        clear();
        writeExitMenu(28, 83, 1);
        expectTitle(28, 72, ru ? cp1251("Выход...") : "Exit...");
        clear();
        writeAbout(5, 60);
        expectLine(4, 105, ru ? cp1251("Автор:") : "Autor:", kWhiteText);
        clear();
        writeError(10, 60);
        expectLine(65 + (ru ? 2 : 0), 142, ru ? cp1251("Принять") : "Accepted", kYellow);
    }
}
