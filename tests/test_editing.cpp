// The edit state: the character editor opened on the selected record, the way back to the
// list, the editor kept on top through ticks and through the entry and exit kinds the
// framework uses, and an editor that cannot be created.
#include <cstdint>
#include <string>
#include <variant>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

constexpr int kRecordChars = 50;
enum MenuItem { kEdit = 0, kDelete = 1, kAdd = 2 };

class Editing : public AppTest {
protected:
    void bootOn(const std::string& bytes, int record) {
        restartPhone();
        bootWith(bytes);
        ASSERT_FALSE(HasFatalFailure());
        pressTimes(KEY_DOWN, record - 1);
        ASSERT_EQ(selected(), record);
    }
    void choose(int item) {
        press(KEY_SOFT_LEFT);
        for (int guard = 0; global<std::uint16_t>("setmenu") != item && guard < 5; ++guard) press(KEY_DOWN);
        ASSERT_EQ(global<std::uint16_t>("setmenu"), item);
        press(KEY_OK);
    }
    const sim::CharacterEditor& editor() { return *phone().dialogs.topEditor(); }

    // Back on the list: one canvas, held in the dialog field, shown on the display with
    // the selected record in its row.
    void expectListShown(const std::string& selectedText) {
        EXPECT_EQ(phone().stateId(), 2u);
        EXPECT_FALSE(phone().editorOpen());
        EXPECT_EQ(phone().dialogs.count(), 1u);
        sim::Dialogs::Dialog* dialog = phone().dialogs.find(phone().framework.record()->dialog);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(std::holds_alternative<sim::Canvas>(*dialog));
        EXPECT_TRUE(screen() == phone().graphics.display());
        EXPECT_TRUE(textDrawn(screen(), 0, 16 * set(), selectedText, rgb(200, 200, 200)));
    }
};

TEST_F(Editing, TheEditorOpensOnTheSelectedRecordWithItsTitleAndMaximum) {
    const std::string fifty(kRecordChars, '7');
    const std::string file =
        "A\r\n+380501112233 Bob\r\n\xC8\xE2\xE0\xED \xA8\xB8\x96\xAB\xBB\r\n" + fifty + "\r\na\nb\r\n\r\nlast";
    const std::string texts[] = {
        "+380501112233 Bob", "\xC8\xE2\xE0\xED \xA8\xB8\x96\xAB\xBB", fifty, "a\nb", "", "last"};
    for (int item : {kEdit, kAdd}) {
        for (int record = 2; record <= 7; ++record) {
            SCOPED_TRACE("item " + std::to_string(item) + ", record " + std::to_string(record));
            bootOn(file, record);
            choose(item);
            ASSERT_TRUE(phone().editorOpen());
            EXPECT_EQ(phone().stateId(), 3u);
            // The CP1251 bytes, each widened to 16 bits; the title is "Номер" the same way.
            const std::string& text = texts[record - 2];
            std::u16string widened;
            for (unsigned char c : text) widened.push_back(static_cast<char16_t>(c));
            EXPECT_EQ(editor().text(), widened);
            EXPECT_EQ(editor().title(), u"\u00CD\u00EE\u00EC\u00E5\u00F0");
            EXPECT_EQ(editor().maxChars(), static_cast<std::uint32_t>(kRecordChars));
            EXPECT_EQ(records(), file);
        }
    }
}

TEST_F(Editing, ConfirmingOrGoingBackReturnsToThePaintedList) {
    for (bool confirm : {true, false}) {
        SCOPED_TRACE(confirm ? "confirm" : "back");
        bootOn("A\r\nB\r\nC", 2);
        choose(kEdit);
        ASSERT_TRUE(phone().editorOpen());
        phone().setEditorText(u"Yankee");
        phone().graphics.display().fill(0);  // what the editor covered must be painted again
        if (confirm)
            press(KEY_OK);
        else
            phone().editorBack();
        EXPECT_EQ(records(), confirm ? "A\r\nC\r\nYankee" : "A\r\nB\r\nC");
        EXPECT_EQ(selected(), confirm ? 3 : 2);
        expectListShown(confirm ? "Yankee" : "B");
        press(KEY_UP);  // the keys reach the list again
        EXPECT_EQ(selected(), confirm ? 2 : 1);
    }
}

// Ticks, and leaving and entering the edit state with kind 1, keep the one editor on top.
TEST_F(Editing, TicksAndEntryAndExitOfAnotherKindKeepTheEditor) {
    bootOn("A\r\nB", 1);
    choose(kEdit);
    ASSERT_TRUE(phone().editorOpen());
    const std::uint32_t handle = phone().framework.record()->dialog;
    const std::size_t dialogs = phone().dialogs.count();
    const sim::Surface shown = screen();
    for (int i = 0; i < 3; ++i) phone().tick();
    EXPECT_TRUE(screen() == shown) << "the editor stays on top";
    EXPECT_EQ(phone().framework.leave(1), 0u);
    EXPECT_EQ(phone().framework.reenter(1), 0u);
    EXPECT_EQ(phone().stateId(), 3u);
    EXPECT_TRUE(phone().editorOpen());
    EXPECT_EQ(phone().dialogs.count(), dialogs);
    EXPECT_EQ(phone().framework.record()->dialog, handle);
    EXPECT_EQ(editor().text(), u"A");

    phone().setEditorText(u"Z");
    press(KEY_OK);
    EXPECT_EQ(records(), "B\r\nZ");
    expectListShown("Z");
}

TEST_F(Editing, AnEditorThatCannotBeCreatedLeavesTheList) {
    for (int item : {kEdit, kAdd}) {
        SCOPED_TRACE(item);
        bootOn("A\r\nB\r\nC", 2);
        const std::size_t blocks = phone().memory.outstandingBlocks();
        phone().dialogs.creationFaults().failNth(1);
        choose(item);
        phone().dialogs.creationFaults().clear();
        EXPECT_EQ(records(), "A\r\nB\r\nC");
        EXPECT_EQ(global<std::uint8_t>("OnMenu"), 0);
        EXPECT_EQ(phone().memory.outstandingBlocks(), blocks);
        expectListShown("B");
        press(KEY_DOWN);
        expectListShown("C");
    }
}

}  // namespace
