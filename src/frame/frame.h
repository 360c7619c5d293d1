// States, key handling and the edit state of the application frame.
#pragma once
#include "../platform/app_framework.h"

// The application's states, the ids of the rows of its state table.
enum {
    APP_STATE_ANY = 0,   // never entered: its handlers serve every state
    APP_STATE_INIT = 1,  // started, waiting for the UI token
    APP_STATE_MAIN = 2,  // the list screen
    APP_STATE_EDIT = 3,  // the character editor is open
    APP_STATE_COUNT = 4,
};

// Menu items, the indices of `setmenu`.
enum {
    MENU_EDIT = 0,
    MENU_DELETE = 1,
    MENU_ADD = 2,
    MENU_ABOUT = 3,
    MENU_EXIT = 4,
};

// Which message the error window shows (`Error`).
enum {
    ERROR_NONE = 0,
    ERROR_ONLY_RECORD = 1,
    ERROR_LIST_FULL = 2,
    ERROR_TOO_LONG = 3,
    ERROR_NOT_SAVED = 4,
    ERROR_NOT_READ = 5,  // the record file could not be read: nothing was written
};

extern "C" {

// Screen flags.
extern UINT8 OnMenu;    // 1 while the pop-up menu is open
extern UINT16 setmenu;  // highlighted menu item, kept while the menu is closed
extern UINT8 ExitMenu;  // 1 while the exit confirmation window is shown
extern UINT8 ExitOkNo;  // the exit window's choice: non-zero for "yes"
extern UINT8 About;     // 1 while the about window is shown
extern UINT8 Error;     // the message of the error window, ERROR_NONE when it is not shown
extern UINT8 repaint;   // 0 when a key handled by the menu needs no full repaint

// 1 when the list screen found no canvas (after the UI token came, or on the way back from the
// editor): it is tried again at the next event.
extern UINT8 list_pending;

// What the edit state hands to the character editor.
extern UINT8 edit_type;   // the editor's kind of input
extern UINT32 num_chars;  // the most characters the editor takes
extern UINT8 visible;     // a further value the editor's constructor takes

UINT32 HandleKeypress(event_context_t* ev, app_record_t* app);
// Keys in any other state: the end key leaves, any other key tries the list screen again.
UINT32 AnyKeypress(event_context_t* ev, app_record_t* app);
// Tries the list screen again after the way back from the editor failed; 1 when there was
// nothing to try.
UINT32 retry_list(event_context_t* ev, app_record_t* app);
// The message (`Error`) that tells why a change of the record file was not made.
UINT8 error_for(UINT8 change);

UINT32 EditStateEnter(event_context_t* ev, app_record_t* app, UINT32 kind);
UINT32 StateExit(event_context_t* ev, app_record_t* app, UINT32 kind);
UINT32 EditData(event_context_t* ev, app_record_t* app);
UINT32 EditOk(event_context_t* ev, app_record_t* app);
UINT32 Back(event_context_t* ev, app_record_t* app);
}
