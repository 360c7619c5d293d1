// Key handling on the list screen, driven through the phone's keypad: moving through records
// and pages, the pop-up menu, the windows that block it, and leaving.
#include <cstdint>
#include <string>

#include "app_test.hpp"

using namespace nuvtest;

namespace {

// Where the user can be when a key comes. Record 3 of the file is too long to edit, which is
// how the error window is reached.
enum class Where { List, Menu, About, Exit, Error };
const std::string kFile = "A\r\nB\r\n" + std::string(60, 'L') + "\r\nD\r\nE";

class Keys : public AppTest {
protected:
    // A fresh phone on kFile with record 3 selected, then the menu or a window opened.
    void reach(Where where) {
        restartPhone();
        bootWith(kFile);
        selectRecord(3);
        if (where == Where::Menu) press(KEY_SOFT_LEFT);
        if (where == Where::About) choose(kAbout);
        if (where == Where::Exit) choose(kExit);
        if (where == Where::Error) choose(kEdit);
    }
    // Which window the screen shows, by the left frame line of each.
    Where window() {
        const sim::Surface s = phone().graphics().display();
        const sim::Rgb565 frame = rgb(120, 120, 255);
        if (s.at(27, 100) == frame) return Where::Exit;
        if (s.at(4, 100) == frame) return Where::About;
        if (s.at(9, 100) == frame) return Where::Error;
        return menuItem() >= 0 ? Where::Menu : Where::List;
    }
};

TEST_F(Keys, DownAndUpVisitEveryRecordAndWrapAround) {
    for (int count : {1, 12, 13, 24}) {
        SCOPED_TRACE("records: " + std::to_string(count));
        restartPhone();
        bootWith(numbered(count));
        for (int step = 1; step <= count; ++step) {
            press(KEY_DOWN);
            EXPECT_EQ(position(), (Position{step % count + 1, count}));
        }
        for (int step = 1; step <= count; ++step) {
            press(KEY_UP);
            EXPECT_EQ(position(), (Position{(count - step) % count + 1, count}));
        }
    }
}

TEST_F(Keys, MenuWrapsBothWaysAndReopensOnTheItemUsedLast) {
    bootWith(numbered(3));
    press(KEY_SOFT_LEFT);
    ASSERT_EQ(menuItem(), kEdit);
    for (int step = 1; step <= 5; ++step) {
        press(KEY_DOWN);
        EXPECT_EQ(menuItem(), step % 5);
    }
    for (int step = 1; step <= 5; ++step) {
        press(KEY_UP);
        EXPECT_EQ(menuItem(), (5 - step) % 5);
    }
    EXPECT_EQ(position().selected, 1);

    press(KEY_DOWN, kAdd);
    press(KEY_SOFT_LEFT);  // closes without acting
    EXPECT_EQ(menuItem(), -1);
    press(KEY_SOFT_LEFT);
    EXPECT_EQ(menuItem(), kAdd);
    press(KEY_DOWN);  // after an item's action as well
    press(KEY_OK);
    ASSERT_EQ(window(), Where::About);
    press(KEY_OK);
    press(KEY_SOFT_LEFT);
    EXPECT_EQ(menuItem(), kAbout);
    EXPECT_EQ(records(), numbered(3));
}

// A window blocks the menu and the selection; the end key leaves from anywhere.
TEST_F(Keys, WindowsBlockTheMenuAndTheSelectionButNotTheEndKey) {
    for (Where w : {Where::List, Where::Menu, Where::About, Where::Exit, Where::Error}) {
        SCOPED_TRACE(static_cast<int>(w));
        reach(w);
        ASSERT_EQ(window(), w);
        if (w != Where::List && w != Where::Menu) {
            for (std::uint8_t key : {KEY_SOFT_LEFT, KEY_UP, KEY_DOWN, KEY_DOWN, KEY_SOFT_LEFT}) {
                press(key);
                EXPECT_EQ(window(), w) << "key " << int{key};
                EXPECT_EQ(position().selected, 3);
            }
        }
        press(KEY_END);
        EXPECT_EQ(state(), "ended");
        EXPECT_FALSE(phone().loader().loaded());
        EXPECT_EQ(phone().resources().count(), 0u);
        EXPECT_EQ(phone().dialogs().count(), 0u);
        EXPECT_TRUE(nothingHeld());
        EXPECT_EQ(records(), kFile);
    }
}

// The exit window opens on "No" each time, a sideways key toggles the choice, a confirm key
// closes the window on "No" and ends the application on "Yes" without painting again.
TEST_F(Keys, ExitWindowTogglesWithSidewaysKeysAndEndsOnYesWithoutPainting) {
    bootWith(numbered(3));
    const sim::Surface list = screen();
    for (std::uint8_t key : {KEY_LEFT, KEY_RIGHT, KEY_OK, KEY_SELECT}) press(key);
    EXPECT_TRUE(screen() == list) << "without the window, sideways and confirm keys change nothing";
    choose(kExit);
    const sim::Surface no = screen();
    for (std::uint8_t confirmKey : {KEY_OK, KEY_SELECT}) {
        press(confirmKey);
        EXPECT_TRUE(screen() == list);
        choose(kExit);
        EXPECT_TRUE(screen() == no);
    }
    press(KEY_LEFT);
    const sim::Surface yes = screen();
    EXPECT_FALSE(yes == no);
    for (std::uint8_t key : {KEY_RIGHT, KEY_LEFT, KEY_RIGHT, KEY_RIGHT}) {
        const bool wasYes = screen() == yes;
        press(key);
        EXPECT_TRUE(screen() == (wasYes ? no : yes)) << "key " << int{key};
    }
    const auto drawn = phone().graphics().counters();
    press(KEY_SELECT);
    EXPECT_EQ(state(), "ended");
    const auto after = phone().graphics().counters();
    EXPECT_TRUE(after.lines == drawn.lines && after.spans == drawn.spans && after.glyphRuns == drawn.glyphRuns &&
                after.blits == drawn.blits);
    EXPECT_EQ(records(), numbered(3));
}

}  // namespace
