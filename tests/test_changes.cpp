// Changes of the record file made through the menu and the character editor, as a user makes
// them: the bytes each change leaves in the file, the selection and the message shown after
// it, refusals at the limits, a file changed by another program meanwhile, and every
// allocation or file operation failing in turn.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

const char* const kOnlyRecord = "This operation not possible!";
const char* const kListFull = "The list is full!";
const char* const kTooLong = "The record is too long!";
const char* const kNotSaved = "Write error!";

// The file, the record selected, the menu item and the text typed; the file, the record
// selected and the message after the change. `meanwhile`, when given, is written to the
// file by another program just before the confirming key.
struct Change {
    std::string before;
    int record;
    int item;
    std::u16string text;
    std::string after;
    int selectedAfter;
    const char* message = "";
    std::string meanwhile = "";
};

const std::string kFifty(kRecordChars, 'F'), kLonger(kRecordChars + 1, 'L');
const std::string kGrown = "A\r\n" + std::string(70, 'G') + "\r\nC";

const Change kChanges[] = {
    {"A\r\nB\r\nC", 1, kDelete, u"", "B\r\nC", 1},
    {"A\r\nB\r\nC", 2, kDelete, u"", "A\r\nC", 2},  // the selection stays, on the next record
    {"A\r\nB\r\nC", 3, kDelete, u"", "A\r\nB", 2},  // the last record: one back
    {"A\r\nB\r\nC", 2, kAdd, u"Жук", "A\r\nB\r\nC\r\n" + cp1251("Жук"), 4},
    {"A\r\nB\r\nC", 1, kAdd, u"", "A\r\nB\r\nC\r\n", 4},
    {"A\r\nB\r\nC", 1, kEdit, u"Y", "B\r\nC\r\nY", 3},
    {"A\r\nB\r\nC", 2, kEdit, u"Y", "A\r\nC\r\nY", 3},
    {"A\r\nB", 2, kEdit, u"", "A\r\n", 2},
    {"A", 1, kEdit, u"Z", "Z", 1},                               // the only record: the text is the whole file
    {"A", 1, kEdit, u"", kDefaultRecord, 1},                     // an emptied file gets the default
    {numbered(23), 5, kAdd, u"N", numbered(23) + "\r\nN", 24},   // page 1, row 12
    {numbered(24), 24, kAdd, u"N", numbered(24) + "\r\nN", 25},  // page 2, row 1
    {numbered(13), 13, kDelete, u"", numbered(12), 12},          // alone on its page
    {numbered(25), 13, kDelete, u"", numbered(12) + "\r\n" + numbered(25, 14), 13},
    // Deleting record 1 removes its text, the CR after it and one LF: record 2 stays whole.
    {"A\r\nB\nx\r\nC", 1, kDelete, u"", "B\nx\r\nC", 1},
    {"A\r\n\n\nB\r\nC", 1, kDelete, u"", "\n\nB\r\nC", 1},
    {"A\rB\r\nC", 1, kDelete, u"", "B\r\nC", 1},
    {"A\r\n\r\nC", 1, kDelete, u"", "\r\nC", 1},  // an empty record 2
    {"A\r\n\n\r\n\nC", 1, kDelete, u"", "\n\r\n\nC", 1},
    {"A\r\n", 1, kDelete, u"", kDefaultRecord, 1},
    {"A\r\n\nB\nb\r\nC", 1, kEdit, u"Y", "\nB\nb\r\nC\r\nY", 3},
    // The count is 8 bits wide: adding stops at 255 records, editing works at exactly 255,
    // deleting always works; a record over 50 characters cannot be edited but can start a
    // new one. Each limit is checked against the file as it is when the change is made.
    {numbered(254), 1, kAdd, u"N", numbered(254) + "\r\nN", 255},
    {numbered(255), 1, kAdd, u"N", numbered(255), 1, kListFull},
    {numbered(255), 2, kEdit, u"N", "R1\r\n" + numbered(255, 3) + "\r\nN", 255},
    {numbered(256), 2, kEdit, u"N", numbered(256), 2, kListFull},
    {numbered(256), 2, kDelete, u"", "R1\r\n" + numbered(256, 3), 2},
    {"A\r\n" + kFifty + "\r\nC", 2, kEdit, u"N", "A\r\nC\r\nN", 3},
    {"A\r\n" + kLonger + "\r\nC", 2, kEdit, u"N", "A\r\n" + kLonger + "\r\nC", 2, kTooLong},
    {"A\r\n" + kLonger + "\r\nC", 2, kAdd, u"N", "A\r\n" + kLonger + "\r\nC\r\nN", 4},
    {numbered(254), 3, kAdd, u"N", numbered(255), 3, kListFull, numbered(255)},
    {numbered(254), 3, kEdit, u"N", numbered(256), 3, kListFull, numbered(256)},
    {"A\r\nB\r\nC", 2, kEdit, u"N", kGrown, 2, kTooLong, kGrown},
    // Shown with one record, three by the time of the edit: no whole-file replacement.
    {"A", 1, kEdit, u"N", "B\r\nC\r\nN", 3, "", "A\r\nB\r\nC"},
    {"A\r\nB", 2, kEdit, u"N", "Q", 2, kNotSaved, "Q"},  // the selected record is gone
    {"A\r\nB\r\nC", 3, kDelete, u"", "A\r\nB", 3, kNotSaved, "A\r\nB"},
    {"A\r\nB", 1, kDelete, u"", "Q", 1, kOnlyRecord, "Q"},
    {"solo", 1, kDelete, u"", "solo", 1, kOnlyRecord},
};

// The changes that run under every failure: each kind of change and both ways of editing.
const Change kSwept[] = {kChanges[1], kChanges[0], kChanges[3], kChanges[6], kChanges[8]};

std::string describe(const Change& c) {
    return visible(c.before.substr(0, 24)) + " record " + std::to_string(c.record) + " item " + std::to_string(c.item) +
           " -> " + visible(c.after.substr(0, 24));
}

class Changes : public AppTest {
protected:
    // Boots on the change's file and does everything up to the key press that makes the
    // change: the menu on Delete, or the editor holding the text (unless it was refused).
    void prepare(const Change& c) {
        restartPhone();
        bootWith(c.before);
        selectRecord(c.record);
        highlight(c.item);
        if (c.item == kDelete) return;
        press(KEY_OK);
        if (phone().editorOpen()) phone().setEditorText(c.text);
    }
    void finish(const Change& c) {
        if (!c.meanwhile.empty()) writeRecords(c.meanwhile);
        if (c.item == kDelete || phone().editorOpen()) press(KEY_OK);
        EXPECT_FALSE(phone().editorOpen());
        EXPECT_EQ(state(), "main");
    }
    void expectValidSelection() {
        const Position p = position();
        EXPECT_TRUE(p.selected >= 1 && p.selected <= p.count) << p;
    }
};

TEST_F(Changes, EachChangeLeavesItsBytesSelectionAndMessage) {
    for (const Change& c : kChanges) {
        SCOPED_TRACE(describe(c));
        prepare(c);
        ASSERT_FALSE(HasFatalFailure());
        const auto renames = phone().files.faults(sim::FileOp::Rename).calls();
        finish(c);
        EXPECT_EQ(visible(records()), visible(c.after));
        EXPECT_EQ(message(), glyphForm(c.message));
        EXPECT_EQ(position().selected, c.selectedAfter);
        if (!*c.message) {
            EXPECT_EQ(position().count, std::min(countRecords(c.after), 255));
            EXPECT_EQ(phone().files.faults(sim::FileOp::Rename).calls(), renames + 1) << "one replacement";
        }
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_TRUE(nothingHeld());
        if (!*c.message) continue;
        // The message stays until it is confirmed, and the menu stays shut meanwhile.
        press(KEY_SOFT_LEFT);
        EXPECT_EQ(menuItem(), -1);
        press(KEY_SELECT);
        EXPECT_EQ(message(), "");
        EXPECT_EQ(position().selected, c.selectedAfter);
        EXPECT_EQ(visible(records()), visible(c.after));
    }
}

// Every rewrite goes to "BlackList.tmp", which only a rename puts in the record file's place;
// one left behind is removed at the next start and never read, nor stands in for a missing
// record file.
TEST_F(Changes, RewritesGoThroughATemporaryFileThatTheNextStartRemoves) {
    for (const Change& c : kSwept) {
        SCOPED_TRACE(describe(c));
        prepare(c);
        phone().files.faults(sim::FileOp::Rename).failAlways();
        phone().files.faults(sim::FileOp::Delete).failAlways();
        finish(c);
        EXPECT_EQ(records(), c.before);
        EXPECT_EQ(message(), glyphForm(kNotSaved));
        EXPECT_EQ(readFile(tempFile()), c.after) << "the whole new content";
        restartPhone();
        boot();
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_EQ(records(), c.before);
        EXPECT_EQ(position().count, countRecords(c.before));
    }
    std::filesystem::remove(recordFile());
    std::ofstream(tempFile(), std::ios::binary) << "S1\r\nS2\r\nS3";
    restartPhone();
    boot();
    EXPECT_FALSE(std::filesystem::exists(tempFile()));
    EXPECT_EQ(records(), kDefaultRecord);
}

// A failed allocation, size query, open, read, write, close or rename leaves the file byte for
// byte, holds nothing and shows "not saved"; only a failed recount after the rename lets the
// change stand, complete. Each change runs once for every call of the failure point it makes,
// with that call failing, then once with nothing failing.
struct FailurePoint {
    const char* name;
    bool memory;
    sim::FileOp op;
};
const FailurePoint kPoints[] = {
    {"Memory", true, sim::FileOp::Open},    {"Size", false, sim::FileOp::Size},   {"Open", false, sim::FileOp::Open},
    {"Read", false, sim::FileOp::Read},     {"Write", false, sim::FileOp::Write}, {"Close", false, sim::FileOp::Close},
    {"Rename", false, sim::FileOp::Rename},
};

void PrintTo(const FailurePoint& point, std::ostream* out) { *out << point.name; }

class FailingChange : public Changes, public ::testing::WithParamInterface<FailurePoint> {};

TEST_P(FailingChange, LeavesTheFileWholeAndNothingHeld) {
    constexpr std::uint32_t kMostCalls = 200;
    for (const Change& c : kSwept) {
        std::uint32_t n = 1;
        for (bool failed = true; failed && n <= kMostCalls; ++n) {
            SCOPED_TRACE(describe(c) + ", call " + std::to_string(n) + " fails");
            prepare(c);
            ASSERT_FALSE(HasFatalFailure());
            sim::FaultPlan& faults = GetParam().memory ? phone().memory.faults() : phone().files.faults(GetParam().op);
            const std::uint32_t callsBefore = faults.calls();
            faults.failNth(n);
            finish(c);
            failed = faults.calls() - callsBefore >= n;
            faults.clear();
            phone().tick();  // a failed allocation may have left a text of the last repaint out

            EXPECT_TRUE(nothingHeld());
            EXPECT_FALSE(std::filesystem::exists(tempFile()));
            expectValidSelection();
            const std::string now = records();
            if (now == c.before) {
                EXPECT_TRUE(failed) << "the change was not made, yet nothing failed";
                EXPECT_EQ(message(), glyphForm(kNotSaved));
                EXPECT_EQ(position().count, countRecords(c.before));
            } else if (now == c.after) {
                EXPECT_EQ(message(), "");
                if (!global<std::uint8_t>("count_failed")) {
                    EXPECT_EQ(position().count, countRecords(c.after));
                }
            } else {
                ADD_FAILURE() << "the file holds neither the old nor the new content: " << visible(now);
            }
        }
        EXPECT_GT(n, 2u) << "the change never reached " << GetParam().name;
        EXPECT_LE(n, kMostCalls) << "the sweep did not end";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFailurePoint, FailingChange, ::testing::ValuesIn(kPoints),
                         [](const auto& point) { return std::string(point.param.name); });

}  // namespace
