// The list screen as a user sees it: records drawn row by row from the record file, the
// selected record captured into the edit buffers, the selection bar, the scroll bar, the
// header and soft-key bars, the pop-up menu, and the text output they are all drawn with.
// Each case boots the application on a record file, drives it with keys and reads the
// pixels of the display back.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

using sim::Rgb565;
using sim::Surface;

// What each cell of a row shows: the characters drawn over one another in it (one, as a
// rule; several where an LF made a character take the cell before it; none for a blank).
using Cells = std::vector<std::string>;

constexpr int kRowCells = 32;  // characters drawn per row
constexpr int kPageRows = 12;
constexpr std::size_t kRecordChars = 50;  // what `buf` holds besides its zero

constexpr Rgb565 kOtherText = rgb(100, 200, 100);
constexpr Rgb565 kSelectedText = rgb(200, 200, 200);
constexpr Rgb565 kBar = rgb(0, 50, 0);
constexpr Rgb565 kOutline = rgb(0, 150, 0);
constexpr Rgb565 kScrollFrame = rgb(0, 0, 125);
constexpr Rgb565 kSlider = rgb(60, 150, 60);
constexpr Rgb565 kYellow = rgb(170, 170, 34);
constexpr Rgb565 kGrey = rgb(170, 170, 170);
constexpr Rgb565 kDark = rgb(34, 34, 34);
constexpr Rgb565 kWhite = rgb(250, 250, 250);
constexpr Rgb565 kMenuFrame = rgb(120, 120, 250);
constexpr Rgb565 kMenuFill = rgb(0, 0, 96);
constexpr Rgb565 kHighlight = rgb(85, 68, 102);
constexpr Rgb565 kLitBottom = rgb(115, 115, 127);  // row 219 of the lit part of the soft-key bar
constexpr Rgb565 kBarBottom = rgb(5, 5, 83);       // row 219 elsewhere

const char* const kMenuEn[] = {"Edit line", "Delete", "Add line", "About", "Exit"};
const char* const kMenuRu[] = {"Изменить", "Удалить", "Добавить", "Справка", "Выйти"};

// The top of list row `row` (0 to 11): text at y 16, 32, ... 192.
int rowY(int row) { return 16 * row + 16; }

// A text drawn one character per cell, as far as a row shows it.
Cells plain(const std::string& text) {
    Cells cells;
    for (char c : text.substr(0, kRowCells)) cells.emplace_back(1, c);
    return cells;
}

// The records of a file: split at each CR; a record after a CR does not include the one
// LF right after that CR.
std::vector<std::string> splitRecords(const std::string& bytes) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            out.emplace_back();
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            out.back() += bytes[i];
        }
    }
    return out;
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

// The pixels of `colour` in the 32 cells of a row from (0, y) are exactly the ink of
// `cells`, and nothing else in that band has the colour.
::testing::AssertionResult rowShows(const Surface& s, int y, const Cells& cells, Rgb565 colour) {
    int wrong = 0;
    std::ostringstream first;
    for (int cell = 0; cell < kRowCells; ++cell) {
        for (int r = 0; r < kCellHeight; ++r) {
            for (int c = 0; c < kCellWidth; ++c) {
                bool want = false;
                if (cell < static_cast<int>(cells.size()))
                    for (char ch : cells[static_cast<std::size_t>(cell)])
                        want = want || glyphInk(static_cast<unsigned char>(ch), c, r);
                const int px = cell * kCellWidth + c, py = y + r;
                if ((s.at(px, py) == colour) == want) continue;
                if (wrong++ == 0) first << " first at (" << px << ", " << py << ")" << (want ? " missing" : " extra");
            }
        }
    }
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ in the row at y " << y << ";" << first.str()
                                         << "; read there: \"" << visible(readText(s, 0, y, kRowCells, colour))
                                         << "\"";
}

// The rows (inclusive) in which `colour` appears within columns x1..x2, or {-1, -1}.
std::pair<int, int> rowsOf(const Surface& s, Rgb565 colour, int x1, int x2) {
    int top = -1, bottom = -1;
    for (int y = 0; y < s.height(); ++y)
        for (int x = x1; x <= x2; ++x)
            if (s.at(x, y) == colour) {
                if (top < 0) top = y;
                bottom = y;
                break;
            }
    return {top, bottom};
}

using Pixels = std::set<std::pair<int, int>>;

Pixels pixelsOf(const Surface& s, Rgb565 colour) {
    Pixels out;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.at(x, y) == colour) out.emplace(x, y);
    return out;
}

Pixels block(int x1, int y1, int x2, int y2) {
    Pixels out;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x) out.emplace(x, y);
    return out;
}

Pixels outline(int x, int y, int w, int h) {
    Pixels out = block(x, y, x + w, y);
    out.merge(block(x, y + h, x + w, y + h));
    out.merge(block(x, y, x, y + h));
    out.merge(block(x + w, y, x + w, y + h));
    return out;
}

// Pixels in which two surfaces differ.
Pixels differences(const Surface& a, const Surface& b) {
    Pixels out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.at(x, y) != b.at(x, y)) out.emplace(x, y);
    return out;
}

std::u16string widened(const std::string& bytes) {
    std::u16string out;
    for (char c : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

using WriteStringFn = void(std::uint8_t, std::uint8_t, const char*);
using WriteCharFn = void(std::uint8_t, std::uint8_t, std::uint8_t);
using ColourFn = void(std::uint8_t, std::uint8_t, std::uint8_t);
using CharColFn = std::uint16_t(const char*, char);
using SoftLineFn = void(const char*, const char*, const char*, std::uint8_t, std::uint16_t);

}  // namespace

class ListScreen : public AppTest {
protected:
    // The selected record's text as the edit buffers hold it.
    std::string buf() {
        const char(&b)[kRecordChars + 1] = global<char[kRecordChars + 1]>("buf");
        return std::string(b, strnlen(b, sizeof b));
    }
    std::u16string bf() {
        const std::uint16_t(&b)[kRecordChars + 1] = global<std::uint16_t[kRecordChars + 1]>("bf");
        std::u16string out;
        for (std::size_t i = 0; i <= kRecordChars && b[i]; ++i) out += static_cast<char16_t>(b[i]);
        return out;
    }
    std::uint32_t selLen() { return global<std::uint32_t>("sel_len"); }
    std::uint32_t opens() { return phone().files.faults(sim::FileOp::Open).calls(); }

    // From the first record, moves the selection to record `record`: down, or up round
    // the end of the list when that is shorter.
    void selectRecord(int record) {
        const int down = record - 1, up = len() - record + 1;
        if (up < down)
            pressTimes(sim::kKeyUp, up);
        else
            pressTimes(sim::kKeyDown, down);
        ASSERT_EQ(selected(), record);
    }

    // Every row of the list area against the records of the current page: the selected
    // one in its colour, the others in theirs, rows past the last record empty.
    void expectPage(const std::vector<Cells>& rows, int selectedRow) {
        const Surface s = screen();
        for (int row = 0; row < kPageRows; ++row) {
            SCOPED_TRACE("row " + std::to_string(row));
            const Cells none;
            const Cells& cells = row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)] : none;
            EXPECT_TRUE(rowShows(s, rowY(row), row == selectedRow ? cells : none, kSelectedText));
            EXPECT_TRUE(rowShows(s, rowY(row), row == selectedRow ? none : cells, kOtherText));
        }
    }

    // The page that holds the selected record, from the records of the file.
    void expectPageOf(const std::vector<std::string>& records) {
        const int first = 12 * pg() + 1;
        std::vector<Cells> rows;
        for (int r = first; r <= static_cast<int>(records.size()) && r < first + kPageRows; ++r)
            rows.push_back(plain(records[static_cast<std::size_t>(r - 1)]));
        expectPage(rows, selected() - first);
    }

    // The edit buffers hold the selected record: its first 50 bytes, and its length.
    void expectCaptured(const std::string& record) {
        EXPECT_EQ(visible(buf()), visible(record.substr(0, kRecordChars)));
        EXPECT_EQ(bf(), widened(record.substr(0, kRecordChars)));
        EXPECT_EQ(selLen(), record.size());
    }

    void openMenu() {
        if (!global<std::uint8_t>("OnMenu")) press(sim::kKeySoftLeft);
        ASSERT_TRUE(global<std::uint8_t>("OnMenu"));
    }
    void chooseMenuItem(int item) {
        openMenu();
        while (global<std::uint16_t>("setmenu") != item) press(sim::kKeyDown);
        press(sim::kKeyOk);
    }
};

// ---------------------------------------------------------------------------------------
// Text output

TEST_F(ListScreen, LetterAPaintsExactlyItsInkAndNothingElse) {
    boot();
    Surface& surface = phone().graphics.offscreen();
    const Rgb565 paper = rgb(16, 40, 200), ink = rgb(248, 120, 8);
    surface.fill(paper);
    function<ColourFn>("TextColorRGB")(248, 120, 8);
    function<WriteStringFn>("WriteString")(10, 20, "A");

    Pixels want = {{11, 21}, {12, 21}, {11, 25}, {12, 25}};
    for (int y = 22; y <= 29; ++y) want.insert({{10, y}, {13, y}});
    EXPECT_EQ(pixelsOf(surface, ink), want);
    EXPECT_EQ(pixelsOf(surface, paper).size(), static_cast<std::size_t>(176 * 220) - want.size());
}

TEST_F(ListScreen, EmptyTextDrawsNothing) {
    boot();
    Surface& surface = phone().graphics.offscreen();
    surface.fill(rgb(8, 8, 8));
    const Surface before = surface;
    function<ColourFn>("TextColorRGB")(250, 250, 250);
    function<WriteStringFn>("WriteString")(10, 20, "");
    EXPECT_EQ(surface, before);
}

TEST_F(ListScreen, WriteCharPaintsWhatWriteStringPaintsForEveryCode) {
    boot();
    Surface& surface = phone().graphics.offscreen();
    auto writeChar = function<WriteCharFn>("WriteChar");
    auto writeString = function<WriteStringFn>("WriteString");
    function<ColourFn>("TextColorRGB")(200, 200, 200);
    const std::pair<int, int> places[] = {{10, 20}, {0, 0}, {173, 214}};  // the last runs off the edge
    for (int code = 0x20; code <= 0xFF; ++code) {
        for (const auto& [x, y] : places) {
            SCOPED_TRACE("code " + std::to_string(code) + " at " + std::to_string(x) + "," + std::to_string(y));
            surface.fill(rgb(0, 0, 80));
            writeChar(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(code));
            const Surface byChar = surface;
            surface.fill(rgb(0, 0, 80));
            const char text[2] = {static_cast<char>(code), 0};
            writeString(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), text);
            ASSERT_EQ(byChar, surface);
        }
    }
    EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
}

TEST_F(ListScreen, CharColCountsTheSeparators) {
    boot();
    auto charCol = function<CharColFn>("charCol");
    const struct {
        std::string text;
        int count;
    } cases[] = {
        {"Edit line|Delete|Add line|About|Exit", 4},
        {cp1251("Изменить|Удалить|Добавить|Справка|Выйти"), 4},
        {"Menu", 0},
        {"", 0},
        {"|", 1},
        {"||a||", 4},
        {std::string(300, '|'), 300},  // counted past any 8-bit limit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(visible(c.text.substr(0, 40)));
        EXPECT_EQ(charCol(c.text.c_str(), '|'), c.count);
    }
    EXPECT_EQ(charCol("a-b-c", '-'), 2);
    EXPECT_EQ(charCol(cp1251("яяя").c_str(), static_cast<char>(0xFF)), 3);
}

// ---------------------------------------------------------------------------------------
// The page of records and the edit buffers

TEST_F(ListScreen, SecondOfThreeRecordsSelected) {
    bootWith("A\r\nB\r\nC");
    press(sim::kKeyDown);
    ASSERT_EQ(selected(), 2);
    const Surface s = screen();
    expectText(s, 0, 16, "A", kOtherText);
    expectText(s, 0, 32, "B", kSelectedText);
    expectText(s, 0, 48, "C", kOtherText);
    EXPECT_EQ(readText(s, 0, 32, kRowCells, kSelectedText), glyphForm("B" + std::string(31, ' ')));
    EXPECT_EQ(readText(s, 0, 16, kRowCells, kOtherText), glyphForm("A" + std::string(31, ' ')));
    EXPECT_EQ(buf(), "B");
    const std::uint16_t(&b)[kRecordChars + 1] = global<std::uint16_t[kRecordChars + 1]>("bf");
    EXPECT_EQ(b[0], 0x0042);
    EXPECT_EQ(b[1], 0);
}

// Each file is walked through every selection with the down key, wrapping back to the
// first record at the end; at every step the page and the edit buffers are checked.
TEST_F(ListScreen, EverySelectionShowsItsPageAndCapturesItsRecord) {
    std::vector<std::string> twelve = numbered(12), thirteenEmpty = numbered(12), long25 = numbered(25);
    thirteenEmpty.push_back("");
    long25[1] = std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd");           // 40: 32 drawn, all captured
    long25[2] = std::string("+7 (495) 123-45-67 ") + std::string(51, 'x');        // 70: 50 captured
    long25[12] = std::string(50, 'y');                                             // exactly what buf holds
    long25[13] = std::string(51, 'z');
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"worked example", "A\r\nB\r\nC"},
        {"empty record in the middle", "A\r\n\r\nC"},
        {"empty first record", "\r\nB\r\nC"},
        {"trailing CR LF", "A\r\nB\r\n"},
        {"only empty records", "\r\n\r\n"},
        {"one record", kDefaultRecord},
        {"one page exactly", joinRecords(twelve)},
        {"empty 13th record, first on page 2", joinRecords(thirteenEmpty)},
        {"long records over three pages", joinRecords(long25)},
        {"empty records at a page boundary", joinRecords({"a", "", "", "", "", "", "", "", "", "", "", "", "", "n"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restartPhone();
        bootWith(c.bytes);
        const std::vector<std::string> records = splitRecords(c.bytes);
        ASSERT_EQ(len(), static_cast<int>(records.size()));
        for (std::size_t step = 0; step <= records.size(); ++step) {
            const int want = static_cast<int>(step % records.size()) + 1;
            SCOPED_TRACE("record " + std::to_string(want));
            ASSERT_EQ(selected(), want);
            expectPageOf(records);
            expectCaptured(records[static_cast<std::size_t>(want - 1)]);
            press(sim::kKeyDown);
        }
        EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
        EXPECT_EQ(phone().files.openHandles(), 0u);
    }
}

TEST_F(ListScreen, EmptyRecordSelectedAfterAnotherLeavesBufEmpty) {
    // Empty and first on its page: the 13th of "Rec01".."Rec12" plus a trailing CR LF.
    std::vector<std::string> records = numbered(12);
    bootWith(joinRecords(records) + "\r\n");
    selectRecord(12);
    EXPECT_EQ(buf(), "Rec12");
    press(sim::kKeyDown);
    ASSERT_EQ(pg(), 1);
    ASSERT_EQ(set(), 1);
    EXPECT_EQ(visible(buf()), "");
    EXPECT_EQ(bf(), u"");
    EXPECT_EQ(selLen(), 0u);

    // Empty and not first on its page.
    restartPhone();
    bootWith("A\r\n\r\nC");
    press(sim::kKeyDown);
    EXPECT_EQ(visible(buf()), "");
    EXPECT_EQ(selLen(), 0u);

    // Empty and the first record of the file, after another was selected.
    restartPhone();
    bootWith("\r\nB");
    press(sim::kKeyDown);
    EXPECT_EQ(buf(), "B");
    press(sim::kKeyUp);
    ASSERT_EQ(selected(), 1);
    EXPECT_EQ(visible(buf()), "");
}

TEST_F(ListScreen, LongRecordShowsThirtyTwoCharactersAndCapturesFifty) {
    const std::string seventy = "+380441234567 " + std::string(56, 'L');
    bootWith("short\r\n" + seventy + "\r\nend");
    selectRecord(2);
    const Surface s = screen();
    EXPECT_TRUE(rowShows(s, rowY(1), plain(seventy), kSelectedText));
    // Cells from x 160 on are never drawn.
    for (int y = rowY(1); y < rowY(1) + kCellHeight; ++y)
        for (int x = 160; x < 171; ++x) EXPECT_NE(s.at(x, y), kSelectedText) << x << "," << y;
    EXPECT_EQ(std::strlen(global<char[kRecordChars + 1]>("buf")), kRecordChars);
    EXPECT_EQ(buf(), seventy.substr(0, kRecordChars));
    EXPECT_EQ(bf(), widened(seventy.substr(0, kRecordChars)));
    EXPECT_EQ(selLen(), 70u);

    // A shorter record selected next replaces the whole capture.
    press(sim::kKeyDown);
    EXPECT_EQ(buf(), "end");
    EXPECT_EQ(bf(), u"end");
    EXPECT_EQ(selLen(), 3u);
}

TEST_F(ListScreen, LineFeedsAndLoneCarriageReturns) {
    const struct {
        const char* name;
        std::string bytes;
        int select;
        std::string buf;
        std::vector<Cells> rows;
    } cases[] = {
        {"LF inside a record", "AB\nCD\r\nX", 1, "AB\nCD", {{"A", "BC", "D"}, {"X"}}},
        {"record after one with an LF", "AB\nCD\r\nX", 2, "X", {{"A", "BC", "D"}, {"X"}}},
        {"LF between two letters", "A\nB\r\nC", 1, "A\nB", {{"AB"}, {"C"}}},
        {"two LFs in a row", "AB\n\nCD", 1, "AB\n\nCD", {{"AC", "BD"}}},
        {"LF at the very start of the file", "\nAB\r\nC", 1, "\nAB", {{"A", "B"}, {"C"}}},
        {"second LF after a CR LF", "A\r\n\nB", 2, "\nB", {{"A"}, {"B"}}},
        {"LF ending a record", "A\n\r\nB", 1, "A\n", {{"A"}, {"B"}}},
        {"CR without LF", "A\rB\rC", 2, "B", {{"A"}, {"", "B"}, {"", "C"}}},
        {"empty record after a lone CR", "A\r\r\nB", 2, "", {{"A"}, {}, {"B"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restartPhone();
        bootWith(c.bytes);
        selectRecord(c.select);
        expectPage(c.rows, c.select - 1);
        EXPECT_EQ(visible(buf()), visible(c.buf));
        EXPECT_EQ(bf(), widened(c.buf));
        EXPECT_EQ(selLen(), c.buf.size());
    }
}

TEST_F(ListScreen, ThirteenthRecordOpensThePageAfterTwelve) {
    const std::vector<std::string> records = numbered(13);
    bootWith(joinRecords(records));
    // Page 1 shows twelve rows; the 13th record has no row there.
    std::vector<Cells> firstPage;
    for (int i = 0; i < 12; ++i) firstPage.push_back(plain(records[static_cast<std::size_t>(i)]));
    expectPage(firstPage, 0);
    selectRecord(13);
    EXPECT_EQ(pg(), 1);
    EXPECT_EQ(set(), 1);
    expectPage({plain("Rec13")}, 0);
    EXPECT_EQ(buf(), "Rec13");
}

// The count (and so the size read) stays from the start; the file on the host is cut
// behind the application's back. Every byte the list walks is drawn with one glyph run
// (a CR as a blank, an LF not at all), so the runs of a repaint tell how many bytes of the
// file it walked: only those the read returned.
TEST_F(ListScreen, FileShrunkAfterTheCountShowsOnlyWhatIsThere) {
    const std::string full = "Alpha\r\nBravo\r\nCharlie\r\nDelta\r\nEcho";
    const struct {
        std::string bytes;
        std::vector<Cells> rows;
        std::string buf;  // what the capture holds afterwards
    } cases[] = {
        {"Alpha\r\nBr", {plain("Alpha"), plain("Br")}, "Br"},  // cut inside the selected record
        {"Alpha\r\n", {plain("Alpha")}, ""},                  // cut at its start
        {"Al", {plain("Al")}, "Bravo"},                        // cut before it: nothing captured
        {"", {}, "Bravo"},
    };
    const auto drawnBytes = [](const std::string& bytes) {
        return static_cast<std::uint32_t>(bytes.size() - std::count(bytes.begin(), bytes.end(), '\n'));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(visible(c.bytes));
        restartPhone();
        bootWith(full);
        selectRecord(2);
        std::uint32_t runs = phone().graphics.counters().glyphRuns;
        phone().tick();
        const std::uint32_t fixedTexts = phone().graphics.counters().glyphRuns - runs - drawnBytes(full);

        writeRecords(c.bytes);
        runs = phone().graphics.counters().glyphRuns;
        phone().tick();
        EXPECT_EQ(phone().graphics.counters().glyphRuns - runs, fixedTexts + drawnBytes(c.bytes));
        expectPage(c.rows, 1);
        EXPECT_EQ(visible(buf()), visible(c.buf));
        EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
        EXPECT_EQ(phone().files.openHandles(), 0u);
    }
}

TEST_F(ListScreen, FileGrownAfterTheCountShowsTheCountedBytes) {
    bootWith("Alpha\r\nBravo");
    writeRecords("Alpha\r\nBravo and more\r\nCharlie");
    phone().tick();
    expectPage({plain("Alpha"), plain("Bravo")}, 0);
}

// ---------------------------------------------------------------------------------------
// Selection bar and scroll bar

TEST_F(ListScreen, SelectionBarAndOutlineFollowTheSelectedRow) {
    bootWith(joinRecords(numbered(12)));
    for (int row = 1; row <= 12; ++row) {
        SCOPED_TRACE("set " + std::to_string(row));
        ASSERT_EQ(set(), row);
        const Surface s = screen();
        const auto bar = rowsOf(s, kBar, 0, 170);
        EXPECT_EQ(bar.first, 16 * row - 1);
        EXPECT_EQ(bar.second, 16 * row + 12);
        EXPECT_EQ(rowsOf(s, kOutline, 0, 170).first, 16 * row - 2);
        // The bar covers the row's lower line.
        EXPECT_EQ(s.at(100, 16 * row + 12), kBar);
        press(sim::kKeyDown);
    }
}

TEST_F(ListScreen, SelectionBarWorkedRows) {
    bootWith(joinRecords(numbered(12)));
    EXPECT_EQ(rowsOf(screen(), kBar, 0, 170).first, 15);
    EXPECT_EQ(rowsOf(screen(), kOutline, 0, 170).first, 14);
    selectRecord(12);
    EXPECT_EQ(rowsOf(screen(), kBar, 0, 170).first, 191);
    EXPECT_EQ(rowsOf(screen(), kOutline, 0, 170).first, 190);
}

namespace {

// The slider as it must be: columns 172 to 174 from row 16 down to row 16 + height.
::testing::AssertionResult sliderIs(const Surface& s, int height) {
    const Pixels want = block(172, 16, 174, 16 + height), got = pixelsOf(s, kSlider);
    if (got == want) return ::testing::AssertionSuccess();
    const auto rows = rowsOf(s, kSlider, 171, 175);
    return ::testing::AssertionFailure() << "slider covers rows " << rows.first << " to " << rows.second << " ("
                                         << got.size() << " pixels), not 16 to " << 16 + height;
}

}  // namespace

TEST_F(ListScreen, SliderWorkedValues) {
    const struct {
        int records, select, height;
    } cases[] = {
        {1, 1, 188},   // the whole inside of the frame: rows 16 to 204
        {30, 15, 90},  // rows 16 to 106
        {20, 1, 1},
        {25, 1, 0},    // below zero by the plain formula: one row
        {255, 1, 0},
        {255, 10, 0},
        {255, 11, 0},  // 2156 / 255 = 8
        {255, 12, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.select) + " of " + std::to_string(c.records));
        restartPhone();
        bootWith(joinRecords(numbered(c.records)));
        selectRecord(c.select);
        EXPECT_TRUE(sliderIs(screen(), c.height));
    }
}

TEST_F(ListScreen, SliderFillsTheFrameWhenTheLastRecordIsSelected) {
    for (int records : {1, 2, 7, 12, 13, 24, 25, 100, 254, 255}) {
        SCOPED_TRACE(records);
        restartPhone();
        bootWith(joinRecords(numbered(records)));
        press(sim::kKeyUp);  // from the first record up to the last
        ASSERT_EQ(selected(), records);
        EXPECT_TRUE(sliderIs(screen(), 188));
    }
}

// Every selection of files of several sizes: the slider grows with the selected record
// as 196·S/len − 8 rows, keeps at least one row, and stays inside its frame.
TEST_F(ListScreen, SliderStaysInsideTheFrameForEverySelection) {
    for (int records : {3, 20, 25, 49, 50, 100}) {
        SCOPED_TRACE(std::to_string(records) + " records");
        restartPhone();
        bootWith(joinRecords(numbered(records)));
        int previous = -1;
        for (int s = 1; s <= records; ++s) {
            SCOPED_TRACE(s);
            ASSERT_EQ(selected(), s);
            const Surface screenNow = screen();
            const int height = std::max(0, 196 * s / records - 8);
            ASSERT_TRUE(sliderIs(screenNow, height));
            ASSERT_GE(height, previous);
            previous = height;
            ASSERT_EQ(pixelsOf(screenNow, kScrollFrame), outline(171, 15, 4, 190));
            press(sim::kKeyDown);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Header bar, soft-key bar and labels

TEST_F(ListScreen, HeaderNamesTheFileAndPositionTextTellsTheSelection) {
    const struct {
        int records, select;
        const char* text;
    } cases[] = {
        {1, 1, "1/1 - 100%"},   {40, 13, "13/40 - 32%"}, {3, 2, "2/3 - 66%"},
        {255, 1, "1/255 - 0%"}, {255, 255, "255/255 - 100%"}, {12, 12, "12/12 - 100%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        restartPhone();
        bootWith(joinRecords(numbered(c.records)));
        selectRecord(c.select);
        const Surface s = screen();
        const std::string text = c.text;
        EXPECT_EQ(readText(s, 40, 209, static_cast<int>(text.size()) + 1, kGrey), glyphForm(text + " "));
        EXPECT_EQ(readText(s, 50, 1, 14, kYellow), glyphForm("BlackList.txt "));
    }
}

// The two labels and the lit part of the soft-key bar in each situation of the screen.
TEST_F(ListScreen, SoftKeyLabelsFollowTheMenuAndTheWindows) {
    enum class Shown { Nothing, Menu, About, Exit, Error };
    const struct {
        const char* name;
        Shown shown;
        Rgb565 left, right;
    } cases[] = {
        {"menu closed", Shown::Nothing, kYellow, kDark},
        {"menu open", Shown::Menu, kWhite, kYellow},
        {"about window", Shown::About, kYellow, kYellow},
        {"exit window", Shown::Exit, kYellow, kYellow},
        {"error window", Shown::Error, kYellow, kYellow},
    };
    for (const std::uint8_t language : {sim::kLanguageEnglish, sim::kLanguageRussian}) {
        const std::string left = cp1251(language == sim::kLanguageRussian ? "Меню" : "Menu");
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (language == sim::kLanguageRussian ? " (Russian)" : " (English)"));
            restartPhone(language);
            bootWith(kDefaultRecord, language);  // one record: deleting it shows the error window
            switch (c.shown) {
            case Shown::Nothing: break;
            case Shown::Menu: openMenu(); break;
            case Shown::About: chooseMenuItem(3); break;
            case Shown::Exit: chooseMenuItem(4); break;
            case Shown::Error: chooseMenuItem(1); break;
            }
            ASSERT_EQ(global<std::uint8_t>("About") != 0, c.shown == Shown::About);
            ASSERT_EQ(global<std::uint8_t>("ExitMenu") != 0, c.shown == Shown::Exit);
            ASSERT_EQ(global<std::uint8_t>("Error") != 0, c.shown == Shown::Error);
            const Surface s = screen();
            EXPECT_EQ(readText(s, 2, 209, 5, c.left), glyphForm(left + " "));
            EXPECT_EQ(readText(s, 156, 209, 2, c.right), glyphForm(cp1251("Ок")));
            EXPECT_EQ(readText(s, 151, 209, 1, c.right), " ");
            EXPECT_EQ(readText(s, 40, 209, 11, kGrey), glyphForm("1/1 - 100% "));
            // The lit part runs from x 0 to 34 (5 × 4 + 14) on every row of the bar.
            const Rgb565 lit = c.shown == Shown::Menu ? kLitBottom : kBarBottom;
            for (int x = 0; x <= 34; ++x) ASSERT_EQ(s.at(x, 219), lit) << x;
            EXPECT_EQ(s.at(35, 219), kBarBottom);
            EXPECT_EQ(s.at(0, 208), rgb(60, 60, 105));
        }
    }
}

// ---------------------------------------------------------------------------------------
// The pop-up menu

TEST_F(ListScreen, MenuBoxHighlightAndItemsForEverySelection) {
    for (const std::uint8_t language : {sim::kLanguageEnglish, sim::kLanguageRussian}) {
        const auto& items = language == sim::kLanguageRussian ? kMenuRu : kMenuEn;
        std::string allInk;
        for (const char* item : items) allInk += cp1251(item);
        restartPhone(language);
        bootWith("A\r\nB", language);
        openMenu();
        // Down through the items and once more round to the first, then up round to the last.
        const int order[] = {0, 1, 2, 3, 4, 0, 4};
        for (std::size_t step = 0; step < std::size(order); ++step) {
            const int k = order[step];
            SCOPED_TRACE("item " + std::to_string(k) + (language == sim::kLanguageRussian ? " (Russian)" : ""));
            ASSERT_EQ(global<std::uint16_t>("setmenu"), k);
            const Surface s = screen();
            EXPECT_EQ(pixelsOf(s, kMenuFrame), outline(2, 147, 60, 62));
            EXPECT_EQ(rowsOf(s, kHighlight, 0, 175), std::make_pair(148 + 12 * k, 159 + 12 * k));
            // (Row 0 of the screen has the same RGB565 value as the box's fill.)
            const auto fill = rowsOf(s, kMenuFill, 3, 61);
            EXPECT_EQ(fill.second, 208);
            EXPECT_EQ(s.at(60, 147), kMenuFrame);
            EXPECT_EQ(s.at(60, 148 + 12 * k - 1), k == 0 ? kMenuFrame : kMenuFill);
            for (int i = 0; i < 5; ++i) {
                const std::string item = cp1251(items[i]);
                expectText(s, 4, 150 + 11 * i, item, i == k ? kWhite : kYellow);
            }
            // The highlighted item alone in white, and nothing after it on its line.
            const std::string chosen = cp1251(items[k]);
            EXPECT_EQ(readText(s, 4, 150 + 11 * k, 11, kWhite),
                      glyphForm(chosen + std::string(11 - chosen.size(), ' ')));
            // The ink in the box is the items' ink and no more: no "|" is drawn.
            int ink = 0;
            for (int y = 148; y <= 208; ++y)
                for (int x = 3; x <= 61; ++x) ink += s.at(x, y) == kWhite || s.at(x, y) == kYellow;
            EXPECT_EQ(ink, inkCount(allInk));
            press(step < 5 ? sim::kKeyDown : sim::kKeyUp);
        }
    }
}

TEST_F(ListScreen, MenuOfOneItemIsABoxOfOneLine) {
    boot();
    Surface& surface = phone().graphics.offscreen();
    surface.fill(0);
    // (An item with a descender would ink the frame's bottom row: the item drawn last.)
    function<SoftLineFn>("downsoftline")("Menu", "Ok", "Solo", 1, 0);
    EXPECT_EQ(pixelsOf(surface, kMenuFrame), outline(2, 195, 60, 14));
    EXPECT_EQ(rowsOf(surface, kHighlight, 0, 175), std::make_pair(196, 207));
    EXPECT_EQ(readText(surface, 4, 198, 11, kWhite), glyphForm("Solo       "));

    // Empty items take a line each and show nothing; "|" is never drawn.
    surface.fill(0);
    function<SoftLineFn>("downsoftline")("Menu", "Ok", "A||B|", 1, 2);
    EXPECT_EQ(pixelsOf(surface, kMenuFrame), outline(2, 195 - 36, 60, 50));
    EXPECT_EQ(rowsOf(surface, kHighlight, 0, 175), std::make_pair(160 + 24, 171 + 24));
    expectText(surface, 4, 162, "A", kYellow);
    expectText(surface, 4, 184, "B", kWhite);
    int ink = 0;
    for (int y = 160; y <= 208; ++y)
        for (int x = 3; x <= 61; ++x) ink += surface.at(x, y) == kWhite || surface.at(x, y) == kYellow;
    EXPECT_EQ(ink, inkCount("AB"));
}

// ---------------------------------------------------------------------------------------
// Repaints

TEST_F(ListScreen, RepaintReadsTheRecordFileOnce) {
    bootWith(joinRecords(numbered(30)));
    for (int i = 0; i < 5; ++i) {
        const std::uint32_t before = opens();
        phone().tick();
        EXPECT_EQ(opens(), before + 1);
        press(sim::kKeyDown);
        EXPECT_EQ(opens(), before + 2) << "a move of the selection is one repaint";
    }
    EXPECT_EQ(phone().files.openHandles(), 0u);
    EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
}

TEST_F(ListScreen, MovingTheMenuHighlightRedrawsOnlyTheBarsAndTheMenu) {
    bootWith(joinRecords(numbered(20)));
    selectRecord(5);
    openMenu();
    for (const std::uint8_t key : {sim::kKeyDown, sim::kKeyDown, sim::kKeyUp, sim::kKeyUp, sim::kKeyUp}) {
        const Surface before = screen();
        const std::uint32_t opened = opens();
        press(key);
        const Surface after = screen();
        EXPECT_EQ(opens(), opened) << "no file is read";
        const Pixels changed = differences(before, after);
        EXPECT_FALSE(changed.empty());
        for (const auto& [x, y] : changed) {
            ASSERT_TRUE(x >= 3 && x <= 61 && y >= 148 && y <= 208) << "changed outside the menu at " << x << "," << y;
        }
        // A full repaint in the same state gives the same picture.
        phone().tick();
        EXPECT_EQ(opens(), opened + 1);
        EXPECT_EQ(screen(), after);
    }
}

TEST_F(ListScreen, ConsecutivePaintsGiveIdenticalScreens) {
    const std::string records = "+80501234567 info\r\n" + cp1251("+79161234567 Иван") + "\r\n\r\nlast";
    const struct {
        const char* name;
        std::vector<std::uint8_t> keys;
    } cases[] = {
        {"list", {sim::kKeyDown}},
        {"menu", {sim::kKeySoftLeft, sim::kKeyDown}},
        {"about window", {sim::kKeySoftLeft, sim::kKeyUp, sim::kKeyUp, sim::kKeyOk}},
        {"exit window", {sim::kKeySoftLeft, sim::kKeyUp, sim::kKeyOk}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restartPhone();
        bootWith(records);
        for (const std::uint8_t key : c.keys) press(key);
        phone().tick();
        const Surface first = screen();
        phone().tick();
        EXPECT_EQ(screen(), first);
        phone().tick();
        EXPECT_EQ(screen(), first);
    }
}

// ---------------------------------------------------------------------------------------
// Languages

TEST_F(ListScreen, TextsOnTheScreenFollowTheLanguage) {
    const struct {
        std::uint8_t language;
        bool russian;
    } cases[] = {{sim::kLanguageRussian, true}, {sim::kLanguageEnglish, false}, {0x00, false},
                 {0x22, false},                {0x24, false},                 {0xFF, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.language));
        restartPhone(c.language);
        bootWith("A\r\nB", c.language);
        const std::string label = cp1251(c.russian ? "Меню" : "Menu");
        EXPECT_EQ(readText(screen(), 2, 209, 4, kYellow), glyphForm(label));
        EXPECT_EQ(readText(screen(), 156, 209, 2, kDark), glyphForm(cp1251("Ок")));
        EXPECT_EQ(readText(screen(), 50, 1, 13, kYellow), glyphForm("BlackList.txt"));
        openMenu();
        const Surface s = screen();
        EXPECT_EQ(readText(s, 2, 209, 4, kWhite), glyphForm(label));
        for (int i = 0; i < 5; ++i) {
            const std::string item = cp1251(c.russian ? kMenuRu[i] : kMenuEn[i]);
            expectText(s, 4, 150 + 11 * i, item, i == 0 ? kWhite : kYellow);
        }
        EXPECT_EQ(readText(s, 4, 150, 9, kWhite), glyphForm(cp1251(c.russian ? "Изменить " : "Edit line")));
    }
}
