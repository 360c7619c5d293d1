// States, key handling and the edit state of the application frame.
#pragma once
#include "../platform/app_framework.h"

enum {
    APP_STATE_ANY = 0,
    APP_STATE_INIT = 1,
    APP_STATE_MAIN = 2,
    APP_STATE_EDIT = 3,
};

// Key codes of the list screen.
enum {
    KEY_SOFT_LEFT = 14,
    KEY_OK = 15,
    KEY_END = 17,
    KEY_UP = 44,
    KEY_DOWN = 45,
    KEY_LEFT = 46,
    KEY_RIGHT = 47,
    KEY_SELECT = 61,
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
};

extern "C" {

// Screen flags.
extern UINT8 OnMenu;
extern UINT16 setmenu;
extern UINT8 ExitMenu;
extern UINT8 ExitOkNo;
extern UINT8 About;
extern UINT8 Error;
extern UINT8 repaint;

// What the edit state hands to the character editor.
extern UINT8 edit_type;
extern UINT32 num_chars;
extern UINT8 visible;

UINT32 HandleKeypress(event_context_t* ev, app_record_t* app);
// The message (`Error`) that tells why a change of the record file was not made.
UINT8 error_for(UINT8 change);

UINT32 EditStateEnter(event_context_t* ev, app_record_t* app, UINT32 kind);
UINT32 StateExit(event_context_t* ev, app_record_t* app, UINT32 kind);
UINT32 EditData(event_context_t* ev, app_record_t* app);
UINT32 EditOk(event_context_t* ev, app_record_t* app);
UINT32 Back(event_context_t* ev, app_record_t* app);
}
