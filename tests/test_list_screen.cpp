// The list screen as a user sees it: which record each selection shows and opens the editor
// on, page by page; the scroll bar and the position text; and what a repaint reads.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

std::string joinRecords(const std::vector<std::string>& records) {
    std::string out;
    for (std::size_t i = 0; i < records.size(); ++i) out += (i ? "\r\n" : "") + records[i];
    return out;
}

// The rows from `top` to `bottom` in which column x has `colour`, as "top-bottom", or "".
std::string rowsOf(const sim::Surface& s, int x, sim::Rgb565 colour) {
    int top = -1, bottom = -1;
    for (int y = 0; y < s.height(); ++y)
        if (s.at(x, y) == colour) bottom = y, top = top < 0 ? y : top;
    return top < 0 ? "" : std::to_string(top) + "-" + std::to_string(bottom);
}

}  // namespace

class ListScreen : public AppTest {
protected:
    std::uint32_t opens() { return phone().files().faults(sim::FileOp::Open).calls(); }

    // "Add line" opens the editor on the selected record's first 50 bytes, widened.
    void expectEditorOpensOn(const std::string& record) {
        choose(kAdd);
        ASSERT_TRUE(phone().editorOpen());
        const std::string held = record.substr(0, kRecordChars);
        EXPECT_EQ(phone().dialogs().topEditor()->text(), std::u16string(held.begin(), held.end()));
        phone().editorBack();
    }
};

// Each file walked through every selection with the down key, round to the first record: the
// position, the selection bar's row on its page, and the record the editor opens on. An LF is
// part of its record; a lone CR begins a new one.
TEST_F(ListScreen, EverySelectionShowsItsRowAndOpensTheEditorOnItsRecord) {
    std::vector<std::string> long25;
    for (int i = 1; i <= 25; ++i) long25.push_back("Rec" + std::to_string(i));
    long25[2] = "+7 (495) 123-45-67 " + std::string(51, 'x');  // 70 bytes: the editor gets 50
    long25[11] = std::string(50, 'y');
    long25[12] = "";  // the first record of page 2
    const std::string cases[] = {
        "A\r\n\r\nC",        "\r\nB\r\n",
        joinRecords(long25), "a\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nn",
        "AB\nCD\r\nX",       "\nAB\r\n\nC\n\r\nD",
        "A\rB\rC\r\r\nD",
    };
    for (const std::string& file : cases) {
        SCOPED_TRACE(visible(file.substr(0, 30)));
        restartPhone();
        bootWith(file);
        std::vector<std::string> records{""};  // split as the application counts them
        for (std::size_t i = 0; i < file.size(); ++i) {
            if (file[i] != '\r' || i + 1 == file.size()) {
                records.back() += file[i];
                continue;
            }
            records.emplace_back(file[i + 1] == '\n' ? (++i, "") : "");
        }
        const int count = static_cast<int>(records.size());
        for (int step = 0; step <= count; ++step) {
            const int want = step % count + 1, row = (want - 1) % kPageRows + 1;
            SCOPED_TRACE("record " + std::to_string(want));
            ASSERT_EQ(position(), (Position{want, count}));
            EXPECT_EQ(rowsOf(screen(), 100, rgb(0, 50, 0)),
                      std::to_string(16 * row - 1) + "-" + std::to_string(16 * row + 12));
            expectEditorOpensOn(records[std::size_t(want - 1)]);
            press(KEY_DOWN);
        }
        EXPECT_TRUE(nothingHeld());
    }
}

// The count (and so the size read) stays from the start while the file is changed behind the
// application's back. Every byte walked is one glyph run (a CR as a blank, an LF none), so the
// runs of a repaint tell how many bytes it walked: only those the read returned.
TEST_F(ListScreen, FileChangedAfterTheCountShowsOnlyTheCountedBytesThatAreThere) {
    const std::string full = "Alpha\r\nBravo\r\nCharlie\r\nDelta\r\nEcho";
    const auto walked = [&](const std::string& bytes) {
        const std::string read = bytes.substr(0, full.size());
        return static_cast<std::uint32_t>(read.size() - std::count(read.begin(), read.end(), '\n'));
    };
    const auto runs = [&] { return phone().graphics().counters().glyphRuns; };
    const std::pair<std::string, std::string> cases[] = {
        {"Alpha\r\nBr", "Br"},  // cut inside the selected record
        {"Alpha\r\n", ""},      // cut at its start
        {"Al", ""},             // cut before it
        {"", ""},
        {full + "\r\nFoxtrot", "Bravo"},
    };
    for (const auto& [bytes, selected] : cases) {
        SCOPED_TRACE(visible(bytes));
        restartPhone();
        bootWith(full);
        selectRecord(2);
        std::uint32_t before = runs();
        phone().tick();
        const std::uint32_t fixedTexts = runs() - before - walked(full);
        writeRecords(bytes);
        before = runs();
        phone().tick();
        EXPECT_EQ(runs() - before, fixedTexts + walked(bytes));
        EXPECT_EQ(readText(screen(), 0, 32, 5, rgb(200, 200, 200)), glyphForm((selected + "     ").substr(0, 5)));
        EXPECT_TRUE(nothingHeld());
    }
}

// The slider: columns 172 to 174 from row 16 to 16 + height, at least one row and at most the
// frame's inside (188); the position text "S/L - P%".
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
        bootWith(numbered(c.records));
        if (c.select == c.records) press(KEY_UP);
        selectRecord(c.select);
        for (int x : {172, 174})
            EXPECT_EQ(rowsOf(screen(), x, rgb(60, 150, 60)), "16-" + std::to_string(16 + c.height));
        EXPECT_EQ(rowsOf(screen(), 175, rgb(0, 0, 125)), "15-205");
        EXPECT_EQ(readText(screen(), 40, 209, static_cast<int>(c.text.size()) + 1, rgb(170, 170, 170)),
                  glyphForm(c.text + " "));
    }
}

// A move of the selection is one repaint, which reads the file once; a move of the menu's
// highlight reads nothing and redraws only the menu, as a full repaint would.
TEST_F(ListScreen, MenuMovesReadNothingAndRedrawOnlyTheMenu) {
    bootWith(numbered(20));
    std::uint32_t before = opens();
    press(KEY_DOWN);
    EXPECT_EQ(opens(), before + 1);
    press(KEY_SOFT_LEFT);
    for (const std::uint8_t key : {KEY_DOWN, KEY_DOWN, KEY_UP, KEY_UP, KEY_UP}) {
        const sim::Surface shown = screen();
        before = opens();
        press(key);
        const sim::Surface moved = screen();
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
