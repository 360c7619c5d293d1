// Changes of the record file made through the menu and the character editor: the bytes
// each change leaves in the file and the selection after it, and what happens when a
// change meets a full list, a long record, a file changed by another program, or a
// failing allocation or file operation.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

constexpr int kPageRows = 12;
constexpr int kRecordChars = 50;
constexpr std::size_t kRowChars = 32;  // characters a row of the list shows
enum MenuItem { kEdit = 0, kDelete = 1, kAdd = 2 };
enum ErrorShown { kNoError = 0, kOnlyRecord = 1, kListFull = 2, kTooLong = 3, kNotSaved = 4 };
constexpr sim::Rgb565 kSelectedText = rgb(200, 200, 200);

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

class Changes : public AppTest {
protected:
    int flag(const char* name) { return global<std::uint8_t>(name); }
    int error() { return flag("Error"); }
    std::string selectedText() { return std::string(&global<char>("buf")); }
    std::filesystem::path tempFile() const { return recordFile().parent_path() / "BlackList.tmp"; }

    void bootOn(const std::string& bytes, int record = 1) {
        restartPhone();
        bootWith(bytes);
        ASSERT_FALSE(HasFatalFailure());
        pressTimes(sim::kKeyDown, record - 1);
        ASSERT_EQ(selected(), record);
    }
    void openMenuOn(int item) {
        press(sim::kKeySoftLeft);
        ASSERT_EQ(flag("OnMenu"), 1);
        for (int guard = 0; global<std::uint16_t>("setmenu") != item && guard < 5; ++guard) press(sim::kKeyDown);
        ASSERT_EQ(global<std::uint16_t>("setmenu"), item);
    }
    void choose(int item) {
        openMenuOn(item);
        ASSERT_FALSE(HasFatalFailure());
        press(sim::kKeyOk);
    }
    // Edit or add through the editor: choose the item, type the text, confirm.
    void openEditor(int item) {
        choose(item);
        ASSERT_TRUE(phone().editorOpen());
        ASSERT_EQ(phone().state(), sim::AppState::Edit);
    }
    void enter(int item, const std::u16string& text) {
        openEditor(item);
        ASSERT_FALSE(HasFatalFailure());
        phone().setEditorText(text);
        press(sim::kKeyOk);
        ASSERT_FALSE(phone().editorOpen());
        ASSERT_EQ(phone().state(), sim::AppState::Main);
    }

    void expectSelected(int record) {
        EXPECT_EQ(pg(), (record - 1) / kPageRows) << "record " << record;
        EXPECT_EQ(set(), (record - 1) % kPageRows + 1) << "record " << record;
    }
    // The selection is on a record that exists.
    void expectValidSelection() {
        EXPECT_GE(set(), 1);
        EXPECT_LE(set(), kPageRows);
        EXPECT_GE(selected(), 1);
        EXPECT_LE(selected(), len());
    }
    // The selected record is captured for the editor and drawn in its row, in the
    // colour of the selection, as far as the row holds it.
    void expectShownSelected(const std::string& text) {
        EXPECT_EQ(selectedText(), text);
        EXPECT_TRUE(textDrawn(screen(), 0, 16 * (set() - 1) + 16, text.substr(0, kRowChars), kSelectedText));
    }
};

// ---------------------------------------------------------------------------------
// What each change writes, and where the selection goes.

TEST_F(Changes, DeleteRemovesTheSelectedRecordAndOneLineEnd) {
    struct Case {
        std::string before;
        int record;
        std::string after;
        int selectedAfter;
        std::string shown;
    };
    const Case cases[] = {
        {"A\r\nB\r\nC", 2, "A\r\nC", 2, "C"},  // the selection stays and now shows C
        {"A\r\nB\r\nC", 3, "A\r\nB", 2, "B"},  // the last record: one back
        {"A\r\nB\r\nC", 1, "B\r\nC", 1, "B"},
        {"A\r\nB", 2, "A", 1, "A"},
        {numbered(13), 13, numbered(12), 12, "R12"},  // alone on its page: pg 1 set 1 -> pg 0 set 12
        {numbered(25), 13, numbered(12) + "\r\n" + numbered(25, 14), 13, "R14"},
        {numbered(24), 24, numbered(23), 23, "R23"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(visible(c.before) + " record " + std::to_string(c.record));
        bootOn(c.before, c.record);
        choose(kDelete);
        EXPECT_EQ(records(), c.after);
        EXPECT_EQ(error(), kNoError);
        EXPECT_EQ(len(), countRecords(c.after));
        expectSelected(c.selectedAfter);
        expectShownSelected(c.shown);
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
    }
}

TEST_F(Changes, AddAppendsTheTextAsTheSelectedLastRecord) {
    struct Case {
        std::string before;
        int record;
        std::u16string text;
        std::string after;
    };
    const Case cases[] = {
        {"A\r\nB\r\nC", 2, u"X", "A\r\nB\r\nC\r\nX"},
        {"A\r\nB\r\nC", 1, u"", "A\r\nB\r\nC\r\n"},  // an empty last record
        {numbered(23), 5, u"N", numbered(23) + "\r\nN"},  // 24: pg 1 set 12
        {numbered(24), 24, u"N", numbered(24) + "\r\nN"},  // 25: pg 2 set 1
        {"A", 1, u"+380 Привет", "A\r\n+380 " + cp1251("Привет")},
        {"A\r\n", 2, u"B", "A\r\n\r\nB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(visible(c.before) + " + " + visible(c.after));
        bootOn(c.before, c.record);
        enter(kAdd, c.text);
        EXPECT_EQ(records(), c.after);
        EXPECT_EQ(error(), kNoError);
        EXPECT_EQ(len(), countRecords(c.after));
        expectSelected(countRecords(c.after));
        const std::string last = c.after.substr(c.after.rfind('\n') + 1);
        EXPECT_EQ(selectedText(), last);
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
    }
}

TEST_F(Changes, EditMovesTheNewTextToTheEndOrReplacesTheOnlyRecord) {
    struct Case {
        std::string before;
        int record;
        std::u16string text;
        std::string after;
    };
    const Case cases[] = {
        {"A\r\nB\r\nC", 2, u"Y", "A\r\nC\r\nY"},
        {"A\r\nB\r\nC", 1, u"Y", "B\r\nC\r\nY"},
        {"A\r\nB\r\nC", 3, u"Y", "A\r\nB\r\nY"},
        {numbered(5), 2, u"Y", "R1\r\nR3\r\nR4\r\nR5\r\nY"},
        {numbered(13), 1, u"Q", numbered(13, 2) + "\r\nQ"},
        {numbered(13), 13, u"Q", numbered(12) + "\r\nQ"},
        {"A\r\nB", 2, u"", "A\r\n"},
        {"A", 1, u"Z", "Z"},  // the only record: the text is the whole file
        {"A", 1, u"", kDefaultRecord},  // an empty file gets the default record back
        {"A\r\nB", 1, u"Ёлка ы", "B\r\n" + cp1251("Ёлка ы")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(visible(c.before) + " record " + std::to_string(c.record) + " -> " + visible(c.after));
        bootOn(c.before, c.record);
        enter(kEdit, c.text);
        EXPECT_EQ(records(), c.after);
        EXPECT_EQ(error(), kNoError);
        EXPECT_EQ(len(), countRecords(c.after));
        expectSelected(countRecords(c.after));
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
    }
}

TEST_F(Changes, TheSelectedRecordIsShownAfterAChange) {
    bootOn("A\r\nB\r\nC", 2);
    enter(kEdit, u"Yes");
    expectShownSelected("Yes");
    enter(kAdd, u"Zed");
    expectShownSelected("Zed");
    expectSelected(4);
}

TEST_F(Changes, GoingBackFromTheEditorChangesNothing) {
    for (int item : {kEdit, kAdd}) {
        for (const std::string& before : {std::string("A\r\nB\r\nC"), std::string("A")}) {
            SCOPED_TRACE(visible(before) + " item " + std::to_string(item));
            const int record = countRecords(before);
            bootOn(before, record);
            openEditor(item);
            phone().setEditorText(u"never saved");
            phone().editorBack();
            EXPECT_EQ(phone().state(), sim::AppState::Main);
            EXPECT_FALSE(phone().editorOpen());
            EXPECT_EQ(records(), before);
            EXPECT_EQ(error(), kNoError);
            expectSelected(record);
            EXPECT_EQ(len(), record);
        }
    }
}

// ---------------------------------------------------------------------------------
// Every rewrite goes to "BlackList.tmp" beside the record file, which one rename puts
// in its place; a temporary file left behind is removed at start and never read.

TEST_F(Changes, AStaleTemporaryFileIsRemovedAtStartAndNeverRead) {
    for (bool withRecords : {true, false}) {
        SCOPED_TRACE(withRecords ? "with a record file" : "without a record file");
        std::filesystem::remove_all(recordFile().parent_path());
        std::filesystem::create_directories(recordFile().parent_path());
        std::ofstream(tempFile(), std::ios::binary) << "S1\r\nS2\r\nS3\r\nS4";
        restartPhone();
        if (withRecords)
            bootWith("A\r\nB");
        else
            boot();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_EQ(records(), withRecords ? "A\r\nB" : kDefaultRecord);
        EXPECT_EQ(len(), withRecords ? 2 : 1);
        expectShownSelected(withRecords ? "A" : kDefaultRecord);
    }
}

// A change to make and what the file holds after it, for the tests that run the same
// change under different conditions.
struct Change {
    const char* name;
    std::string before;
    int record;
    int item;
    std::u16string text;
    std::string after;
};
const Change kChanges[] = {
    {"delete_record_2", "A\r\nB\r\nC", 2, kDelete, u"", "A\r\nC"},
    {"delete_record_1", "A\r\nB\r\nC", 1, kDelete, u"", "B\r\nC"},
    {"add", "A\r\nB\r\nC", 2, kAdd, u"X", "A\r\nB\r\nC\r\nX"},
    {"edit_record_2", "A\r\nB\r\nC", 2, kEdit, u"Y", "A\r\nC\r\nY"},
    {"edit_the_only_record", "A", 1, kEdit, u"Q", "Q"},
};

class ChangeRuns : public Changes {
protected:
    // Boots on the change's file and does everything up to, not including, the key
    // press that makes the change.
    void prepare(const Change& c) {
        bootOn(c.before, c.record);
        ASSERT_FALSE(HasFatalFailure());
        if (c.item == kDelete) {
            openMenuOn(kDelete);
        } else {
            openEditor(c.item);
            ASSERT_FALSE(HasFatalFailure());
            phone().setEditorText(c.text);
        }
    }
};

TEST_F(ChangeRuns, RewritesGoToTheTemporaryFileAndOnlyARenameReplacesTheRecords) {
    for (const Change& c : kChanges) {
        SCOPED_TRACE(c.name);
        prepare(c);
        ASSERT_FALSE(HasFatalFailure());
        // The temporary file can neither take the record file's place nor be removed.
        phone().files.faults(sim::FileOp::Rename).failAlways();
        phone().files.faults(sim::FileOp::Delete).failAlways();
        press(sim::kKeyOk);
        phone().files.faults(sim::FileOp::Rename).clear();
        phone().files.faults(sim::FileOp::Delete).clear();
        EXPECT_EQ(records(), c.before);
        EXPECT_EQ(error(), kNotSaved);
        ASSERT_TRUE(std::filesystem::exists(tempFile()));
        std::ifstream in(tempFile(), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.after) << "the whole new content";

        // The next start removes it and shows the records as they were.
        restartPhone();
        boot();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_EQ(records(), c.before);
        EXPECT_EQ(len(), countRecords(c.before));
    }
}

// ---------------------------------------------------------------------------------
// An edit of a file of several records is one replacement: the old record never
// leaves the file unless the new text is in it too.

TEST_F(ChangeRuns, AnEditIsOneReplacement) {
    const Change& edit = kChanges[3];
    prepare(edit);
    const auto renames = phone().files.faults(sim::FileOp::Rename).calls();
    press(sim::kKeyOk);
    EXPECT_EQ(records(), edit.after);
    EXPECT_EQ(phone().files.faults(sim::FileOp::Rename).calls(), renames + 1);

    // Whichever later write, open, close or rename fails, record B is either still in
    // its place or replaced by the new text.
    for (sim::FileOp op : {sim::FileOp::Open, sim::FileOp::Write, sim::FileOp::Close, sim::FileOp::Rename}) {
        for (std::uint32_t n = 2; n <= 4; ++n) {
            SCOPED_TRACE("call " + std::to_string(n) + " of op " + std::to_string(static_cast<int>(op)));
            prepare(edit);
            phone().files.faults(op).failNth(n);
            press(sim::kKeyOk);
            phone().files.faults(op).clear();
            const std::string now = records();
            EXPECT_TRUE(now == edit.before || now == edit.after) << visible(now);
        }
    }
}

// ---------------------------------------------------------------------------------
// Deleting record 1 removes its text, the CR after it and one LF right after that CR;
// the text of record 2 stays whole, LFs included.

TEST_F(Changes, DeletingTheFirstRecordKeepsTheNextRecordWhole) {
    struct Case {
        std::string before, after;
    };
    const Case cases[] = {
        {"A\r\nB\nx\r\nC", "B\nx\r\nC"},
        {"A\r\n\nB", "\nB"},
        {"A\r\n\n\nB\r\nC", "\n\nB\r\nC"},
        {"A\r\nB\n", "B\n"},
        {"A\rB\r\nC", "B\r\nC"},  // a CR without LF
        {"A\r\n\r\nC", "\r\nC"},  // an empty record 2
        {"A\r\n\n\r\n\nC", "\n\r\n\nC"},
        {"A\r\n", kDefaultRecord},  // nothing left: the default record
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(visible(c.before));
        bootOn(c.before, 1);
        ASSERT_GE(len(), 2);
        choose(kDelete);
        EXPECT_EQ(records(), c.after);
        EXPECT_EQ(error(), kNoError);
        EXPECT_EQ(len(), countRecords(c.after));
        expectSelected(1);
    }
    // An edit of record 1 removes it the same way.
    bootOn("A\r\n\nB\nb\r\nC", 1);
    enter(kEdit, u"Y");
    EXPECT_EQ(records(), "\nB\nb\r\nC\r\nY");
}

// ---------------------------------------------------------------------------------
// A failed allocation, open, read, write, close or rename leaves the file as it was,
// leaks nothing and shows "not saved"; only a failure in the recount after the rename
// lets the change stand, complete. Each change is run once for every call of the
// failure point it makes, with that call failing, and once more with nothing failing.

enum class Point { Memory, Size, Open, Read, Write, Close, Rename };

const char* pointName(Point p) {
    switch (p) {
    case Point::Memory: return "Memory";
    case Point::Size: return "Size";
    case Point::Open: return "Open";
    case Point::Read: return "Read";
    case Point::Write: return "Write";
    case Point::Close: return "Close";
    case Point::Rename: return "Rename";
    }
    return "?";
}

class FailingChange : public ChangeRuns, public ::testing::WithParamInterface<Point> {
protected:
    sim::FaultPlan& plan(Point p) {
        switch (p) {
        case Point::Memory: return phone().memory.faults();
        case Point::Size: return phone().files.faults(sim::FileOp::Size);
        case Point::Open: return phone().files.faults(sim::FileOp::Open);
        case Point::Read: return phone().files.faults(sim::FileOp::Read);
        case Point::Write: return phone().files.faults(sim::FileOp::Write);
        case Point::Close: return phone().files.faults(sim::FileOp::Close);
        case Point::Rename: return phone().files.faults(sim::FileOp::Rename);
        }
        return phone().memory.faults();
    }

    // Makes call n of the failure point fail for n = 1, 2, ... until a run makes fewer
    // than n calls; checks the file, the resources and the paging model after each.
    void sweep(const Change& c, Point point) {
        constexpr std::uint32_t kMostCalls = 200;
        std::uint32_t n = 1;
        for (; n <= kMostCalls; ++n) {
            SCOPED_TRACE(std::string(c.name) + ", " + pointName(point) + " call " + std::to_string(n) + " fails");
            prepare(c);
            ASSERT_FALSE(HasFatalFailure());
            const std::size_t blocks = phone().memory.outstandingBlocks();
            const std::size_t badReleases = phone().memory.badReleases();
            sim::FaultPlan& faults = plan(point);
            const std::uint32_t callsBefore = faults.calls();
            faults.failNth(n);
            press(sim::kKeyOk);
            const bool failed = faults.calls() - callsBefore >= n;
            faults.clear();

            EXPECT_EQ(phone().state(), sim::AppState::Main);
            EXPECT_FALSE(phone().editorOpen());
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
                ADD_FAILURE() << "the file holds \"" << visible(now) << "\", neither the old \"" << visible(c.before)
                              << "\" nor the new \"" << visible(c.after) << "\"";
            }
            if (!failed) break;
        }
        EXPECT_GT(n, 1u) << "the change never reached " << pointName(point);
        EXPECT_LE(n, kMostCalls) << "the sweep did not end";
    }
};

TEST_P(FailingChange, LeavesTheFileWholeAndNothingBehind) {
    for (const Change& c : kChanges) {
        sweep(c, GetParam());
        if (HasFatalFailure()) return;
    }
}

std::string pointParamName(const ::testing::TestParamInfo<Point>& param) { return pointName(param.param); }

INSTANTIATE_TEST_SUITE_P(EveryFailurePoint, FailingChange,
                         ::testing::Values(Point::Memory, Point::Open, Point::Read, Point::Write, Point::Close,
                                           Point::Rename),
                         pointParamName);
// A failed size query answers 0, as for an empty file: the change must not take that
// for the file's content, nor the recount write the default record over the list.
INSTANTIATE_TEST_SUITE_P(SizeQuery, FailingChange, ::testing::Values(Point::Size), pointParamName);

// ---------------------------------------------------------------------------------
// The count is 8 bits wide: a file of 255 records takes no more; with exactly 255 an
// edit still works, with more it is refused; deleting always works.

TEST_F(Changes, AddingStopsAt255Records) {
    bootOn(numbered(254), 1);
    enter(kAdd, u"last");
    EXPECT_EQ(error(), kNoError);
    EXPECT_EQ(records(), numbered(254) + "\r\nlast");
    EXPECT_EQ(len(), 255);
    expectSelected(255);

    for (int count : {255, 256, 300}) {
        SCOPED_TRACE(count);
        bootOn(numbered(count), 1);
        choose(kAdd);
        EXPECT_EQ(error(), kListFull);
        EXPECT_FALSE(phone().editorOpen()) << "refused before the editor opens";
        EXPECT_EQ(phone().state(), sim::AppState::Main);
        EXPECT_EQ(records(), numbered(count));
        expectValidSelection();
    }
}

TEST_F(Changes, EditingWorksWith255RecordsAndIsRefusedAbove) {
    bootOn(numbered(255), 2);
    enter(kEdit, u"edited");
    EXPECT_EQ(error(), kNoError);
    EXPECT_EQ(records(), "R1\r\n" + numbered(255, 3) + "\r\nedited");
    EXPECT_EQ(len(), 255);
    expectSelected(255);

    bootOn(numbered(256), 2);
    choose(kEdit);
    EXPECT_EQ(error(), kListFull);
    EXPECT_FALSE(phone().editorOpen());
    EXPECT_EQ(records(), numbered(256));
    expectValidSelection();
}

TEST_F(Changes, DeletingWorksWhateverTheCount) {
    for (int count : {255, 256, 260}) {
        SCOPED_TRACE(count);
        bootOn(numbered(count), 2);
        choose(kDelete);
        EXPECT_EQ(error(), kNoError);
        EXPECT_EQ(records(), "R1\r\n" + numbered(count, 3));
        expectValidSelection();
    }
}

TEST_F(Changes, TheLimitIsCheckedAgainstTheFileAtTheTimeOfTheChange) {
    // Another program fills the list while the editor is open.
    bootOn(numbered(254), 3);
    openEditor(kAdd);
    writeRecords(numbered(255));
    phone().setEditorText(u"one too many");
    press(sim::kKeyOk);
    EXPECT_EQ(error(), kListFull);
    EXPECT_EQ(records(), numbered(255));
    expectValidSelection();

    bootOn(numbered(254), 3);
    openEditor(kEdit);
    writeRecords(numbered(256));
    phone().setEditorText(u"edited");
    press(sim::kKeyOk);
    EXPECT_EQ(error(), kListFull);
    EXPECT_EQ(records(), numbered(256));
    expectValidSelection();
}

// ---------------------------------------------------------------------------------
// A record longer than the editor holds cannot be edited without losing its end; it
// can still be the start of a new record.

TEST_F(Changes, ARecordLongerThan50CharactersIsNotEdited) {
    for (int length : {51, 60, 300}) {
        SCOPED_TRACE(length);
        const std::string longRecord(static_cast<std::size_t>(length), 'L');
        const std::string file = "A\r\n" + longRecord + "\r\nC";
        bootOn(file, 2);
        choose(kEdit);
        EXPECT_EQ(error(), kTooLong);
        EXPECT_FALSE(phone().editorOpen());
        EXPECT_EQ(records(), file);
        press(sim::kKeyOk);
        EXPECT_EQ(error(), kNoError);

        // Adding starts from its first 50 characters.
        openEditor(kAdd);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(phone().dialogs.topEditor()->text(), std::u16string(kRecordChars, u'L'));
        press(sim::kKeyOk);
        EXPECT_EQ(error(), kNoError);
        EXPECT_EQ(records(), file + "\r\n" + std::string(kRecordChars, 'L'));
    }

    // Exactly 50 characters can be edited.
    const std::string fifty(kRecordChars, 'F');
    bootOn("A\r\n" + fifty + "\r\nC", 2);
    enter(kEdit, u"short");
    EXPECT_EQ(error(), kNoError);
    EXPECT_EQ(records(), "A\r\nC\r\nshort");
}

TEST_F(Changes, ARecordThatGrewWhileEditingIsNotReplaced) {
    bootOn("A\r\nB\r\nC", 2);
    openEditor(kEdit);
    const std::string grown = "A\r\n" + std::string(70, 'G') + "\r\nC";
    writeRecords(grown);
    phone().setEditorText(u"Y");
    press(sim::kKeyOk);
    EXPECT_EQ(error(), kTooLong);
    EXPECT_EQ(records(), grown);
    expectValidSelection();
}

// ---------------------------------------------------------------------------------
// The editor's text is taken with a bound of 50 characters, whatever the editor hands
// over.

TEST_F(Changes, AnOverlongEditorTextIsCutTo50Characters) {
    for (int item : {kAdd, kEdit}) {
        SCOPED_TRACE(item);
        bootOn("A\r\nB", 1);
        openEditor(item);
        ASSERT_FALSE(HasFatalFailure());
        const std::uint32_t dCtx = global<std::uint32_t>("dCtx");
        const std::uint32_t sDraw = global<std::uint32_t>("sDraw");
        const std::uint32_t sDisp = global<std::uint32_t>("sDisp");
        std::u16string text;
        for (int i = 0; i < 200; ++i) text += static_cast<char16_t>(u'a' + i % 26);
        phone().framework.post(std::make_unique<sim::Event>(EV_EDITOR_DATA, 0, text));
        phone().framework.run();

        const std::string kept(text.begin(), text.begin() + kRecordChars);
        EXPECT_EQ(records(), item == kAdd ? "A\r\nB\r\n" + kept : "B\r\n" + kept);
        EXPECT_EQ(phone().state(), sim::AppState::Main);
        // Nothing beyond the edit buffers was overwritten: drawing still works.
        EXPECT_EQ(global<std::uint32_t>("dCtx"), dCtx);
        EXPECT_EQ(global<std::uint32_t>("sDraw"), sDraw);
        EXPECT_EQ(global<std::uint32_t>("sDisp"), sDisp);
        EXPECT_EQ(global<std::uint8_t>("mx"), kPageRows);
        expectShownSelected(kept);
    }
}

// ---------------------------------------------------------------------------------
// Whether an edit replaces the whole file is decided from what the file holds when the
// change is made, not from the count taken when the list was last shown.

TEST_F(Changes, AnEditReadsTheFileAsItIsNow) {
    // One record at start; another program adds two while the editor is open.
    bootOn("A", 1);
    openEditor(kEdit);
    writeRecords("A\r\nB\r\nC");
    phone().setEditorText(u"Z");
    press(sim::kKeyOk);
    EXPECT_EQ(records(), "B\r\nC\r\nZ");
    EXPECT_EQ(error(), kNoError);
    EXPECT_EQ(len(), 3);
    expectSelected(3);

    // The other way: the selected record is gone by the time of the change.
    bootOn("A\r\nB", 2);
    openEditor(kEdit);
    writeRecords("Q");
    phone().setEditorText(u"Z");
    press(sim::kKeyOk);
    EXPECT_EQ(records(), "Q");
    EXPECT_EQ(error(), kNotSaved);
    expectValidSelection();

    // A delete as well.
    bootOn("A\r\nB\r\nC", 3);
    writeRecords("A\r\nB");
    choose(kDelete);
    EXPECT_EQ(records(), "A\r\nB");
    EXPECT_EQ(error(), kNotSaved);
    expectValidSelection();
}

}  // namespace
