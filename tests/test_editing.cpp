// The edit state: the character editor opened on the selected record, the way back to the
// list, the editor kept on top through ticks and through the entry and exit kinds the
// framework uses, an editor that cannot be created, and a text longer than the editor's limit.
#include <dlfcn.h>
#include <link.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

// The bytes of the module's global that starts right where `end` points, so that a write past
// the buffer ending there would show in them; none when nothing known lies there, and none
// under a sanitizer, which stops such a write itself.
std::vector<unsigned char> globalAt(const void* end) {
    if (kSanitized) return {};
    Dl_info info;
    ElfW(Sym)* symbol = nullptr;
    if (!::dladdr1(end, &info, reinterpret_cast<void**>(&symbol), RTLD_DL_SYMENT) || !symbol || info.dli_saddr != end)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(end);
    return {bytes, bytes + symbol->st_size};
}

}  // namespace

class Editing : public AppTest {
protected:
    void openOn(const std::string& bytes, int record, int item) {
        restartPhone();
        bootWith(bytes);
        selectRecord(record);
        choose(item);
        ASSERT_TRUE(phone().editorOpen());
    }
    const sim::CharacterEditor& editor() { return *phone().dialogs().topEditor(); }

    // Back on the list: one canvas, held in the dialog field, shown on the display with the
    // selected record in its row.
    void expectListShown(const std::string& selectedText) {
        EXPECT_EQ(state(), "main");
        EXPECT_FALSE(phone().editorOpen());
        EXPECT_EQ(phone().dialogs().count(), 1u);
        sim::Dialogs::Dialog* dialog = phone().dialogs().find(phone().framework().record()->dialog);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(std::holds_alternative<sim::Canvas>(*dialog));
        EXPECT_TRUE(screen() == phone().graphics().display());
        const int row = (position().selected - 1) % kPageRows + 1;
        EXPECT_TRUE(textDrawn(screen(), 0, 16 * row, selectedText, rgb(200, 200, 200)));
    }
};

TEST_F(Editing, TheEditorOpensOnTheSelectedRecordWithItsTitleAndMaximum) {
    const std::string fifty(kRecordChars, '7');
    const std::string texts[] = {
        "+380501112233 Bob", "\xC8\xE2\xE0\xED \xA8\xB8\x96\xAB\xBB", fifty, "a\nb", "", "last"};
    std::string file = "A";
    for (const std::string& text : texts) file += "\r\n" + text;
    for (int item : {kEdit, kAdd}) {
        for (int record = 2; record <= 7; ++record) {
            SCOPED_TRACE("item " + std::to_string(item) + ", record " + std::to_string(record));
            openOn(file, record, item);
            EXPECT_EQ(state(), "edit");
            // The CP1251 bytes, each widened to 16 bits, a zero as a blank; the title is "Номер" the same way.
            const std::string& text = texts[record - 2];
            std::u16string widened;
            for (unsigned char c : text) widened.push_back(c ? c : u' ');
            EXPECT_EQ(editor().text(), widened);
            EXPECT_EQ(editor().title(), u"\u00CD\u00EE\u00EC\u00E5\u00F0");
            EXPECT_EQ(editor().maxChars(), static_cast<std::uint32_t>(kRecordChars));
            EXPECT_EQ(records(), file);
        }
    }
}

// Suspending and resuming the edit state (an incoming call) keeps the editor; confirming or going back
// returns to the list, painted again.
TEST_F(Editing, ConfirmingOrGoingBackReturnsToThePaintedList) {
    for (bool confirm : {true, false}) {
        SCOPED_TRACE(confirm ? "confirm" : "back");
        openOn("A\r\nB\r\nC", 2, kEdit);
        const std::uint32_t handle = phone().framework().record()->dialog;
        ASSERT_TRUE(phone().interrupt());  // the edit state suspended and resumed
        ASSERT_TRUE(phone().resume());
        EXPECT_EQ(state(), "edit");
        EXPECT_EQ(phone().framework().record()->dialog, handle);
        EXPECT_EQ(phone().dialogs().count(), 1u);
        phone().setEditorText(u"Yankee");
        phone().graphics().display().fill(0);  // what the editor covered must be painted again
        if (confirm)
            press(KEY_OK);
        else
            phone().editorBack();
        EXPECT_EQ(records(), confirm ? "A\r\nC\r\nYankee" : "A\r\nB\r\nC");
        EXPECT_EQ(position().selected, confirm ? 3 : 2);
        expectListShown(confirm ? "Yankee" : "B");
        press(KEY_UP);  // the keys reach the list again
        EXPECT_EQ(position().selected, confirm ? 2 : 1);
    }
}

// Without an editor the list stays; when its new canvas fails as well, the screen stays dark
// until the next key, which brings the list back before it does anything else.
TEST_F(Editing, AnEditorThatCannotBeCreatedLeavesTheList) {
    for (const bool canvasFails : {false, true})
        for (int item : {kEdit, kAdd}) {
            SCOPED_TRACE(std::to_string(item) + (canvasFails ? ", no canvas either" : ""));
            restartPhone();
            bootWith("A\r\nB\r\nC");
            selectRecord(2);
            phone().dialogs().creationFaults().failNth(1);
            highlight(item);
            if (canvasFails) phone().dialogs().creationFaults().failAlways();
            press(KEY_OK);
            phone().dialogs().creationFaults().clear();
            EXPECT_EQ(records(), "A\r\nB\r\nC");
            EXPECT_TRUE(nothingHeld());
            if (canvasFails) {
                EXPECT_EQ(phone().dialogs().count(), 0u);
                EXPECT_TRUE(screen() == sim::Surface()) << "the list shows with no canvas under it";
                press(KEY_DOWN);
            }
            EXPECT_EQ(menuItem(), -1);
            expectListShown("B");
            press(KEY_DOWN);
            expectListShown("C");
        }
}

// The editor keeps at most its maximum, whichever way the text comes; whatever an editor
// hands back, the application takes at most 50 characters and writes nothing past its buffer.
TEST_F(Editing, AnOverlongTextIsCutTo50Characters) {
    std::u16string text;
    for (int i = 0; i < 200; ++i) text += static_cast<char16_t>(u'a' + i % 26);
    const std::string kept(text.begin(), text.begin() + kRecordChars), fifty(kRecordChars, 'F');
    for (int item : {kAdd, kEdit}) {
        SCOPED_TRACE(item);
        openOn("A\r\n" + fifty, 2, item);
        phone().setEditorText(text);
        EXPECT_EQ(editor().text().size(), static_cast<std::size_t>(kRecordChars));
        const char16_t* past = &global<char16_t>("bf") + kRecordChars + 1;
        const std::vector<unsigned char> before = globalAt(past);
        phone().framework().post(std::make_unique<sim::Event>(EV_EDITOR_DATA, 0, text));
        phone().framework().run();
        EXPECT_EQ(records(), item == kAdd ? "A\r\n" + fifty + "\r\n" + kept : "A\r\n" + kept);
        EXPECT_EQ(state(), "main");
        EXPECT_EQ(globalAt(past), before) << "written past the edit buffer";
        EXPECT_TRUE(textDrawn(screen(), 0, 16 * position().selected, kept.substr(0, 32), rgb(200, 200, 200)));
    }
}
