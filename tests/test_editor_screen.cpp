// The character editor as the platform draws it: title, text wrapped at the screen's
// width, the cursor, the count of characters, and the soft labels.
#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {
constexpr sim::Rgb565 kTitleInk = rgb(255, 255, 255);
constexpr sim::Rgb565 kInk = rgb(0, 0, 0);
constexpr sim::Rgb565 kCursor = rgb(220, 0, 0);
}  // namespace

class EditorScreenTest : public AppTest {
protected:
    void openEditor(std::uint8_t language) {
        bootWith(cp1251("Ёлка Жук"), language);
        press(KEY_SOFT_LEFT);
        press(KEY_OK);
        ASSERT_TRUE(phone().editorOpen());
    }
};

TEST_F(EditorScreenTest, ShowsTitleTextCountAndLabels) {
    openEditor(LANGUAGE_RUSSIAN);
    // The file's CP1251 bytes reach the editor widened; they read as the letters they
    // stand for, Ё as Е since the font has no Ё.
    EXPECT_EQ(readText(screen(), 3, 20, 8, kInk), glyphForm(cp1251("Елка Жук")));
    EXPECT_EQ(readText(screen(), 3, 2, 5, kTitleInk), glyphForm(cp1251("Номер")));
    EXPECT_EQ(readText(screen(), 153, 2, 4, rgb(200, 200, 120)), "8/50");
    expectText(screen(), 3, 207, cp1251("Ок"), kTitleInk);
    expectText(screen(), 148, 207, cp1251("Назад"), kTitleInk);

    // Typed Unicode Cyrillic shows too; a long text wraps after 34 characters, and the
    // cursor stands after the last character.
    phone().setEditorText(std::u16string(34, u'ж') + u"Щи");
    EXPECT_EQ(readText(screen(), 3, 34, 2, kInk), glyphForm(cp1251("Щи")));
    EXPECT_EQ(pixel(3 + 2 * 5 - 1, 34 + 5), kCursor);
    EXPECT_EQ(readText(screen(), 148, 2, 5, rgb(200, 200, 120)), "36/50");
}

TEST_F(EditorScreenTest, KeepsAtMostItsMaximumAndMovesItsCursor) {
    openEditor(LANGUAGE_ENGLISH);
    phone().setEditorText(std::u16string(80, u'x'));
    EXPECT_EQ(phone().dialogs.topEditor()->text().size(), 50u);
    EXPECT_EQ(readText(screen(), 153, 207, 4, kTitleInk), "Back");
    press(KEY_LEFT);
    EXPECT_EQ(phone().dialogs.topEditor()->cursor(), 49u);
    // Cursor before the 50th character: line 2, column 15.
    EXPECT_EQ(pixel(3 + 15 * 5 - 1, 34 + 5), kCursor);
}
