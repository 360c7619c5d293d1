// Changes of the record file made through the menu and the character editor, as a user makes
// them: the bytes each change leaves in the file, the selection and the message shown after
// it, refusals at the limits, a file changed by another program meanwhile, and every
// allocation or file operation failing in turn.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app_test.hpp"
#include "options.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

const char* const kOnlyRecord = "This operation not possible!";
const char* const kListFull = "The list is full!";
const char* const kTooLong = "The record is too long!";
const char* const kNotSaved = "Write error!";
const char* const kNotRead = "Read error!";  // nothing was written

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
    // A change adds or edits one record: a CR typed is a blank, an LF (which ends no record)
    // stays, and so does one the record held; a zero byte, which the editor shows as a blank, is
    // saved as one and drops nothing after it.
    {"A\r\nB", 1, kAdd, u"X\r\nY\nZ", "A\r\nB\r\nX \nY\nZ", 3},
    {"A\r\nD\r\nb\nc", 3, kEdit, u"b\nc", "A\r\nD\r\nb\nc", 3},
    {std::string("A\0BCDEF\r\nC", 10), 1, kEdit, u"A BCDEF", "C\r\nA BCDEF", 2},
};

// The changes that run under every failure: adding (also an empty text), deleting the first, a
// middle and the last record, editing in a file of one record (also to an empty text) and of
// many.
const Change kSwept[] = {kChanges[3], kChanges[4], kChanges[0], kChanges[1],
                         kChanges[2], kChanges[8], kChanges[9], kChanges[6]};

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
    // A fresh phone with the faults of `args` armed through the runner's own options.
    void arm(const std::vector<std::string>& args) {
        restartPhone();
        const auto parsed = runner::parseOptions(args, "", NUV_MODULE_PATH);
        ASSERT_TRUE(parsed) << parsed.error().text;
        runner::applyFaults(phone(), parsed->faults);
    }
};

TEST_F(Changes, EachChangeLeavesItsBytesSelectionAndMessage) {
    for (const Change& c : kChanges) {
        SCOPED_TRACE(describe(c));
        prepare(c);
        ASSERT_FALSE(HasFatalFailure());
        const auto renames = phone().files().faults(sim::FileOp::Rename).calls();
        finish(c);
        EXPECT_EQ(visible(records()), visible(c.after));
        EXPECT_EQ(message(), glyphForm(c.message));
        EXPECT_EQ(position().selected, c.selectedAfter);
        if (!*c.message) {
            EXPECT_EQ(phone().files().faults(sim::FileOp::Rename).calls(), renames + 1) << "one replacement";
        }
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_TRUE(nothingHeld());
        if (!*c.message) {
            // The list counts what the file now holds, as a fresh start on it does.
            const int count = position().count;
            restartPhone();
            boot();
            EXPECT_EQ(position().count, count);
            continue;
        }
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
        const int count = position().count;
        phone().files().faults(sim::FileOp::Rename).failAlways();
        phone().files().faults(sim::FileOp::Delete).failAlways();
        finish(c);
        EXPECT_EQ(records(), c.before);
        EXPECT_EQ(message(), glyphForm(kNotSaved));
        EXPECT_EQ(readFile(tempFile()), c.after) << "the whole new content";
        restartPhone();
        boot();
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_EQ(records(), c.before);
        EXPECT_EQ(position().count, count);
    }
    std::filesystem::remove(recordFile());
    std::ofstream(tempFile(), std::ios::binary) << "S1\r\nS2\r\nS3";
    restartPhone();
    boot();
    EXPECT_FALSE(std::filesystem::exists(tempFile()));
    EXPECT_EQ(records(), kDefaultRecord);
}

// While the file cannot be read, the list shows one empty record and every change is refused as
// a read error, with nothing written; the list is counted again at the next key, and changes work once it can be read.
TEST_F(Changes, WhileTheFileCannotBeReadEveryChangeIsRefused) {
    writeRecords("A\r\nB\r\nC");
    phone().files().faults(sim::FileOp::Read).failAlways();
    boot();
    EXPECT_EQ(position(), (Position{1, 1}));
    for (int item : {kEdit, kAdd, kDelete}) {
        choose(item);
        EXPECT_FALSE(phone().editorOpen());
        EXPECT_EQ(message(), glyphForm(kNotRead));
        press(KEY_OK);
    }
    phone().files().faults(sim::FileOp::Read).clear();
    press(KEY_DOWN);
    EXPECT_EQ(position(), (Position{2, 3}));
    choose(kDelete);
    EXPECT_EQ(records(), "A\r\nC");
}

// The power goes in each write a change makes: the run ends with status 3, the record file is the
// old one or the new one whole, and the next start removes the half-written temporary file and
// counts the list.
TEST_F(Changes, APowerCutInAnyWriteLeavesAWholeFile) {
    for (const Change& c : kSwept) {
        prepare(c);
        const std::uint32_t before = phone().files().faults(sim::FileOp::Write).calls();
        finish(c);
        const std::uint32_t during = phone().files().faults(sim::FileOp::Write).calls() - before;
        std::string script = "press soft-left\n";
        for (int i = 1; i < c.record; ++i) script = "press down\n" + script;
        for (int i = 0; i < c.item; ++i) script += "press down\n";
        script += c.item == kDelete ? "press ok\n" : "press ok\ntext " + utf8(c.text) + "\npress ok\n";
        for (std::uint32_t n = 1; n <= during; ++n) {
            SCOPED_TRACE(describe(c) + ", the power goes in write " + std::to_string(before + n));
            const std::filesystem::path folder = root() / "cut";
            std::filesystem::remove_all(folder);
            std::filesystem::create_directories(folder / "ph" / "elf");
            std::ofstream(folder / "ph" / "elf" / "BlackList.txt", std::ios::binary) << c.before;
            const std::string args = "--headless --fs ph --lang en";
            const SimRun cut = runSimulator(
                folder, args + " --power-loss-at-write " + std::to_string(before + n) + " --script -", script);
            EXPECT_EQ(cut.status, 3) << cut.output;
            const std::string now = readFile(folder / "ph" / "elf" / "BlackList.txt");
            EXPECT_TRUE(now == c.before || now == c.after) << visible(now);
            const SimRun next = runSimulator(folder, args + " --script -", "expect state main\n");
            EXPECT_EQ(next.status, 0) << next.output;
            EXPECT_FALSE(std::filesystem::exists(folder / "ph" / "elf" / "BlackList.tmp"));
            EXPECT_EQ(readFile(folder / "ph" / "elf" / "BlackList.txt"), now);
        }
    }
}

// Two failed reads of different kinds (opening, reading, asking the size), each at any of the
// first eight calls, while the user moves, opens the menu and makes a change: the editor opens on
// the record the list shows selected or not at all, an edit confirmed unchanged keeps the same
// records, an add adds the selected record or nothing, a delete removes it or nothing. The bar
// never shows a position past the count.
TEST_F(Changes, FailedReadsNeverMakeAChangeWorkOnAnotherRecord) {
    const std::vector<std::string> list = {"A", "B", "C", "D"};
    const auto bytes = [](const std::vector<std::string>& records) {
        std::string out;
        for (const std::string& r : records) out += (out.empty() ? "" : "\r\n") + r;
        return out;
    };
    const char* const kinds[] = {"--fail-open", "--fail-read", "--fail-size"};
    for (const char* first : kinds)
        for (const char* second : kinds) {
            if (std::string(first) >= second) continue;
            for (int n = 1; n <= 8; ++n)
                for (int m = 1; m <= 8; ++m)
                    for (int item : {kEdit, kAdd, kDelete}) {
                        const std::string faults =
                            std::string(first) + " " + std::to_string(n) + " " + second + " " + std::to_string(m);
                        SCOPED_TRACE(faults + ", menu item " + std::to_string(item));
                        arm({first, std::to_string(n), second, std::to_string(m)});
                        bootWith(bytes(list));
                        press(KEY_DOWN, 2);
                        highlight(item);
                        press(KEY_OK);
                        const int selected = position().selected;
                        ASSERT_TRUE(selected >= 1 && selected <= 4) << position();
                        const std::string record = list[selected - 1];
                        std::vector<std::string> changed = list;
                        changed.erase(changed.begin() + (selected - 1));
                        if (item != kDelete) changed.push_back(record);
                        if (item == kAdd) changed = list, changed.push_back(record);
                        if (phone().editorOpen()) {
                            EXPECT_EQ(utf8(phone().dialogs().topEditor()->text()), record);
                            press(KEY_OK);
                        }
                        expectValidSelection();  // also while a recount keeps failing
                        phone().tick();
                        EXPECT_TRUE(records() == bytes(list) || records() == bytes(changed)) << visible(records());
                        EXPECT_TRUE(nothingHeld());
                    }
        }
}

// The faults a user gives the runner: the n-th call of a service fails, counted from 1 since the
// module was loaded.
struct FaultKind {
    const char* option;
    std::function<std::uint32_t(sim::Phone&)> calls;  // made so far
};
const FaultKind kFaults[] = {
    {"--fail-alloc", [](sim::Phone& p) { return p.memory().faults().calls(); }},
    {"--fail-size", [](sim::Phone& p) { return p.files().faults(sim::FileOp::Size).calls(); }},
    {"--fail-open", [](sim::Phone& p) { return p.files().faults(sim::FileOp::Open).calls(); }},
    {"--fail-read", [](sim::Phone& p) { return p.files().faults(sim::FileOp::Read).calls(); }},
    {"--fail-write", [](sim::Phone& p) { return p.files().faults(sim::FileOp::Write).calls(); }},
    {"--fail-close", [](sim::Phone& p) { return p.files().faults(sim::FileOp::Close).calls(); }},
    {"--fail-rename", [](sim::Phone& p) { return p.files().faults(sim::FileOp::Rename).calls(); }},
    {"--fail-dialog", [](sim::Phone& p) { return p.dialogs().creationFaults().calls(); }},
};
void PrintTo(const FaultKind& kind, std::ostream* out) { *out << kind.option; }

class FaultSweep : public Changes, public ::testing::WithParamInterface<FaultKind> {
protected:
    // After a fault: the list is back (tried again at the next event) and counts what the file
    // holds, as the next start does, nothing is held, and the next start removes any temporary file.
    void expectRecovered(const std::string& now) {
        phone().tick();
        EXPECT_EQ(state(), "main");
        EXPECT_TRUE(nothingHeld());
        const int count = position().count;
        restartPhone();
        boot();
        EXPECT_FALSE(std::filesystem::exists(tempFile()));
        EXPECT_EQ(position().count, count);
        EXPECT_EQ(records(), now);
    }
};

// Each change runs once for every call of the service it makes, with that call failing: the file
// is byte for byte the old or the new content, "not saved" is shown exactly where it is the old.
TEST_P(FaultSweep, AChangeLeavesTheOldOrTheNewFileAndSaysWhichIsShown) {
    const FaultKind& kind = GetParam();
    for (const Change& c : kSwept) {
        prepare(c);  // a dry run tells the calls before the confirming key and during the change
        const std::uint32_t before = kind.calls(phone());
        finish(c);
        const std::uint32_t during = kind.calls(phone()) - before;
        for (std::uint32_t n = 1; n <= during; ++n) {
            SCOPED_TRACE(describe(c) + ", " + kind.option + " " + std::to_string(before + n));
            arm({kind.option, std::to_string(before + n)});
            prepare(c);
            press(KEY_OK);
            phone().tick();  // the list comes back, and what a failed allocation left out is drawn
            const std::string now = records();
            if (now == c.before) {
                EXPECT_EQ(message(), glyphForm(kNotSaved));
            } else {
                EXPECT_EQ(visible(now), visible(c.after)) << "neither the old nor the new content";
                EXPECT_EQ(message(), "");
            }
            expectValidSelection();
            expectRecovered(now);
        }
    }
}

// Two faults at start, each at any of the first calls of its service: the list of three records is
// never written over, and a change made next either works or says "not saved".
TEST_P(FaultSweep, FaultsAtStartNeverWriteOverTheList) {
    const FaultKind& first = GetParam();
    const std::string file = "A\r\nB\r\nC";
    for (const FaultKind& second : kFaults) {
        if (std::string(second.option) <= first.option) continue;
        for (std::uint32_t n = 1; n <= 6; ++n)
            for (std::uint32_t m = 1; m <= 6; ++m) {
                SCOPED_TRACE(std::string(first.option) + " " + std::to_string(n) + " " + second.option + " " +
                             std::to_string(m));
                arm({first.option, std::to_string(n), second.option, std::to_string(m)});
                bootWith(file);
                EXPECT_EQ(records(), file);
                selectRecord(2);
                choose(kDelete);
                phone().tick();
                const std::string now = records();
                EXPECT_TRUE(now == file ? message() == glyphForm(kNotSaved) : now == "A\r\nC" && message().empty())
                    << visible(now) << " with the message \"" << message() << "\"";
                expectRecovered(now);
            }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FaultSweep, ::testing::ValuesIn(kFaults),
                         [](const auto& kind) { return std::string(kind.param.option + 7); });

}  // namespace
