// Key handling on the list screen, driven through the phone's keypad: moving through
// records and pages, the pop-up menu, the windows that block it, and leaving.
#include <cstdint>
#include <string>

#include "app_test.hpp"

using namespace nuvtest;

namespace {

constexpr int kPageRows = 12;
constexpr int kMenuItems = 5;
enum MenuItem { kEdit = 0, kDelete = 1, kAdd = 2, kAbout = 3, kExit = 4 };

// "R1" CR LF "R2" ... with `count` records.
std::string numbered(int count) {
    std::string bytes;
    for (int i = 1; i <= count; ++i) bytes += (i > 1 ? "\r\n" : "") + std::string("R") + std::to_string(i);
    return bytes;
}

// Where the user can be when a key comes. Record 3 of the file is too long to edit,
// which is how the error window is reached.
enum class Where { List, Menu, About, Exit, Error };
const char* flagOf(Where w) { return w == Where::About ? "About" : w == Where::Exit ? "ExitMenu" : "Error"; }
const std::string kFile = "A\r\nB\r\n" + std::string(60, 'L') + "\r\nD\r\nE";

class Keys : public AppTest {
protected:
    int menuItem() { return global<std::uint16_t>("setmenu"); }
    int flag(const char* name) { return global<std::uint8_t>(name); }

    void choose(int item) {
        press(KEY_SOFT_LEFT);
        ASSERT_EQ(flag("OnMenu"), 1);
        for (int guard = 0; menuItem() != item && guard < kMenuItems; ++guard) press(KEY_DOWN);
        ASSERT_EQ(menuItem(), item);
        press(KEY_OK);
    }
    void expectSelected(int record) {
        EXPECT_EQ(pg(), (record - 1) / kPageRows) << "record " << record;
        EXPECT_EQ(set(), (record - 1) % kPageRows + 1) << "record " << record;
    }
    // A fresh phone on kFile with record 3 selected, then the menu or a window opened.
    void reach(Where where) {
        restartPhone();
        bootWith(kFile);
        ASSERT_FALSE(HasFatalFailure());
        pressTimes(KEY_DOWN, 2);
        if (where == Where::Menu) press(KEY_SOFT_LEFT);
        if (where == Where::List || where == Where::Menu) return;
        choose(where == Where::About ? kAbout : where == Where::Exit ? kExit : kEdit);
        ASSERT_NE(flag(flagOf(where)), 0) << flagOf(where);
    }
};

TEST_F(Keys, DownAndUpVisitEveryRecordAndWrapAround) {
    for (int count : {1, 12, 13, 24}) {
        SCOPED_TRACE("records: " + std::to_string(count));
        restartPhone();
        bootWith(numbered(count));
        ASSERT_EQ(len(), count);
        for (int step = 1; step <= count; ++step) {
            press(KEY_DOWN);
            expectSelected(step % count + 1);
        }
        for (int step = 1; step <= count; ++step) {
            press(KEY_UP);
            expectSelected((count - step) % count + 1);
        }
    }
}

TEST_F(Keys, MenuWrapsBothWaysAndReopensOnTheItemUsedLast) {
    bootWith(numbered(3));
    press(KEY_SOFT_LEFT);
    ASSERT_EQ(menuItem(), kEdit);
    for (std::uint8_t key : {KEY_DOWN, KEY_UP}) {
        for (int step = 1; step <= kMenuItems; ++step) {
            press(key);
            EXPECT_EQ(menuItem(), key == KEY_DOWN ? step % kMenuItems : (kMenuItems - step) % kMenuItems);
        }
    }
    expectSelected(1);

    pressTimes(KEY_DOWN, kAdd);
    press(KEY_SOFT_LEFT);  // closes without acting
    EXPECT_EQ(flag("OnMenu"), 0);
    press(KEY_SOFT_LEFT);
    EXPECT_EQ(menuItem(), kAdd);
    // After an item's action as well.
    press(KEY_DOWN);
    press(KEY_OK);
    ASSERT_EQ(flag("About"), 1);
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
        ASSERT_FALSE(HasFatalFailure());
        if (w != Where::List && w != Where::Menu) {
            const int shown = flag(flagOf(w));
            for (std::uint8_t key : {KEY_SOFT_LEFT, KEY_UP, KEY_DOWN, KEY_DOWN, KEY_SOFT_LEFT}) {
                press(key);
                EXPECT_EQ(flag("OnMenu"), 0) << "key " << int{key};
                EXPECT_EQ(flag(flagOf(w)), shown) << "key " << int{key};
                expectSelected(3);
            }
        }
        press(KEY_END);
        EXPECT_EQ(phone().lifecycle(), sim::Lifecycle::Ended);
        EXPECT_FALSE(phone().loader.loaded());
        EXPECT_EQ(phone().resources.count(), 0u);
        EXPECT_EQ(phone().dialogs.count(), 0u);
        EXPECT_EQ(records(), kFile);
    }
}

TEST_F(Keys, ExitWindowTogglesWithSidewaysKeysAndEndsOnYesWithoutPainting) {
    bootWith(numbered(3));
    press(KEY_DOWN);
    // Without the window, sideways and confirm keys change nothing.
    for (std::uint8_t key : {KEY_LEFT, KEY_RIGHT, KEY_OK, KEY_SELECT}) {
        press(key);
        EXPECT_EQ(flag("ExitOkNo") + flag("OnMenu"), 0) << "key " << int{key};
        EXPECT_FALSE(phone().editorOpen());
        expectSelected(2);
    }
    for (std::uint8_t confirmKey : {KEY_OK, KEY_SELECT}) {
        choose(kExit);
        EXPECT_EQ(flag("ExitOkNo"), 0) << "opens on No";
        press(confirmKey);
        EXPECT_EQ(flag("ExitMenu"), 0);
        EXPECT_EQ(phone().stateId(), 2u);
    }

    choose(kExit);
    for (std::uint8_t key : {KEY_LEFT, KEY_RIGHT, KEY_RIGHT, KEY_LEFT, KEY_LEFT}) {
        const int before = flag("ExitOkNo");
        press(key);
        EXPECT_EQ(flag("ExitOkNo") != 0, before == 0) << "key " << int{key};
    }
    ASSERT_NE(flag("ExitOkNo"), 0);

    const auto counters = phone().graphics.counters();
    const sim::Surface display = phone().graphics.display();
    press(KEY_OK);
    EXPECT_EQ(phone().lifecycle(), sim::Lifecycle::Ended);
    EXPECT_FALSE(phone().loader.loaded());
    const auto after = phone().graphics.counters();
    EXPECT_TRUE(after.lines == counters.lines && after.spans == counters.spans &&
                after.glyphRuns == counters.glyphRuns && after.blits == counters.blits)
        << "nothing is painted on the way out";
    EXPECT_TRUE(phone().graphics.display() == display);
    EXPECT_EQ(records(), numbered(3));
}

}  // namespace
