// The list screen as a user sees it: the page of records drawn from the record file, the
// selected record captured into the edit buffers, the selection and scroll bars, the header
// and soft-key bars, the pop-up menu, and what a repaint reads.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

using sim::Rgb565;
using sim::Surface;

// What each cell of a row shows: the characters drawn over one another in it (several where
// an LF made a character take the cell before it; none for a blank). plainRows: one per cell.
using Cells = std::vector<std::string>;
using Pixels = std::set<std::pair<int, int>>;  // (y, x): the first and last are in the top and bottom rows

constexpr std::size_t kRecordChars = 50;  // what `buf` holds besides its zero

constexpr Rgb565 kOtherText = rgb(100, 200, 100), kSelectedText = rgb(200, 200, 200);
constexpr Rgb565 kBar = rgb(0, 50, 0), kOutline = rgb(0, 150, 0), kScrollFrame = rgb(0, 0, 125);
constexpr Rgb565 kSlider = rgb(60, 150, 60), kYellow = rgb(170, 170, 34), kGrey = rgb(170, 170, 170);
constexpr Rgb565 kDark = rgb(34, 34, 34), kWhite = rgb(250, 250, 250), kMenuFrame = rgb(120, 120, 250);
constexpr Rgb565 kMenuFill = rgb(0, 0, 96), kHighlight = rgb(85, 68, 102);

std::vector<Cells> plainRows(const std::vector<std::string>& texts) {
    std::vector<Cells> rows(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (char c : texts[i]) rows[i].emplace_back(1, c);
    return rows;
}

std::string joinRecords(const std::vector<std::string>& records) {
    std::string out;
    for (std::size_t i = 0; i < records.size(); ++i) out += (i ? "\r\n" : "") + records[i];
    return out;
}

// "Rec01" to "RecNN".
std::vector<std::string> numbered(int count) {
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i) out.push_back((i < 10 ? "Rec0" : "Rec") + std::to_string(i));
    return out;
}

// The pixels of `colour` in the row band from (0, y) to (170, y + 11) are exactly the ink of
// `cells` in the 32 drawn cells: nothing from x 160 on.
::testing::AssertionResult rowShows(const Surface& s, int y, const Cells& cells, Rgb565 colour) {
    int wrong = 0;
    std::string first;
    for (int py = y; py < y + kCellHeight; ++py)
        for (int px = 0; px <= 170; ++px) {
            const std::size_t cell = static_cast<std::size_t>(px / kCellWidth);
            bool want = false;
            for (char ch : cell < 32 && cell < cells.size() ? cells[cell] : "")
                want = want || glyphInk(static_cast<unsigned char>(ch), px % kCellWidth, py - y);
            if ((s.at(px, py) == colour) != want && wrong++ == 0)
                first = std::to_string(px) + ", " + std::to_string(py);
        }
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ in the row at y " << y << ", first at (" << first
                                         << "); read: \"" << visible(readText(s, 0, y, 32, colour)) << "\"";
}

Pixels pixelsOf(const Surface& s, Rgb565 colour) {
    Pixels out;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.at(x, y) == colour) out.emplace(y, x);
    return out;
}

// The first and last rows in which `colour` appears, or {-1, -1}.
std::pair<int, int> rowsOf(const Surface& s, Rgb565 colour) {
    const Pixels p = pixelsOf(s, colour);
    return p.empty() ? std::make_pair(-1, -1) : std::make_pair(p.begin()->first, p.rbegin()->first);
}

// The block from (x1, y1) to (x2, y2), or only its edges.
Pixels block(int x1, int y1, int x2, int y2, bool edges = false) {
    Pixels out;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            if (!edges || x == x1 || x == x2 || y == y1 || y == y2) out.emplace(y, x);
    return out;
}

}  // namespace

class ListScreen : public AppTest {
protected:
    std::uint32_t opens() { return phone().files.faults(sim::FileOp::Open).calls(); }

    // From the first record, down to `record`, or up round the end when that is shorter.
    void selectRecord(int record) {
        const int down = record - 1, up = len() - record + 1;
        pressTimes(up < down ? KEY_UP : KEY_DOWN, std::min(up, down));
        ASSERT_EQ(selected(), record);
    }

    // Every row of the list area: the selected one in its colour, the others in theirs,
    // rows past the last record empty.
    void expectPage(const std::vector<Cells>& rows, int selectedRow) {
        const Surface s = screen();
        for (int row = 0; row < 12; ++row) {
            SCOPED_TRACE("row " + std::to_string(row));
            const Cells none, &cells = row < static_cast<int>(rows.size()) ? rows[std::size_t(row)] : none;
            EXPECT_TRUE(rowShows(s, 16 * row + 16, row == selectedRow ? cells : none, kSelectedText));
            EXPECT_TRUE(rowShows(s, 16 * row + 16, row == selectedRow ? none : cells, kOtherText));
        }
    }

    // The edit buffers hold the record's first 50 bytes (`bf` widened), and sel_len its length.
    void expectCaptured(const std::string& record) {
        const std::string held = record.substr(0, kRecordChars);
        const char* buf = global<char[kRecordChars + 1]>("buf");
        const std::uint16_t* bf = global<std::uint16_t[kRecordChars + 1]>("bf");
        EXPECT_EQ(visible(std::string(buf, strnlen(buf, kRecordChars + 1))), visible(held));
        for (std::size_t i = 0; i <= held.size(); ++i)
            EXPECT_EQ(bf[i], i < held.size() ? static_cast<unsigned char>(held[i]) : 0) << "bf[" << i << "]";
        EXPECT_EQ(global<std::uint32_t>("sel_len"), record.size());
    }
};

// Each file walked through every selection with the down key, round to the first record.
TEST_F(ListScreen, EverySelectionShowsItsPageBarAndCapturesItsRecord) {
    std::vector<std::string> long25 = numbered(25), thirteenEmpty = numbered(12);
    thirteenEmpty.push_back("");                               // the first record on page 2
    long25[1] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";    // 40: 32 drawn, all captured
    long25[2] = "+7 (495) 123-45-67 " + std::string(51, 'x');  // 70: 50 captured
    long25[12] = std::string(50, 'y');                         // exactly what buf holds
    long25[13] = std::string(51, 'z');
    const std::vector<std::string> cases[] = {
        {"A", "B", "C"}, {"A", "", "C"}, {"", "B", "C"},
        {"A", "B", ""},  {"", "", ""},   numbered(12),
        thirteenEmpty,   long25,         {"a", "", "", "", "", "", "", "", "", "", "", "", "", "n"},
    };
    for (const auto& records : cases) {
        SCOPED_TRACE(visible(joinRecords(records).substr(0, 30)));
        restartPhone();
        bootWith(joinRecords(records));
        ASSERT_EQ(len(), static_cast<int>(records.size()));
        for (std::size_t step = 0; step <= records.size(); ++step) {
            const int want = static_cast<int>(step % records.size()) + 1, first = 12 * pg() + 1;
            SCOPED_TRACE("record " + std::to_string(want));
            ASSERT_EQ(selected(), want);
            const auto end = records.begin() + std::min(first + 11, len());
            expectPage(plainRows({records.begin() + first - 1, end}), want - first);
            expectCaptured(records[std::size_t(want - 1)]);
            // The bar from row 15 and the outline from 14 at set 1, from 191 and 190 at set 12.
            EXPECT_EQ(rowsOf(screen(), kBar), std::make_pair(16 * set() - 1, 16 * set() + 12));
            EXPECT_EQ(rowsOf(screen(), kOutline).first, 16 * set() - 2);
            press(KEY_DOWN);
        }
        EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
        EXPECT_EQ(phone().files.openHandles(), 0u);
    }
}

// An LF is not drawn (the next character takes the cell before it) but stays in the capture.
TEST_F(ListScreen, LineFeedsAndLoneCarriageReturns) {
    const struct {
        std::string bytes;
        int select;
        std::string buf;
        std::vector<Cells> rows;
    } cases[] = {
        {"AB\nCD\r\nX", 1, "AB\nCD", {{"A", "BC", "D"}, {"X"}}},
        {"AB\nCD\r\nX", 2, "X", {{"A", "BC", "D"}, {"X"}}},
        {"AB\n\nCD", 1, "AB\n\nCD", {{"AC", "BD"}}},
        {"\nAB\r\nC", 1, "\nAB", {{"A", "B"}, {"C"}}},
        {"A\r\n\nB", 2, "\nB", {{"A"}, {"B"}}},
        {"A\n\r\nB", 1, "A\n", {{"A"}, {"B"}}},
        {"A\rB\rC", 2, "B", {{"A"}, {"", "B"}, {"", "C"}}},
        {"A\r\r\nB", 2, "", {{"A"}, {}, {"B"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(visible(c.bytes) + " record " + std::to_string(c.select));
        restartPhone();
        bootWith(c.bytes);
        selectRecord(c.select);
        expectPage(c.rows, c.select - 1);
        expectCaptured(c.buf);
    }
}

// The count (and so the size read) stays from the start while the file is changed behind the
// application's back. Every byte walked is one glyph run (a CR as a blank, an LF none), so
// the runs of a repaint tell how many bytes it walked: only those the read returned.
TEST_F(ListScreen, FileChangedAfterTheCountShowsOnlyTheCountedBytesThatAreThere) {
    const std::string full = "Alpha\r\nBravo\r\nCharlie\r\nDelta\r\nEcho";
    const auto walked = [&](const std::string& bytes) {
        const std::string read = bytes.substr(0, full.size());
        return static_cast<std::uint32_t>(read.size() - std::count(read.begin(), read.end(), '\n'));
    };
    const auto runs = [&] { return phone().graphics.counters().glyphRuns; };
    const struct {
        std::string bytes, buf;
        std::vector<std::string> rows;
    } cases[] = {
        {"Alpha\r\nBr", "Br", {"Alpha", "Br"}},  // cut inside the selected record
        {"Alpha\r\n", "", {"Alpha"}},            // cut at its start
        {"Al", "Bravo", {"Al"}},                 // cut before it: nothing captured
        {"", "Bravo", {}},
        {full + "\r\nFoxtrot", "Bravo", {"Alpha", "Bravo", "Charlie", "Delta", "Echo"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(visible(c.bytes));
        restartPhone();
        bootWith(full);
        selectRecord(2);
        std::uint32_t before = runs();
        phone().tick();
        const std::uint32_t fixedTexts = runs() - before - walked(full);
        writeRecords(c.bytes);
        before = runs();
        phone().tick();
        EXPECT_EQ(runs() - before, fixedTexts + walked(c.bytes));
        expectPage(plainRows(c.rows), 1);
        expectCaptured(c.buf);
        EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
        EXPECT_EQ(phone().files.openHandles(), 0u);
    }
}

// The slider: columns 172 to 174 from row 16 to 16 + height, at least one row and at most
// the frame's inside (188); the position text "S/L - P%" and the file's name above.
TEST_F(ListScreen, SliderAndPositionTextTellTheSelection) {
    const struct {
        int records, select, height;
        std::string text;
    } cases[] = {
        {1, 1, 188, "1/1 - 100%"},     {30, 15, 90, "15/30 - 50%"},       {20, 1, 1, "1/20 - 5%"},
        {25, 1, 0, "1/25 - 4%"},       {255, 1, 0, "1/255 - 0%"},         {255, 11, 0, "11/255 - 4%"},
        {255, 12, 1, "12/255 - 4%"},   {40, 13, 55, "13/40 - 32%"},       {3, 2, 122, "2/3 - 66%"},
        {13, 13, 188, "13/13 - 100%"}, {255, 255, 188, "255/255 - 100%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        restartPhone();
        bootWith(joinRecords(numbered(c.records)));
        selectRecord(c.select);
        const Surface s = screen();
        EXPECT_EQ(pixelsOf(s, kSlider), block(172, 16, 174, 16 + c.height));
        EXPECT_EQ(pixelsOf(s, kScrollFrame), block(171, 15, 175, 205, true));
        EXPECT_EQ(readText(s, 40, 209, static_cast<int>(c.text.size()) + 1, kGrey), glyphForm(c.text + " "));
        EXPECT_EQ(readText(s, 50, 1, 14, kYellow), glyphForm("BlackList.txt "));
    }
}

// The labels' colours and the lit part of the soft-key bar (x 0 to 34) with the menu closed,
// open, and the about, exit and error (deleting the only record) windows shown; a repaint
// there reads the record file once and gives the same screen again.
TEST_F(ListScreen, SoftKeyLabelsFollowTheMenuAndTheWindows) {
    constexpr std::uint8_t En = LANGUAGE_ENGLISH, Ru = LANGUAGE_RUSSIAN;
    constexpr std::uint8_t Menu = KEY_SOFT_LEFT, Up = KEY_UP, Down = KEY_DOWN, Ok = KEY_OK;
    const struct {
        std::vector<std::uint8_t> keys;
        std::uint8_t language;
        Rgb565 left, right;
    } cases[] = {{{}, En, kYellow, kDark},
                 {{Down}, Ru, kYellow, kDark},
                 {{Menu}, En, kWhite, kYellow},
                 {{Menu, Down}, Ru, kWhite, kYellow},
                 {{Menu, Up, Up, Ok}, En, kYellow, kYellow},
                 {{Menu, Up, Ok}, Ru, kYellow, kYellow},
                 {{Menu, Down, Ok}, En, kYellow, kYellow}};
    for (const auto& c : cases) {
        SCOPED_TRACE(visible(std::string(c.keys.begin(), c.keys.end())) + " language " + std::to_string(c.language));
        restartPhone(c.language);
        bootWith(kDefaultRecord, c.language);
        for (const std::uint8_t key : c.keys) press(key);
        const Surface s = screen();
        EXPECT_EQ(readText(s, 2, 209, 5, c.left), glyphForm(cp1251(c.language == Ru ? "Меню " : "Menu ")));
        EXPECT_EQ(readText(s, 151, 209, 3, c.right), glyphForm(cp1251(" Ок")));
        const Rgb565 lit = c.left == kWhite ? rgb(115, 115, 127) : rgb(5, 5, 83);  // row 219
        for (int x = 0; x <= 34; ++x) ASSERT_EQ(s.at(x, 219), lit) << x;
        EXPECT_EQ(s.at(35, 219), rgb(5, 5, 83));
        EXPECT_EQ(s.at(0, 208), rgb(60, 60, 105));

        const std::uint32_t before = opens();
        phone().tick();
        EXPECT_EQ(opens(), before + 1);
        EXPECT_EQ(screen(), s);
    }
}

// The box grows upwards from row 209 by 12 rows per item; the highlight moves 12 rows per
// item, the item texts 11. Empty items take a line and show nothing; "|" is never drawn.
// (The default menu: frame from 147, highlight from 148, 160 ... 196, texts at 150 ... 194.)
TEST_F(ListScreen, MenuBoxHasALinePerItemAndHighlightsTheChosenOne) {
    boot();
    Surface& s = phone().graphics.offscreen();
    const struct {
        std::vector<std::string> items;
        int top;  // of the frame
    } menus[] = {
        {{"Edit line", "Delete", "Add line", "About", "Exit"}, 147},
        {{cp1251("Изменить"), cp1251("Удалить"), cp1251("Добавить"), cp1251("Справка"), cp1251("Выйти")}, 147},
        {{"Solo"}, 195},
        {{"A", "", "B", ""}, 159},
    };
    for (const auto& menu : menus) {
        std::string text;
        for (std::size_t i = 0; i < menu.items.size(); ++i) text += (i ? "|" : "") + menu.items[i];
        for (std::size_t k = 0; k < menu.items.size(); ++k) {
            SCOPED_TRACE(visible(text) + " item " + std::to_string(k));
            s.fill(0);
            function<void(const char*, const char*, const char*, std::uint8_t, std::uint16_t)>("downsoftline")(
                "Menu", "Ok", text.c_str(), 1, static_cast<std::uint16_t>(k));
            const int y = menu.top + 1 + 12 * static_cast<int>(k);
            EXPECT_EQ(pixelsOf(s, kMenuFrame), block(2, menu.top, 62, 209, true));
            EXPECT_EQ(rowsOf(s, kHighlight), std::make_pair(y, y + 11));
            EXPECT_EQ(rowsOf(s, kMenuFill).second, 208);
            for (std::size_t i = 0; i < menu.items.size(); ++i)
                expectText(s, 4, menu.top + 3 + 11 * int(i), menu.items[i], i == k ? kWhite : kYellow);
            int ink = 0;  // the items' ink in their two colours is all there is of them in the box
            for (int py = menu.top + 1; py <= 208; ++py)
                for (int px = 3; px <= 61; ++px) ink += s.at(px, py) == kWhite || s.at(px, py) == kYellow;
            EXPECT_EQ(ink, inkCount(text) - inkCount(std::string(menu.items.size() - 1, '|')));
        }
    }
}

// A move of the selection is one repaint; a move of the menu's highlight reads nothing and
// redraws only the menu, as a full repaint would.
TEST_F(ListScreen, MenuMovesReadNothingAndRedrawOnlyTheMenu) {
    bootWith(joinRecords(numbered(20)));
    std::uint32_t before = opens();
    press(KEY_DOWN);
    EXPECT_EQ(opens(), before + 1);
    press(KEY_SOFT_LEFT);
    for (const std::uint8_t key : {KEY_DOWN, KEY_DOWN, KEY_UP, KEY_UP, KEY_UP}) {
        const Surface shown = screen();
        before = opens();
        press(key);
        const Surface moved = screen();
        EXPECT_EQ(opens(), before) << "no file is read";
        EXPECT_NE(moved, shown);
        int outside = 0;  // pixels changed outside the menu box
        for (int y = 0; y < 220; ++y)
            for (int x = 0; x < 176; ++x) outside += (x < 3 || x > 61 || y < 148) && moved.at(x, y) != shown.at(x, y);
        EXPECT_EQ(outside, 0);
        phone().tick();
        EXPECT_EQ(screen(), moved);
    }
}
