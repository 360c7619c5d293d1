// The edit state: the character editor opened on the selected record, what it hands
// back, the way back to the list, and the state routines under the entry and exit kinds
// the framework uses.
#include <cstdint>
#include <string>
#include <variant>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

constexpr int kRecordChars = 50;
constexpr std::size_t kRowChars = 32;  // characters a row of the list shows
enum MenuItem { kEdit = 0, kDelete = 1, kAdd = 2 };
constexpr sim::Rgb565 kSelectedText = rgb(200, 200, 200);
// "Номер" in CP1251, each byte as one 16-bit code unit.
const std::u16string kTitle = {0x00CD, 0x00EE, 0x00EC, 0x00E5, 0x00F0};

// CP1251 bytes widened to 16 bits one by one, as the editor gets them.
std::u16string widened(const std::string& bytes) {
    std::u16string text;
    for (unsigned char c : bytes) text.push_back(static_cast<char16_t>(c));
    return text;
}

class Editing : public AppTest {
protected:
    int flag(const char* name) { return global<std::uint8_t>(name); }

    void bootOn(const std::string& bytes, int record, std::uint8_t language = sim::kLanguageEnglish) {
        restartPhone(language);
        bootWith(bytes, language);
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
    void openEditor(int item) {
        openMenuOn(item);
        ASSERT_FALSE(HasFatalFailure());
        press(sim::kKeyOk);
        ASSERT_TRUE(phone().editorOpen());
        ASSERT_EQ(phone().state(), sim::AppState::Edit);
    }
    const sim::CharacterEditor& editor() { return *phone().dialogs.topEditor(); }

    // The dialog in the application record's dialog field, if the platform knows it.
    sim::Dialogs::Dialog* currentDialog() { return phone().dialogs.find(phone().framework.record()->dialog); }

    // Back on the list: one canvas, held in the dialog field, and the list on the screen
    // with the selected record in its row.
    void expectListShown(const std::string& selectedText) {
        EXPECT_EQ(phone().state(), sim::AppState::Main);
        EXPECT_FALSE(phone().editorOpen());
        EXPECT_EQ(phone().dialogs.count(), 1u);
        sim::Dialogs::Dialog* dialog = currentDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(std::holds_alternative<sim::Canvas>(*dialog));
        EXPECT_TRUE(screen() == phone().graphics.display());
        EXPECT_TRUE(
            textDrawn(screen(), 0, 16 * (set() - 1) + 16, selectedText.substr(0, kRowChars), kSelectedText));
    }
};

TEST_F(Editing, TheEditorOpensOnTheSelectedRecord) {
    const std::string fifty(kRecordChars, '7');
    const std::string file = "A\r\n+380501112233 Bob\r\n" + cp1251("Иван Петров +7 999") + "\r\n\xA8\xB8\x96\xAB\xBB\r\n" +
                                fifty + "\r\na\nb\r\n\r\nlast";
    struct Case {
        int record;
        std::string bytes;
    };
    const Case cases[] = {
        {2, "+380501112233 Bob"}, {3, cp1251("Иван Петров +7 999")}, {4, "\xA8\xB8\x96\xAB\xBB"},
        {5, fifty},               {6, "a\nb"},                       {7, ""},
        {8, "last"},
    };
    for (std::uint8_t language : {sim::kLanguageEnglish, sim::kLanguageRussian}) {
        for (int item : {kEdit, kAdd}) {
            for (const Case& c : cases) {
                SCOPED_TRACE("language " + std::to_string(language) + ", item " + std::to_string(item) + ", record " +
                             std::to_string(c.record));
                bootOn(file, c.record, language);
                openEditor(item);
                ASSERT_FALSE(HasFatalFailure());
                EXPECT_EQ(editor().text(), widened(c.bytes));
                EXPECT_EQ(editor().title(), kTitle);
                EXPECT_EQ(editor().maxChars(), static_cast<std::uint32_t>(kRecordChars));
                EXPECT_EQ(records(), file);
            }
        }
    }
}

TEST_F(Editing, AnUnchangedTextComesBackByteForByte) {
    // Every byte a record can hold, in records of at most 50.
    std::string all;
    for (int b = 1; b <= 0xFF; ++b)
        if (b != '\r' && b != '\n') all.push_back(static_cast<char>(b));
    for (std::size_t start = 0; start < all.size(); start += kRecordChars) {
        const std::string record = all.substr(start, kRecordChars);
        SCOPED_TRACE(visible(record));
        bootOn("first\r\n" + record + "\r\nthird", 2);
        openEditor(kEdit);
        ASSERT_FALSE(HasFatalFailure());
        press(sim::kKeyOk);
        EXPECT_EQ(records(), "first\r\nthird\r\n" + record);
    }
}

TEST_F(Editing, NoMoreThan50CharactersReachTheFile) {
    std::u16string typed;
    for (int i = 0; i < 80; ++i) typed += static_cast<char16_t>(u'A' + i % 26);
    const std::string kept(typed.begin(), typed.begin() + kRecordChars);
    // With the editor's own maximum, and with an editor that would hand over more.
    for (std::uint32_t editorMax : {50u, 80u}) {
        for (int item : {kEdit, kAdd}) {
            SCOPED_TRACE("editor maximum " + std::to_string(editorMax) + ", item " + std::to_string(item));
            bootOn("one\r\ntwo", 1);
            global<std::uint32_t>("num_chars") = editorMax;
            openEditor(item);
            ASSERT_FALSE(HasFatalFailure());
            phone().setEditorText(typed);
            ASSERT_EQ(editor().text().size(), static_cast<std::size_t>(editorMax));
            press(sim::kKeyOk);
            EXPECT_EQ(records(), item == kAdd ? "one\r\ntwo\r\n" + kept : "two\r\n" + kept);
            EXPECT_EQ(std::string(&global<char>("buf")), kept);
            expectListShown(kept);
        }
    }
}

TEST_F(Editing, ATickKeepsTheEditorOnTheScreen) {
    bootOn("A\r\nB\r\nC", 2);
    openEditor(kEdit);
    ASSERT_FALSE(HasFatalFailure());
    const std::size_t dialogs = phone().dialogs.count();
    const std::uint32_t dialog = phone().framework.record()->dialog;
    const sim::Surface shown = screen();
    for (int i = 0; i < 3; ++i) phone().tick();
    EXPECT_EQ(phone().state(), sim::AppState::Edit);
    ASSERT_TRUE(phone().editorOpen());
    EXPECT_EQ(phone().dialogs.count(), dialogs);
    EXPECT_EQ(phone().framework.record()->dialog, dialog);
    EXPECT_TRUE(screen() == shown) << "the editor stays on top";
    EXPECT_FALSE(screen() == phone().graphics.display());
    // And it still works.
    phone().setEditorText(u"Y");
    press(sim::kKeyOk);
    EXPECT_EQ(records(), "A\r\nC\r\nY");
}

TEST_F(Editing, ConfirmingOrGoingBackReturnsToThePaintedList) {
    for (bool confirm : {true, false}) {
        SCOPED_TRACE(confirm ? "confirm" : "back");
        bootOn("A\r\nB\r\nC", 2);
        openEditor(kEdit);
        ASSERT_FALSE(HasFatalFailure());
        phone().setEditorText(u"Yankee");
        const auto blits = phone().graphics.counters().blits;
        if (confirm)
            press(sim::kKeyOk);
        else
            phone().editorBack();
        EXPECT_GT(phone().graphics.counters().blits, blits) << "the list is painted";
        EXPECT_EQ(records(), confirm ? "A\r\nC\r\nYankee" : "A\r\nB\r\nC");
        EXPECT_EQ(selected(), confirm ? 3 : 2);
        expectListShown(confirm ? "Yankee" : "B");
        // The keys reach the list again.
        press(sim::kKeyUp);
        EXPECT_EQ(selected(), confirm ? 2 : 1);
    }
}

TEST_F(Editing, AnEditorThatCannotBeCreatedLeavesTheList) {
    for (int item : {kEdit, kAdd}) {
        SCOPED_TRACE(item);
        bootOn("A\r\nB\r\nC", 2);
        openMenuOn(item);
        ASSERT_FALSE(HasFatalFailure());
        const std::size_t blocks = phone().memory.outstandingBlocks();
        phone().dialogs.creationFaults().failNth(1);
        press(sim::kKeyOk);
        phone().dialogs.creationFaults().clear();
        EXPECT_EQ(records(), "A\r\nB\r\nC");
        EXPECT_EQ(flag("OnMenu"), 0);
        EXPECT_EQ(phone().memory.outstandingBlocks(), blocks);
        expectListShown("B");
        press(sim::kKeyDown);
        EXPECT_EQ(selected(), 3);
        expectListShown("C");
    }
}

TEST_F(Editing, EntryAndExitOfAnotherKindKeepTheDialog) {
    bootOn("A\r\nB", 2);
    const std::uint32_t canvas = phone().framework.record()->dialog;
    ASSERT_NE(canvas, 0u);
    const std::size_t dialogs = phone().dialogs.count();

    // The main state entered again with kind 1 neither deletes the canvas nor makes one.
    EXPECT_EQ(phone().framework.reenter(1), 0u);
    EXPECT_EQ(phone().dialogs.count(), dialogs);
    EXPECT_EQ(phone().framework.record()->dialog, canvas);
    press(sim::kKeyUp);
    EXPECT_EQ(selected(), 1);
    expectListShown("A");

    // In the edit state, leaving and entering with kind 1 keep the one editor.
    openEditor(kEdit);
    ASSERT_FALSE(HasFatalFailure());
    const std::uint32_t editorHandle = phone().framework.record()->dialog;
    const std::size_t withEditor = phone().dialogs.count();
    EXPECT_EQ(phone().framework.leave(1), 0u);
    EXPECT_TRUE(phone().editorOpen());
    EXPECT_EQ(phone().dialogs.count(), withEditor);
    EXPECT_EQ(phone().framework.record()->dialog, editorHandle);
    EXPECT_EQ(phone().framework.reenter(1), 0u);
    EXPECT_EQ(phone().dialogs.count(), withEditor);
    EXPECT_EQ(phone().framework.record()->dialog, editorHandle);
    EXPECT_EQ(editor().text(), u"A");

    phone().setEditorText(u"Z");
    press(sim::kKeyOk);
    EXPECT_EQ(records(), "B\r\nZ");
    expectListShown("Z");
}

}  // namespace
