// Changes of the record file made through the menu and the character editor: the bytes
// each change leaves in the file and the selection after it, the temporary file, and what
// happens when a change meets a full list, a long record, a file changed by another
// program, or a failing allocation or file operation.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

constexpr int kPageRows = 12;
constexpr int kRecordChars = 50;
enum MenuItem { kEdit = 0, kDelete = 1, kAdd = 2 };
enum ErrorShown { kNoError = 0, kOnlyRecord = 1, kListFull = 2, kTooLong = 3, kNotSaved = 4 };

// "R1" CR LF "R2" ... for the records `first` to `last`.
std::string numbered(int last, int first = 1) {
    std::string bytes;
    for (int i = first; i <= last; ++i) bytes += (i > first ? "\r\n" : "") + std::string("R") + std::to_string(i);
    return bytes;
}

// Records in the file's bytes: 1 plus the CRs before the last byte.
int countRecords(const std::string& bytes) {
    int count = 1;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) count += bytes[i] == '\r';
    return count;
}

// A change: the file, the record selected, the menu item, the text typed, and the file after.
struct Change {
    std::string before;
    int record;
    int item;
    std::u16string text;
    std::string after;
};

class Changes : public AppTest {
protected:
    int error() { return global<std::uint8_t>("Error"); }
    std::filesystem::path tempFile() const { return recordFile().parent_path() / "BlackList.tmp"; }

    // Boots on the change's file and does everything up to the key press that makes the
    // change: the menu on Delete, or the editor holding the text (unless it was refused).
    void prepare(const Change& c) {
        restartPhone();
        bootWith(c.before);
        ASSERT_FALSE(HasFatalFailure());
        pressTimes(KEY_DOWN, c.record - 1);
        ASSERT_EQ(selected(), c.record);
        press(KEY_SOFT_LEFT);
        for (int guard = 0; global<std::uint16_t>("setmenu") != c.item && guard < 5; ++guard) press(KEY_DOWN);
        ASSERT_EQ(global<std::uint16_t>("setmenu"), c.item);
        if (c.item == kDelete) return;
        press(KEY_OK);
        if (phone().editorOpen()) phone().setEditorText(c.text);
    }
    void finish(const Change& c) {
        if (c.item == kDelete || phone().editorOpen()) press(KEY_OK);
        EXPECT_FALSE(phone().editorOpen());
        EXPECT_EQ(phone().stateId(), 2u);
    }
    void expectValidSelection() {
        EXPECT_GE(set(), 1);
        EXPECT_LE(set(), kPageRows);
        EXPECT_GE(selected(), 1);
        EXPECT_LE(selected(), len());
    }
};

TEST_F(Changes, EachChangeWritesItsBytesInOneRenameAndSelects) {
    struct Case {
        Change c;
        int selectedAfter;
        std::string shown;
    };
    const Case cases[] = {
        {{"A\r\nB\r\nC", 1, kDelete, u"", "B\r\nC"}, 1, "B"},
        {{"A\r\nB\r\nC", 2, kDelete, u"", "A\r\nC"}, 2, "C"},  // the selection stays, on the next record
        {{"A\r\nB\r\nC", 3, kDelete, u"", "A\r\nB"}, 2, "B"},  // the last record: one back
        {{"A\r\nB\r\nC", 2, kAdd, u"Жук", "A\r\nB\r\nC\r\n" + cp1251("Жук")}, 4, cp1251("Жук")},
        {{"A\r\nB\r\nC", 1, kAdd, u"", "A\r\nB\r\nC\r\n"}, 4, ""},
        {{"A\r\nB\r\nC", 1, kEdit, u"Y", "B\r\nC\r\nY"}, 3, "Y"},
        {{"A\r\nB\r\nC", 2, kEdit, u"Y", "A\r\nC\r\nY"}, 3, "Y"},
        {{"A\r\nB\r\nC", 3, kEdit, u"Y", "A\r\nB\r\nY"}, 3, "Y"},
        {{"A\r\nB", 2, kEdit, u"", "A\r\n"}, 2, ""},
        {{"A", 1, kEdit, u"Z", "Z"}, 1, "Z"},                       // the only record: the text is the whole file
        {{"A", 1, kEdit, u"", kDefaultRecord}, 1, kDefaultRecord},  // an emptied file gets the default
        {{numbered(23), 5, kAdd, u"N", numbered(23) + "\r\nN"}, 24, "N"},   // pg 1 set 12
        {{numbered(24), 24, kAdd, u"N", numbered(24) + "\r\nN"}, 25, "N"},  // pg 2 set 1
        {{numbered(13), 13, kDelete, u"", numbered(12)}, 12, "R12"},        // alone on its page
        {{numbered(25), 13, kDelete, u"", numbered(12) + "\r\n" + numbered(25, 14)}, 13, "R14"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(visible(k.c.before) + " item " + std::to_string(k.c.item) + " -> " + visible(k.c.after));
        prepare(k.c);
        ASSERT_FALSE(HasFatalFailure());
        const auto renames = phone().files.faults(sim::FileOp::Rename).calls();
        finish(k.c);
        EXPECT_EQ(records(), k.c.after);
        EXPECT_EQ(phone().files.faults(sim::FileOp::Rename).calls(), renames + 1) << "one replacement";
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_EQ(error(), kNoError);
        EXPECT_EQ(len(), countRecords(k.c.after));
        EXPECT_EQ(pg(), (k.selectedAfter - 1) / kPageRows);
        EXPECT_EQ(set(), (k.selectedAfter - 1) % kPageRows + 1);
        EXPECT_EQ(std::string(&global<char>("buf")), k.shown);
        EXPECT_TRUE(textDrawn(screen(), 0, 16 * set(), k.shown, rgb(200, 200, 200)));
    }
}

// The five changes run under failures: each kind of change and both ways of editing.
const Change kChanges[] = {
    {"A\r\nB\r\nC", 2, kDelete, u"", "A\r\nC"},
    {"A\r\nB\r\nC", 1, kDelete, u"", "B\r\nC"},
    {"A\r\nB\r\nC", 2, kAdd, u"X", "A\r\nB\r\nC\r\nX"},
    {"A\r\nB\r\nC", 2, kEdit, u"Y", "A\r\nC\r\nY"},
    {"A", 1, kEdit, u"Q", "Q"},
};

// Every rewrite goes to "BlackList.tmp", which only a rename puts in the record file's
// place; one left behind is removed at the next start and never read.
TEST_F(Changes, RewritesGoThroughTheTemporaryFileWhichTheNextStartRemoves) {
    for (const Change& c : kChanges) {
        SCOPED_TRACE(visible(c.before) + " -> " + visible(c.after));
        prepare(c);
        ASSERT_FALSE(HasFatalFailure());
        phone().files.faults(sim::FileOp::Rename).failAlways();
        phone().files.faults(sim::FileOp::Delete).failAlways();
        finish(c);
        phone().files.faults(sim::FileOp::Rename).clear();
        phone().files.faults(sim::FileOp::Delete).clear();
        EXPECT_EQ(records(), c.before);
        EXPECT_EQ(error(), kNotSaved);
        std::ifstream in(tempFile(), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.after) << "the whole new content";

        restartPhone();
        boot();
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_EQ(records(), c.before);
        EXPECT_EQ(len(), countRecords(c.before));
    }
    // Nor does a stale temporary file stand in for a missing record file.
    std::filesystem::remove(recordFile());
    std::ofstream(tempFile(), std::ios::binary) << "S1\r\nS2\r\nS3";
    restartPhone();
    boot();
    EXPECT_FALSE(std::filesystem::exists(tempFile()));
    EXPECT_EQ(records(), kDefaultRecord);
    EXPECT_EQ(len(), 1);
}

// Deleting record 1 removes its text, the CR after it and one LF; record 2 stays whole.
TEST_F(Changes, DeletingTheFirstRecordKeepsTheNextRecordWhole) {
    const Change cases[] = {
        {"A\r\nB\nx\r\nC", 1, kDelete, u"", "B\nx\r\nC"},
        {"A\r\n\n\nB\r\nC", 1, kDelete, u"", "\n\nB\r\nC"},
        {"A\rB\r\nC", 1, kDelete, u"", "B\r\nC"},  // a CR without LF
        {"A\r\n\r\nC", 1, kDelete, u"", "\r\nC"},  // an empty record 2
        {"A\r\n\n\r\n\nC", 1, kDelete, u"", "\n\r\n\nC"},
        {"A\r\n", 1, kDelete, u"", kDefaultRecord},  // nothing left: the default record
        {"A\r\n\nB\nb\r\nC", 1, kEdit, u"Y", "\nB\nb\r\nC\r\nY"},
    };
    for (const Change& c : cases) {
        SCOPED_TRACE(visible(c.before));
        prepare(c);
        ASSERT_FALSE(HasFatalFailure());
        finish(c);
        EXPECT_EQ(records(), c.after);
        EXPECT_EQ(error(), kNoError);
        EXPECT_EQ(len(), countRecords(c.after));
    }
}

// The count is 8 bits wide: adding stops at 255 records, editing works at exactly 255,
// deleting always works; a record over 50 characters cannot be edited but can start a new
// one. Each limit is checked against the file as it is when the change is made.
TEST_F(Changes, LimitsAreCheckedAgainstTheFileAtTheTimeOfTheChange) {
    const std::string fifty(kRecordChars, 'F'), longer(kRecordChars + 1, 'L');
    const std::string grown = "A\r\n" + std::string(70, 'G') + "\r\nC";
    struct Case {
        Change c;
        std::string meanwhile;  // written by another program before the change, if not empty
        int error;
    };
    const Case cases[] = {
        {{numbered(254), 1, kAdd, u"N", numbered(254) + "\r\nN"}, "", kNoError},
        {{numbered(255), 1, kAdd, u"N", numbered(255)}, "", kListFull},
        {{numbered(255), 2, kEdit, u"N", "R1\r\n" + numbered(255, 3) + "\r\nN"}, "", kNoError},
        {{numbered(256), 2, kEdit, u"N", numbered(256)}, "", kListFull},
        {{numbered(256), 2, kDelete, u"", "R1\r\n" + numbered(256, 3)}, "", kNoError},
        {{"A\r\n" + fifty + "\r\nC", 2, kEdit, u"N", "A\r\nC\r\nN"}, "", kNoError},
        {{"A\r\n" + longer + "\r\nC", 2, kEdit, u"N", "A\r\n" + longer + "\r\nC"}, "", kTooLong},
        {{"A\r\n" + longer + "\r\nC", 2, kAdd, u"N", "A\r\n" + longer + "\r\nC\r\nN"}, "", kNoError},
        {{numbered(254), 3, kAdd, u"N", numbered(255)}, numbered(255), kListFull},
        {{numbered(254), 3, kEdit, u"N", numbered(256)}, numbered(256), kListFull},
        {{"A\r\nB\r\nC", 2, kEdit, u"N", grown}, grown, kTooLong},
        // Shown with one record, three by the time of the edit: no whole-file replacement.
        {{"A", 1, kEdit, u"N", "B\r\nC\r\nN"}, "A\r\nB\r\nC", kNoError},
        {{"A\r\nB", 2, kEdit, u"N", "Q"}, "Q", kNotSaved},  // the selected record is gone
        {{"A\r\nB\r\nC", 3, kDelete, u"", "A\r\nB"}, "A\r\nB", kNotSaved},
        {{"A\r\nB", 1, kDelete, u"", "Q"}, "Q", kOnlyRecord},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE("case " + std::to_string(&k - cases));
        prepare(k.c);
        ASSERT_FALSE(HasFatalFailure());
        if (!k.meanwhile.empty()) writeRecords(k.meanwhile);
        finish(k.c);
        EXPECT_EQ(error(), k.error);
        EXPECT_EQ(records(), k.c.after);
        expectValidSelection();
        if (k.error == kNoError) {
            EXPECT_EQ(len(), std::min(countRecords(k.c.after), 255));
        }
    }
}

// Whatever the editor hands over, at most 50 characters are taken, and nothing past the
// edit buffer is written (the record selected before and after is 50 long, so what lies
// there is the same after the change).
#ifdef __SANITIZE_ADDRESS__
constexpr bool kPeekPastBuffers = false;  // the sanitizer itself stops a write past them
#else
constexpr bool kPeekPastBuffers = true;
#endif

TEST_F(Changes, AnOverlongEditorTextIsCutTo50Characters) {
    std::u16string text;
    for (int i = 0; i < 200; ++i) text += static_cast<char16_t>(u'a' + i % 26);
    const std::string kept(text.begin(), text.begin() + kRecordChars), fifty(kRecordChars, 'F');
    for (int item : {kAdd, kEdit}) {
        SCOPED_TRACE(item);
        prepare({"A\r\n" + fifty, 2, item, u"", ""});
        ASSERT_TRUE(phone().editorOpen());
        const char16_t* past = &global<char16_t>("bf") + kRecordChars + 1;
        const std::u16string before = kPeekPastBuffers ? std::u16string(past, past + 8) : u"";
        phone().framework.post(std::make_unique<sim::Event>(EV_EDITOR_DATA, 0, text));
        phone().framework.run();
        EXPECT_EQ(records(), item == kAdd ? "A\r\n" + fifty + "\r\n" + kept : "A\r\n" + kept);
        EXPECT_EQ(phone().stateId(), 2u);
        if (kPeekPastBuffers) {
            EXPECT_TRUE(std::u16string(past, past + 8) == before) << "written past the edit buffer";
        }
        EXPECT_EQ(std::string(&global<char>("buf")), kept);
        EXPECT_TRUE(textDrawn(screen(), 0, 16 * set(), kept.substr(0, 32), rgb(200, 200, 200)));
    }
}

// A failed allocation, size query, open, read, write, close or rename leaves the file
// byte for byte, leaks nothing and shows "not saved"; only a failed recount after the
// rename lets the change stand, complete. Each change runs once for every call of the
// failure point it makes, with that call failing, then once with nothing failing. (An edit
// made as a delete and an add would leave a file that is neither.)
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

class FailingChange : public Changes, public ::testing::WithParamInterface<FailurePoint> {};

TEST_P(FailingChange, LeavesTheFileWholeAndNothingBehind) {
    constexpr std::uint32_t kMostCalls = 200;
    for (const Change& c : kChanges) {
        std::uint32_t n = 1;
        for (bool failed = true; failed && n <= kMostCalls; ++n) {
            SCOPED_TRACE(visible(c.before) + " -> " + visible(c.after) + ", call " + std::to_string(n) + " fails");
            prepare(c);
            ASSERT_FALSE(HasFatalFailure());
            const std::size_t blocks = phone().memory.outstandingBlocks();
            const std::size_t badReleases = phone().memory.badReleases();
            sim::FaultPlan& faults = GetParam().memory ? phone().memory.faults() : phone().files.faults(GetParam().op);
            const std::uint32_t callsBefore = faults.calls();
            faults.failNth(n);
            finish(c);
            failed = faults.calls() - callsBefore >= n;
            faults.clear();

            EXPECT_EQ(phone().files.openHandles(), 0u) << "a file is left open";
            EXPECT_EQ(phone().memory.outstandingBlocks(), blocks) << "a block is leaked";
            EXPECT_EQ(phone().memory.badReleases(), badReleases);
            EXPECT_FALSE(std::filesystem::exists(tempFile()));
            expectValidSelection();
            const std::string now = records();
            if (now == c.before) {
                EXPECT_TRUE(failed) << "the change was not made, yet nothing failed";
                EXPECT_EQ(error(), kNotSaved);
                EXPECT_EQ(len(), countRecords(c.before));
            } else if (now == c.after) {
                EXPECT_EQ(error(), kNoError);
                // A failed recount knows nothing of the file; otherwise it counted right.
                if (!global<std::uint8_t>("count_failed")) {
                    EXPECT_EQ(len(), countRecords(c.after));
                }
            } else {
                ADD_FAILURE() << "the file holds neither the old nor the new content: " << visible(now);
            }
        }
        EXPECT_GT(n, 2u) << "the change never reached " << GetParam().name;
        EXPECT_LE(n, kMostCalls) << "the sweep did not end";
    }
}

// A failed size query answers 0 as for an empty file: the change must not take that for
// the file's content, nor the recount write the default record over the list.
INSTANTIATE_TEST_SUITE_P(EveryFailurePoint, FailingChange, ::testing::ValuesIn(kPoints),
                         [](const ::testing::TestParamInfo<FailurePoint>& point) {
                             return std::string(point.param.name);
                         });

}  // namespace
