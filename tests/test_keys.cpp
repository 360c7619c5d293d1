// Key handling on the list screen, driven through the phone's keypad: moving through
// records and pages, the pop-up menu, the windows that block it, and leaving.
#include <cstdint>
#include <string>
#include <vector>

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

// The highlight bar of menu item `item`, with the five items of the menu, at a column
// that no item's text reaches.
constexpr int kHighlightX = 58;
constexpr int highlightY(int item) { return 149 + 12 * item; }
constexpr sim::Rgb565 kHighlight = rgb(85, 68, 102);

class Keys : public AppTest {
protected:
    int menuItem() { return global<std::uint16_t>("setmenu"); }
    int flag(const char* name) { return global<std::uint8_t>(name); }

    // Opens the menu (closed, no window shown) and moves the highlight to `item`.
    void openMenuOn(int item) {
        press(sim::kKeySoftLeft);
        ASSERT_EQ(flag("OnMenu"), 1);
        for (int guard = 0; menuItem() != item && guard < kMenuItems; ++guard) press(sim::kKeyDown);
        ASSERT_EQ(menuItem(), item);
    }
    void choose(int item) {
        openMenuOn(item);
        press(sim::kKeyOk);
    }

    void expectSelected(int record) {
        EXPECT_EQ(pg(), (record - 1) / kPageRows) << "record " << record;
        EXPECT_EQ(set(), (record - 1) % kPageRows + 1) << "record " << record;
    }
};

TEST_F(Keys, DownAndUpVisitEveryRecordAndWrapAround) {
    for (int count : {1, 2, 11, 12, 13, 23, 24, 25, 37}) {
        SCOPED_TRACE("records: " + std::to_string(count));
        restartPhone();
        bootWith(numbered(count));
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(len(), count);
        expectSelected(1);

        // Down from record 1 walks 2, 3, ... count and comes back to 1.
        for (int step = 1; step <= count; ++step) {
            press(sim::kKeyDown);
            expectSelected(step % count + 1);
        }
        // Up from record 1 goes to the last record and walks back to 1.
        for (int step = 1; step <= count; ++step) {
            press(sim::kKeyUp);
            expectSelected((count - step) % count + 1);
        }
    }
}

TEST_F(Keys, MenuHighlightWrapsBothWays) {
    bootWith(numbered(3));
    press(sim::kKeySoftLeft);
    ASSERT_EQ(flag("OnMenu"), 1);
    ASSERT_EQ(menuItem(), kEdit);

    press(sim::kKeyUp);
    EXPECT_EQ(menuItem(), kExit);
    press(sim::kKeyDown);
    EXPECT_EQ(menuItem(), kEdit);

    // A whole round each way, with the highlight drawn on the display where it is.
    for (int key : {sim::kKeyDown, sim::kKeyUp}) {
        for (int step = 1; step <= kMenuItems; ++step) {
            press(static_cast<std::uint8_t>(key));
            const int expected = key == sim::kKeyDown ? step % kMenuItems : (kMenuItems - step) % kMenuItems;
            ASSERT_EQ(menuItem(), expected);
            for (int item = 0; item < kMenuItems; ++item)
                EXPECT_EQ(pixel(kHighlightX, highlightY(item)) == kHighlight, item == expected)
                    << "item " << item << " with " << expected << " highlighted";
        }
    }
    // Moving in the menu leaves the selection alone.
    expectSelected(1);
    EXPECT_EQ(flag("OnMenu"), 1);
}

TEST_F(Keys, MenuReopensOnTheItemUsedLast) {
    bootWith(numbered(3));
    openMenuOn(kAdd);
    press(sim::kKeySoftLeft);  // closes without acting
    EXPECT_EQ(flag("OnMenu"), 0);
    EXPECT_EQ(records(), numbered(3));
    press(sim::kKeySoftLeft);
    EXPECT_EQ(flag("OnMenu"), 1);
    EXPECT_EQ(menuItem(), kAdd);
    EXPECT_EQ(pixel(kHighlightX, highlightY(kAdd)), kHighlight);

    // After an item's action as well.
    press(sim::kKeyDown);
    press(sim::kKeyOk);  // About
    ASSERT_EQ(flag("About"), 1);
    press(sim::kKeyOk);
    ASSERT_EQ(flag("About"), 0);
    press(sim::kKeySoftLeft);
    EXPECT_EQ(menuItem(), kAbout);
}

TEST_F(Keys, MenuMovesDrawOnlyTheMenu) {
    // Long records, so that a repaint of the list is plainly more than the menu.
    std::string bytes;
    for (int i = 1; i <= kPageRows; ++i) bytes += (i > 1 ? "\r\n" : "") + std::string(30, static_cast<char>('A' + i));
    bootWith(bytes);
    press(sim::kKeySoftLeft);
    sim::FaultPlan& opens = phone().files.faults(sim::FileOp::Open);

    // A full repaint (event 0x14) with the menu open, for comparison.
    const auto beforeTick = phone().graphics.counters();
    const auto opensBeforeTick = opens.calls();
    phone().tick();
    const auto afterTick = phone().graphics.counters();
    ASSERT_GT(opens.calls(), opensBeforeTick) << "a repaint reads the page from the file";
    const std::uint32_t fullSpans = afterTick.spans - beforeTick.spans;
    const std::uint32_t fullGlyphs = afterTick.glyphRuns - beforeTick.glyphRuns;

    for (int key : {sim::kKeyDown, sim::kKeyUp, sim::kKeyUp}) {
        const auto before = phone().graphics.counters();
        const auto opensBefore = opens.calls();
        press(static_cast<std::uint8_t>(key));
        const auto after = phone().graphics.counters();
        EXPECT_EQ(opens.calls(), opensBefore) << "a menu move reads the record file";
        EXPECT_GT(after.spans, before.spans) << "the menu is drawn again";
        EXPECT_LT(after.spans - before.spans, fullSpans);
        EXPECT_LT(after.glyphRuns - before.glyphRuns, fullGlyphs);
        EXPECT_EQ(after.blits - before.blits, 1u) << "one copy to the display";
    }
}

// The three windows, each reached as a user reaches it. Record 3 of the file is too
// long to edit, which is how the error window is reached with several records.
enum class Window { About, Exit, Error };
const char* flagOf(Window w) { return w == Window::About ? "About" : w == Window::Exit ? "ExitMenu" : "Error"; }

class KeysWithWindow : public Keys {
protected:
    const std::string file_ = "A\r\nB\r\n" + std::string(60, 'L') + "\r\nD\r\nE";
    void bootOnRecord3() {
        bootWith(file_);
        ASSERT_FALSE(HasFatalFailure());
        pressTimes(sim::kKeyDown, 2);
        expectSelected(3);
    }
    void open(Window w) {
        choose(w == Window::About ? kAbout : w == Window::Exit ? kExit : kEdit);
        ASSERT_NE(flag(flagOf(w)), 0) << flagOf(w);
        ASSERT_EQ(flag("OnMenu"), 0);
        ASSERT_EQ(phone().state(), sim::AppState::Main);
    }
};

TEST_F(KeysWithWindow, WindowsBlockTheMenuAndTheSelection) {
    for (Window w : {Window::About, Window::Exit, Window::Error}) {
        SCOPED_TRACE(flagOf(w));
        restartPhone();
        bootOnRecord3();
        open(w);
        const int shown = flag(flagOf(w));
        for (int key : {sim::kKeySoftLeft, sim::kKeyUp, sim::kKeyDown, sim::kKeyDown, sim::kKeySoftLeft}) {
            press(static_cast<std::uint8_t>(key));
            EXPECT_EQ(flag("OnMenu"), 0) << "key " << key;
            EXPECT_EQ(flag(flagOf(w)), shown) << "key " << key;
            expectSelected(3);
        }
        press(sim::kKeyOk);  // closes it ("No" in the exit window)
        EXPECT_EQ(flag(flagOf(w)), 0);
        EXPECT_EQ(phone().state(), sim::AppState::Main);
        EXPECT_EQ(records(), file_);
        // Afterwards the keys work again.
        press(sim::kKeyDown);
        expectSelected(4);
        press(sim::kKeySoftLeft);
        EXPECT_EQ(flag("OnMenu"), 1);
    }
}

TEST_F(KeysWithWindow, EndKeyEndsTheApplicationFromAnywhere) {
    enum class Where { List, Menu, About, Exit, Error };
    for (Where where : {Where::List, Where::Menu, Where::About, Where::Exit, Where::Error}) {
        SCOPED_TRACE(static_cast<int>(where));
        restartPhone();
        bootOnRecord3();
        ASSERT_GT(phone().resources.count(), 0u);
        switch (where) {
        case Where::List: break;
        case Where::Menu: openMenuOn(kDelete); break;
        case Where::About: open(Window::About); break;
        case Where::Exit: open(Window::Exit); break;
        case Where::Error: open(Window::Error); break;
        }
        ASSERT_FALSE(HasFatalFailure());
        press(sim::kKeyEnd);
        EXPECT_EQ(phone().state(), sim::AppState::Ended);
        EXPECT_FALSE(phone().loader.loaded()) << "the module is unloaded";
        EXPECT_EQ(phone().resources.count(), 0u) << "the editor's title resource is cleared";
        EXPECT_EQ(phone().dialogs.count(), 0u) << "the canvas is deleted";
        EXPECT_EQ(records(), file_);
    }
}

TEST_F(Keys, ExitWindowChoosesWithSidewaysKeysAndEndsOnYes) {
    bootWith(numbered(3));
    for (std::uint8_t confirmKey : {sim::kKeyOk, sim::kKeySelect}) {
        choose(kExit);
        ASSERT_EQ(flag("ExitMenu"), 1);
        EXPECT_EQ(flag("ExitOkNo"), 0) << "opens on No";
        press(confirmKey);
        EXPECT_EQ(flag("ExitMenu"), 0) << "a confirm on No closes it";
        EXPECT_EQ(phone().state(), sim::AppState::Main);
    }

    choose(kExit);
    for (std::uint8_t key : {sim::kKeyLeft, sim::kKeyRight, sim::kKeyRight, sim::kKeyLeft, sim::kKeyLeft}) {
        const int before = flag("ExitOkNo");
        press(key);
        EXPECT_EQ(flag("ExitOkNo") != 0, before == 0) << "key " << int{key};
    }
    ASSERT_NE(flag("ExitOkNo"), 0);

    const auto counters = phone().graphics.counters();
    const sim::Surface display = phone().graphics.display();
    press(sim::kKeyOk);
    EXPECT_EQ(phone().state(), sim::AppState::Ended);
    EXPECT_FALSE(phone().loader.loaded());
    EXPECT_EQ(phone().resources.count(), 0u);
    const auto after = phone().graphics.counters();
    EXPECT_EQ(after.lines, counters.lines) << "nothing is painted on the way out";
    EXPECT_EQ(after.spans, counters.spans);
    EXPECT_EQ(after.glyphRuns, counters.glyphRuns);
    EXPECT_EQ(after.blits, counters.blits);
    EXPECT_TRUE(phone().graphics.display() == display);
    EXPECT_EQ(records(), numbered(3));
}

TEST_F(Keys, SidewaysKeysChangeNothingWithoutTheExitWindow) {
    bootWith(numbered(5));
    press(sim::kKeyDown);
    for (std::uint8_t key : {sim::kKeyLeft, sim::kKeyRight}) {
        press(key);
        EXPECT_EQ(flag("ExitOkNo"), 0);
        expectSelected(2);
    }
    openMenuOn(kAdd);
    press(sim::kKeyLeft);
    EXPECT_EQ(flag("ExitOkNo"), 0);
    EXPECT_EQ(menuItem(), kAdd);
    EXPECT_EQ(flag("OnMenu"), 1);
}

TEST_F(Keys, DeletingTheOnlyRecordShowsTheErrorWindow) {
    for (const std::string& only : {std::string("+380441234567 home"), std::string(), std::string("\n")}) {
        SCOPED_TRACE(visible(only));
        restartPhone();
        bootWith(only);
        ASSERT_EQ(len(), 1);
        const std::string before = records();
        choose(kDelete);
        EXPECT_EQ(flag("Error"), 1) << "the only record";
        EXPECT_EQ(records(), before);
        EXPECT_EQ(phone().state(), sim::AppState::Main);
        press(sim::kKeyOk);
        EXPECT_EQ(flag("Error"), 0);
        EXPECT_EQ(records(), before);
        expectSelected(1);
    }
}

TEST_F(Keys, ConfirmWithTheMenuClosedChangesNothing) {
    bootWith(numbered(4));
    press(sim::kKeyDown);
    const auto blits = phone().graphics.counters().blits;
    for (std::uint8_t key : {sim::kKeyOk, sim::kKeySelect}) press(key);
    EXPECT_EQ(records(), numbered(4));
    expectSelected(2);
    EXPECT_EQ(flag("OnMenu"), 0);
    EXPECT_GE(phone().graphics.counters().blits, blits + 2) << "each key repaints";
}

}  // namespace
