// The windows as the user meets them: a refused or failed change shows why, a confirm
// key closes the message, and the file and the selection stay as they were; and at most
// one window is painted, by its precedence.
#include <functional>

#include "app_test.hpp"
#include "screen_text.hpp"

using namespace nuvtest;

namespace {

constexpr sim::Rgb565 kTitleColour = rgb(250, 250, 0);
constexpr sim::Rgb565 kLineColour = rgb(250, 250, 250);

std::string numbered(int count) {
    std::string out;
    for (int i = 1; i <= count; ++i) out += (i > 1 ? "\r\n" : "") + std::to_string(i);
    return out;
}

// The title bar text of the window whose body starts at (x, y); its last row lies
// under the body, so only rows y - 11 to y - 1 are compared.
bool titleShown(const sim::Surface& screen, int x, int y, const std::string& title) {
    return textDrawn(screen, x, y - 11, title, kTitleColour, TextCheck::Ink, {0, y - 11, 175, y - 1});
}

}  // namespace

class MessagesTest : public AppTest {
protected:
    // Chooses a menu item; `beforeConfirm` runs just before the confirming key.
    void openMenuItem(int item, const std::function<void(sim::Phone&)>& beforeConfirm = {}) {
        press(KEY_SOFT_LEFT);
        while (global<std::uint16_t>("setmenu") != item) press(KEY_DOWN);
        if (beforeConfirm) beforeConfirm(phone());
        press(KEY_OK);
    }
    int error() { return global<std::uint8_t>("Error"); }
};

TEST_F(MessagesTest, RefusedAndFailedChangesTellWhyUntilConfirmed) {
    struct Case {
        const char* what;
        std::string file;
        int downs;  // selection moves before the menu
        int item;
        std::function<void(sim::Phone&)> before;  // set up a failure, or nothing
        int error;
        const char* title;
        const char* firstLine;
    };
    const auto nothing = [](sim::Phone&) {};
    const Case cases[] = {
        {"add to a full list", numbered(255), 0, 2, nothing, 2, "The list is full!", "The list holds 255 records,"},
        {"edit in an overfull list", numbered(256), 0, 0, nothing, 2, "The list is full!",
         "The list holds 255 records,"},
        {"edit a long record", "A\r\n" + std::string(51, 'x'), 1, 0, nothing, 3, "The record is too long!",
         "It has more than 50"},
        {"delete, rename fails", numbered(3), 1, 1,
         [](sim::Phone& p) { p.files.faults(sim::FileOp::Rename).failNth(1); }, 4, "Write error!",
         "The change was not saved:"},
        {"delete, out of memory", numbered(3), 1, 1, [](sim::Phone& p) { p.memory.faults().failNth(1); }, 4,
         "Write error!", "The change was not saved:"},
        {"delete the only record", "solo", 0, 1, nothing, 1, "This operation not possible!",
         "You try to delete a record!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restartPhone();
        bootWith(c.file);
        pressTimes(KEY_DOWN, c.downs);
        const int selectedBefore = selected();
        openMenuItem(c.item, c.before);

        EXPECT_EQ(phone().stateId(), 2u);
        EXPECT_EQ(error(), c.error);
        EXPECT_TRUE(titleShown(screen(), 10, 60, c.title));
        EXPECT_TRUE(textDrawn(screen(), 12, 72, c.firstLine, kLineColour));
        // The right soft-key label is lit while a window is shown.
        expectText(screen(), 156, 209, cp1251("Ок"), rgb(170, 170, 34));

        press(KEY_SOFT_LEFT);  // the menu stays shut while the message is up
        EXPECT_EQ(global<std::uint8_t>("OnMenu"), 0);
        press(KEY_OK);
        EXPECT_EQ(error(), 0);
        EXPECT_FALSE(titleShown(screen(), 10, 60, c.title));
        EXPECT_EQ(selected(), selectedBefore);
        EXPECT_EQ(AppTest::records(), c.file);
    }
}

TEST_F(MessagesTest, FailedEditComesBackToTheListWithTheMessage) {
    bootWith(numbered(5));
    pressTimes(KEY_DOWN, 1);
    openMenuItem(0);
    ASSERT_TRUE(phone().editorOpen());
    phone().setEditorText(u"changed");
    phone().files.faults(sim::FileOp::Write).failAlways();
    press(KEY_OK);
    phone().files.faults(sim::FileOp::Write).clear();

    EXPECT_EQ(phone().stateId(), 2u);
    EXPECT_EQ(error(), 4);
    EXPECT_EQ(selected(), 2);
    EXPECT_TRUE(titleShown(screen(), 10, 60, "Write error!"));
    EXPECT_EQ(AppTest::records(), numbered(5));
    press(KEY_SELECT);
    EXPECT_EQ(error(), 0);
}

TEST_F(MessagesTest, RussianMessagesFollowTheLanguage) {
    bootWith(numbered(255), LANGUAGE_RUSSIAN);
    openMenuItem(2);
    EXPECT_TRUE(titleShown(screen(), 10, 60, cp1251("Список заполнен!")));
    EXPECT_TRUE(textDrawn(screen(), 12, 120, cp1251("Удалите ненужную запись."), rgb(250, 250, 0)));
    expectText(screen(), 67, 142, cp1251("Принять"), rgb(250, 250, 0));
}

TEST_F(MessagesTest, OnlyTheFirstWindowByPrecedenceIsPainted) {
    bootWith("A\r\nB");
    struct Case {
        int exitMenu, about, error;
        int bodyX, bodyY;
        const char* title;
    };
    const Case cases[] = {
        {1, 1, 1, 28, 83, "Exit..."},
        {1, 0, 1, 28, 83, "Exit..."},
        {0, 1, 1, 5, 60, "Programm ver. 0.53b 30/07/09"},
        {0, 0, 1, 10, 60, "This operation not possible!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        global<std::uint8_t>("ExitMenu") = static_cast<std::uint8_t>(c.exitMenu);
        global<std::uint8_t>("About") = static_cast<std::uint8_t>(c.about);
        global<std::uint8_t>("Error") = static_cast<std::uint8_t>(c.error);
        phone().tick();
        EXPECT_TRUE(titleShown(screen(), c.bodyX, c.bodyY, c.title));
        // The body of the window painted last is whole: no other window lies over it.
        EXPECT_EQ(pixel(c.bodyX + 1, c.bodyY + 1), rgb(32, 0, 0));
        if (c.exitMenu) {
            EXPECT_FALSE(titleShown(screen(), 5, 60, "Programm ver. 0.53b 30/07/09"));
        }
    }
}
