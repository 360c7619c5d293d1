// Start-up: the record file's path, its creation and counting, the texts by language, the state
// machine, the end of the application, and what start-up does when the platform fails it.
#include <fstream>

#include "app_test.hpp"

using namespace nuvtest;

class Startup : public AppTest {
protected:
    std::u16string recordPath() { return std::u16string(&global<const char16_t>("file_name")); }
};

TEST_F(Startup, RecordFileLiesBesideTheApplication) {
    const std::pair<const char*, const char*> cases[] = {
        {"/c/apps/edit.elf", "c/apps/BlackList.txt"},
        {"/edit.elf", "BlackList.txt"},
        {"/c/x.y/edit", "c/x.y/BlackList.txt"},  // the last "/" counts, not the last "."
        {"edit.elf", "BlackList.txt"},           // no folder at all: the phone's root
        {"/a//b/", "a/b/BlackList.txt"},
    };
    for (const auto& [appPath, recordPath] : cases) {
        SCOPED_TRACE(appPath);
        restartPhone();
        for (const char* folder : {"c/apps", "c/x.y", "a/b"}) std::filesystem::create_directories(root() / folder);
        boot(LANGUAGE_ENGLISH, appPath);
        EXPECT_EQ(readFile(root() / recordPath), kDefaultRecord);
    }
}

TEST_F(Startup, PathThatDoesNotFitIsRefusedBeforeRegistering) {
    // 241 characters of folder plus "BlackList.txt" is 254: the most that fits. A long file part
    // is no reason to refuse: only the folder is kept.
    const std::string folder(239, 'f'), longer(240, 'f');
    const std::string fits = (std::filesystem::path("/") / folder / std::string(400, 'x')).string();
    const std::string tooLong = (std::filesystem::path("/") / longer / "x.elf").string();
    std::filesystem::create_directories(root() / std::string(239, 'f'));
    std::filesystem::create_directories(root() / std::string(240, 'f'));

    const auto refused = phone().boot(NUV_MODULE_PATH, tooLong);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, sim::LoadError::Kind::NotRegistered);
    EXPECT_FALSE(phone().framework().registered());
    EXPECT_FALSE(phone().framework().startRequested()) << "no start without a registration";
    EXPECT_FALSE(std::filesystem::exists(root() / std::string(240, 'f') / "BlackList.txt"));

    restartPhone();
    boot(LANGUAGE_ENGLISH, fits);
    EXPECT_EQ(recordPath().size(), 254u);
    EXPECT_TRUE(std::filesystem::exists(root() / std::string(239, 'f') / "BlackList.txt"));
}

TEST_F(Startup, MissingOrEmptyFileGetsTheDefaultRecord) {
    for (const bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty file" : "missing file");
        restartPhone();
        std::filesystem::remove(recordFile());
        if (empty) writeRecords("");
        boot();
        EXPECT_EQ(records(), kDefaultRecord);
        EXPECT_EQ(global<std::uint8_t>("count_failed"), 0);
    }
}

TEST_F(Startup, RecordsAreCountedByTheirCarriageReturns) {
    const struct {
        std::string bytes;
        int count;
    } cases[] = {
        {"A", 1},    {"A\r\nB", 2}, {"A\r\nB\r\n", 3},                           // an empty last record counts
        {"A\r", 1},                                                              // a final CR does not
        {"A\nB", 1},                                                             // LF alone separates nothing
        {"\r\n", 2}, {"A\r\rB", 3}, {numbered(255), 255}, {numbered(256), 255},  // the count stops at 255
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(visible(c.bytes.substr(0, 20)));
        restartPhone();
        bootWith(c.bytes);
        EXPECT_EQ(position(), (Position{1, c.count}));
        EXPECT_EQ(records(), c.bytes) << "counting never changes the file";
        EXPECT_TRUE(nothingHeld());
    }
}

TEST_F(Startup, GrantWithoutTheTokenStaysInInit) {
    phone().framework().setGrantOutcome(0, 1);
    boot();
    EXPECT_EQ(state(), "init");
    EXPECT_EQ(phone().dialogs().count(), 0u);
    // A tick before the drawing layer is bound paints nothing and breaks nothing.
    phone().tick();
    EXPECT_EQ(phone().graphics().display(), sim::Surface());

    phone().framework().setGrantOutcome(7, 2);  // the framework's own handling fails
    phone().deliver(EV_TOKEN_GRANTED);
    EXPECT_EQ(state(), "init");

    phone().framework().setGrantOutcome(0, 2);  // the next grant is handled again
    phone().deliver(EV_TOKEN_GRANTED);
    EXPECT_EQ(state(), "main");
    phone().tick();
    EXPECT_NE(phone().graphics().display(), sim::Surface());
}

// A suspension and a resume change nothing; a canvas that cannot be made refuses the main state;
// without its title resource the editor opens untitled; a tick repaints in every state, the
// list behind the editor, which stays on top.
TEST_F(Startup, StatesEnteredAndRefused) {
    boot();
    const std::uint32_t canvas = phone().framework().record()->dialog;
    ASSERT_TRUE(phone().interrupt());  // the main state suspended and resumed: the same canvas
    ASSERT_TRUE(phone().resume());
    EXPECT_EQ(phone().framework().record()->dialog, canvas);
    choose(kEdit);  // back from the editor the main state is entered plainly: a new canvas
    phone().editorBack();
    ASSERT_EQ(state(), "main");
    EXPECT_NE(phone().framework().record()->dialog, canvas);
    EXPECT_EQ(phone().dialogs().count(), 1u);

    // Without a canvas the application waits in its init state and tries again at the next event.
    restartPhone();
    phone().dialogs().creationFaults().failNth(1);
    ASSERT_TRUE(phone().load(NUV_MODULE_PATH));
    ASSERT_EQ(phone().loader().callEntry(nuvoka::kAppPath, sim::kEvcodeBase), 0u);
    ASSERT_EQ(phone().framework().runStart(), 0u);
    phone().deliver(EV_TOKEN_GRANTED);
    EXPECT_EQ(state(), "init");
    EXPECT_EQ(phone().framework().record()->dialog, 0u);
    phone().tick();
    EXPECT_EQ(state(), "main");
    restartPhone();  // the end key leaves from the init state too
    phone().framework().setGrantOutcome(0, 1);
    boot();
    press(KEY_END);
    EXPECT_EQ(state(), "ended");

    restartPhone();
    phone().resources().creationFaults().failNth(1);
    boot();
    choose(kEdit);
    ASSERT_EQ(state(), "edit");
    EXPECT_EQ(phone().dialogs().topEditor()->title(), u"");
    phone().graphics().display().fill(0);
    const sim::Surface editor = screen();
    phone().tick();
    EXPECT_NE(phone().graphics().display(), sim::Surface()) << "the list is painted behind the editor";
    EXPECT_EQ(screen(), editor);
}

TEST_F(Startup, EndKeyEndsTheApplicationAndReleasesEverything) {
    bootWith("A\r\nB");
    EXPECT_EQ(phone().resources().count(), 1u);
    press(KEY_END);
    EXPECT_EQ(state(), "ended");
    EXPECT_FALSE(phone().loader().loaded());
    EXPECT_FALSE(phone().framework().registered()) << "the framework keeps no pointer into the module";
    EXPECT_EQ(phone().resources().count(), 0u);
    EXPECT_EQ(phone().dialogs().count(), 0u);
    EXPECT_TRUE(nothingHeld());
    EXPECT_EQ(phone().framework().appName(), nuvoka::kName);
}
