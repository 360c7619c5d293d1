// Start-up: the record file's path, its creation and counting, the texts by language,
// the state machine, and the end of the application.
#include <cstring>
#include <fstream>

#include "app_test.hpp"

using namespace nuvtest;

namespace {

std::string repeat(const std::string& record, int times, const std::string& separator = "\r\n") {
    std::string out;
    for (int i = 0; i < times; ++i) out += (i ? separator : "") + record;
    return out;
}

}  // namespace

class StartupTest : public AppTest {
protected:
    std::u16string recordPath() { return std::u16string(&global<const char16_t>("file_name")); }
    std::string cString(const char* name) { return global<const char*>(name); }
};

TEST_F(StartupTest, RecordFileLiesBesideTheApplication) {
    struct Case {
        const char* appPath;
        const char16_t* recordPath;
    };
    const Case cases[] = {
        {"/c/apps/edit.elf", u"/c/apps/BlackList.txt"},
        {"/edit.elf", u"/BlackList.txt"},
        {"/c/x.y/edit", u"/c/x.y/BlackList.txt"},  // the last "/" counts, not the last "."
        {"edit.elf", u"/BlackList.txt"},           // no folder at all: the phone's root
        {"/a//b/", u"/a//b/BlackList.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.appPath);
        restartPhone();
        std::filesystem::create_directories(root() / "c" / "apps");
        std::filesystem::create_directories(root() / "c" / "x.y");
        std::filesystem::create_directories(root() / "a" / "b");
        boot(LANGUAGE_ENGLISH, c.appPath);
        EXPECT_EQ(recordPath(), c.recordPath);
        std::u16string path = c.recordPath;
        EXPECT_TRUE(std::filesystem::exists(root() / std::string(path.begin() + 1, path.end())));
    }
}

TEST_F(StartupTest, PathThatDoesNotFitIsRefusedBeforeRegistering) {
    // 241 characters of folder plus "BlackList.txt" is 254: the most that fits.
    const std::string fits = "/" + std::string(239, 'f') + "/x.elf";
    const std::string tooLong = "/" + std::string(240, 'f') + "/x.elf";
    std::filesystem::create_directories(root() / std::string(239, 'f'));
    std::filesystem::create_directories(root() / std::string(240, 'f'));

    const auto refused = phone().boot(NUV_MODULE_PATH, tooLong);
    EXPECT_EQ(refused.status, sim::BootStatus::NotRegistered);
    EXPECT_FALSE(phone().framework.registered());
    EXPECT_FALSE(std::filesystem::exists(root() / std::string(240, 'f') / "BlackList.txt"));

    restartPhone();
    boot(LANGUAGE_ENGLISH, fits);
    EXPECT_EQ(recordPath().size(), 254u);
    EXPECT_TRUE(std::filesystem::exists(root() / std::string(239, 'f') / "BlackList.txt"));

    // A long file part is no reason to refuse: only the folder is kept.
    restartPhone();
    boot(LANGUAGE_ENGLISH, "/elf/" + std::string(400, 'n') + ".elf");
    EXPECT_EQ(recordPath(), u"/elf/BlackList.txt");
}

TEST_F(StartupTest, MissingOrEmptyFileGetsTheDefaultRecord) {
    for (const bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty file" : "missing file");
        restartPhone();
        std::filesystem::remove(recordFile());
        if (empty) writeRecords("");
        boot();
        EXPECT_EQ(records(), kDefaultRecord);
        EXPECT_EQ(len(), 1);
        EXPECT_EQ(global<std::uint32_t>("base_size"), 17u);
    }
}

TEST_F(StartupTest, RecordsAreCountedByTheirCarriageReturns) {
    struct Case {
        std::string bytes;
        int len;
        bool overflow;
    };
    const Case cases[] = {
        {"A", 1, false},
        {"A\r\nB", 2, false},
        {"A\r\nB\r\n", 3, false},  // an empty last record counts
        {"A\r", 1, false},         // a final CR does not
        {"A\nB", 1, false},        // LF alone separates nothing
        {"\r\n", 2, false},
        {"A\r\rB", 3, false},
        {repeat("r", 255), 255, false},
        {repeat("r", 256), 255, true},
        {repeat("r", 1000), 255, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(visible(c.bytes.substr(0, 20)));
        restartPhone();
        writeRecords(c.bytes);
        boot();
        EXPECT_EQ(len(), c.len);
        EXPECT_EQ(global<std::uint8_t>("len_overflow"), c.overflow ? 1 : 0);
        EXPECT_EQ(global<std::uint32_t>("base_size"), c.bytes.size());
        EXPECT_EQ(records(), c.bytes) << "counting never changes the file";
        EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
    }
}

TEST_F(StartupTest, CountThatCannotReadClaimsNothing) {
    writeRecords("A\r\nB\r\nC");
    // The first allocation and the first read of a start are those of the count.
    phone().memory.faults().failNth(1);
    boot();
    EXPECT_EQ(len(), 1);
    EXPECT_EQ(global<std::uint32_t>("base_size"), 0u);
    EXPECT_EQ(global<std::uint8_t>("count_failed"), 1);
    EXPECT_EQ(records(), "A\r\nB\r\nC");

    restartPhone();
    phone().files.faults(sim::FileOp::Read).failNth(1);
    boot();
    EXPECT_EQ(len(), 1);
    EXPECT_EQ(global<std::uint32_t>("base_size"), 0u);
    EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
    EXPECT_EQ(phone().files.openHandles(), 0u);
    EXPECT_EQ(records(), "A\r\nB\r\nC");
}

TEST_F(StartupTest, StaleTemporaryFileIsRemovedAndNeverRead) {
    writeRecords("A\r\nB");
    std::ofstream(root() / "elf" / "BlackList.tmp", std::ios::binary) << "half\r\nwritten";
    boot();
    EXPECT_FALSE(std::filesystem::exists(root() / "elf" / "BlackList.tmp"));
    EXPECT_EQ(records(), "A\r\nB");
    EXPECT_EQ(len(), 2);
}

TEST_F(StartupTest, TextsFollowTheLanguage) {
    struct Case {
        std::uint8_t language;
        const char* softline;
        const char* menu;
    };
    const Case cases[] = {
        {0x23, "Меню", "Изменить|Удалить|Добавить|Справка|Выйти"},
        {0x01, "Menu", "Edit line|Delete|Add line|About|Exit"},
        {0x07, "Menu", "Edit line|Delete|Add line|About|Exit"},
        {0x00, "Menu", "Edit line|Delete|Add line|About|Exit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.language));
        restartPhone();
        boot(c.language);
        EXPECT_EQ(global<std::uint8_t>("LGID"), c.language);
        EXPECT_EQ(cString("softline"), cp1251(c.softline));
        EXPECT_EQ(cString("menu"), cp1251(c.menu));
        EXPECT_EQ(cString("l_ok"), cp1251("Ок"));
        // The editor's title is "Номер" in CP1251 bytes widened to 16 bits, in both.
        EXPECT_EQ(std::u16string(global<const char16_t*>("bf_offset")), u"\u00CD\u00EE\u00EC\u00E5\u00F0");
        EXPECT_EQ(phone().resources.text(global<std::uint32_t>("Resources")), u"\u00CD\u00EE\u00EC\u00E5\u00F0");
    }
}

TEST_F(StartupTest, EveryLoadStartsFromTheInitialGlobals) {
    // Russian is the initial text set: English repoints it. A load after an English run
    // must show Russian again, which it can only if the module really was reloaded.
    boot(LANGUAGE_ENGLISH);
    press(KEY_END);
    ASSERT_FALSE(phone().loader.loaded());
    restartPhone();
    boot(LANGUAGE_RUSSIAN);
    EXPECT_EQ(cString("softline"), cp1251("Меню"));
    EXPECT_EQ(global<std::uint16_t>("setmenu"), 0);
}

TEST_F(StartupTest, GrantWithoutTheTokenStaysInInit) {
    phone().framework.setGrantOutcome(0, 1);
    boot();
    EXPECT_EQ(phone().stateId(), 1u);
    EXPECT_EQ(phone().dialogs.count(), 0u);
    // A tick before the drawing layer is bound paints nothing and breaks nothing.
    phone().tick();
    EXPECT_EQ(phone().graphics.display(), sim::Surface());

    phone().framework.setGrantOutcome(7, 2);  // the framework's own handling fails
    phone().deliver(EV_TOKEN_GRANTED);
    EXPECT_EQ(phone().stateId(), 1u);

    phone().framework.setGrantOutcome(0, 2);  // the next grant is handled again
    phone().deliver(EV_TOKEN_GRANTED);
    EXPECT_EQ(phone().stateId(), 2u);
    EXPECT_EQ(phone().dialogs.count(), 1u);
    phone().tick();
    EXPECT_NE(phone().graphics.display(), sim::Surface());
}

TEST_F(StartupTest, EntryOfAnotherKindChangesNothing) {
    boot();
    const std::uint32_t canvas = phone().framework.record()->dialog;
    EXPECT_EQ(phone().framework.reenter(1), 0u);
    EXPECT_EQ(phone().framework.record()->dialog, canvas);
    EXPECT_EQ(phone().dialogs.count(), 1u);
    EXPECT_EQ(phone().framework.reenter(0), 0u);  // a plain entry makes a new canvas
    EXPECT_NE(phone().framework.record()->dialog, canvas);
    EXPECT_EQ(phone().dialogs.count(), 1u);
}

TEST_F(StartupTest, CanvasThatCannotBeCreatedRefusesTheMainState) {
    phone().dialogs.creationFaults().failNth(1);
    boot();
    EXPECT_EQ(phone().stateId(), 1u);
    EXPECT_EQ(phone().framework.record()->dialog, 0u);
}

TEST_F(StartupTest, TickRepaintsInEveryState) {
    bootWith("A\r\nB");
    phone().graphics.display().fill(0);
    phone().tick();
    EXPECT_NE(phone().graphics.display(), sim::Surface()) << "main state";

    press(KEY_SOFT_LEFT);
    press(KEY_OK);  // Edit line
    ASSERT_EQ(phone().stateId(), 3u);
    phone().graphics.display().fill(0);
    const sim::Surface editor = screen();
    phone().tick();
    EXPECT_NE(phone().graphics.display(), sim::Surface()) << "the list is painted behind the editor";
    EXPECT_EQ(screen(), editor) << "but the editor stays on top";
}

TEST_F(StartupTest, EndKeyEndsTheApplicationAndReleasesEverything) {
    bootWith("A\r\nB");
    EXPECT_EQ(phone().resources.count(), 1u);
    press(KEY_END);
    EXPECT_EQ(phone().lifecycle(), sim::Lifecycle::Ended);
    EXPECT_FALSE(phone().loader.loaded());
    EXPECT_EQ(phone().resources.count(), 0u);
    EXPECT_EQ(phone().dialogs.count(), 0u);
    EXPECT_EQ(phone().memory.outstandingBlocks(), 0u);
    EXPECT_EQ(phone().files.openHandles(), 0u);
    EXPECT_EQ(phone().framework.appName(), "nuv-oka");
}

// The framework reads a handler table only up to its end marker.
namespace {
int calledAfterEnd = 0;
UINT32 markCalled(event_context_t*, app_record_t*) {
    ++calledAfterEnd;
    return 0;
}
UINT32 startNothing(event_context_t*, UINT32) { return 0; }
}  // namespace

TEST(Framework, HandlerTableEndsAtItsMarker) {
    nuvtest::TempFolder folder;
    sim::Phone phone({folder.path(), LANGUAGE_ENGLISH});
    const event_handler_entry_t table[] = {{EVENT_TABLE_END, nullptr}, {EV_TICK, markCalled}};
    const state_row_t states[] = {{0, {}, nullptr, nullptr, table}, {1, {}, nullptr, nullptr, table}};
    const std::uint32_t base = 7;
    ASSERT_EQ(phone.framework.registerApp(&base, 1, states, 2, startNothing), 0u);
    app_record_t* app = phone.framework.initAppData(APP_HandleEvent, sizeof(app_record_t), 1);
    ASSERT_EQ(phone.framework.start(nullptr, app, 1, states, nullptr, nullptr), 0u);
    phone.deliver(EV_TICK);
    EXPECT_EQ(calledAfterEnd, 0);
}
