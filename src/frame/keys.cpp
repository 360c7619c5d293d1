// Key presses on the list screen: moving through records and pages, the pop-up menu,
// the windows, deleting, starting an edit, and leaving.
#include "frame.h"

#include "../draw/draw.h"
#include "../platform/text.h"
#include "../records/records.h"
#include "../screens/screens.h"
#include "../test/app.h"

UINT8 OnMenu = 0;
UINT16 setmenu = 0;
UINT8 ExitMenu = 0;
UINT8 ExitOkNo = 0;
UINT8 About = 0;
UINT8 Error = 0;
UINT8 repaint = 1;

UINT8 error_for(UINT8 change) {
    switch (change) {
    case CHANGE_DONE: return ERROR_NONE;
    case CHANGE_LIST_FULL: return ERROR_LIST_FULL;
    case CHANGE_TOO_LONG: return ERROR_TOO_LONG;
    case CHANGE_ONLY_RECORD: return ERROR_ONLY_RECORD;
    // A change refused because the file could not be read wrote nothing.
    default: return count_failed ? ERROR_NOT_READ : ERROR_NOT_SAVED;
    }
}

static UINT8 window_shown(void) { return ExitMenu || About || Error; }

static void draw_menu_only(void) {
    downsoftline(softline, l_ok, menu, OnMenu, setmenu);
    AHG_Flush();
}

static UINT32 common_tail(event_context_t* ev, app_record_t* app) {
    if (OnMenu)
        draw_menu_only();
    else if (repaint)
        paint();
    APP_ConsumeEv(ev, app);
    return 0;
}

static UINT32 paint_and_consume(event_context_t* ev, app_record_t* app) {
    paint();
    APP_ConsumeEv(ev, app);
    return 0;
}

static void select_previous(void) {
    if (set > 1) {
        set--;
    } else if (pg > 0) {
        pg--;
        set = mx;
    } else {
        select_last();
    }
}

static void select_next(void) {
    if (set < mx && (UINT32)mx * pg + set < len) {
        set++;
    } else {
        if (__rt_udiv(mx, len) > pg) {
            pg++;
        } else {
            pg = 0;
        }
        set = 1;
    }
    if ((UINT32)mx * pg + set > len) {
        pg = 0;
        set = 1;
    }
}

// Why editing or adding must be refused before the editor opens, or ERROR_NONE.
static UINT8 edit_refusal(UINT16 item) {
    // The editor would open on text that is not the selected record's.
    if (count_failed) return ERROR_NOT_READ;
    if (!sel_valid) return ERROR_NOT_SAVED;
    if (item == MENU_ADD) return len >= MAX_RECORDS ? ERROR_LIST_FULL : ERROR_NONE;
    if (len_overflow) return ERROR_LIST_FULL;
    if (sel_len > RECORD_CHARS) return ERROR_TOO_LONG;
    return ERROR_NONE;
}

static UINT32 open_editor(event_context_t* ev, app_record_t* app) {
    APP_UtilUISDialogDelete(&app->dialog);
    // Without the editor the list screen stays, on a canvas of its own again; without that
    // canvas too, the list screen is tried again at the next event.
    if (APP_UtilChangeState(APP_STATE_EDIT, ev, app) != 0)
        list_pending = MainStateEnter(ev, app, STATE_CHANGE_PLAIN) != 0;
    return common_tail(ev, app);
}

static UINT32 menu_action(event_context_t* ev, app_record_t* app) {
    OnMenu = 0;
    switch (setmenu) {
    case MENU_EDIT:
    case MENU_ADD:
        Error = edit_refusal(setmenu);
        if (Error) return paint_and_consume(ev, app);
        return open_editor(ev, app);
    case MENU_DELETE:
        if (count_failed) {
            Error = ERROR_NOT_READ;
            return paint_and_consume(ev, app);
        }
        if (len <= 1) {
            Error = ERROR_ONLY_RECORD;
            return paint_and_consume(ev, app);
        }
        Error = error_for(del());
        return common_tail(ev, app);
    case MENU_ABOUT: About = 1; return paint_and_consume(ev, app);
    case MENU_EXIT: ExitMenu = 1; return paint_and_consume(ev, app);
    default: return paint_and_consume(ev, app);
    }
}

static UINT32 confirm(event_context_t* ev, app_record_t* app) {
    if (About) {
        About = 0;
    } else if (Error) {
        Error = ERROR_NONE;
    } else if (ExitMenu) {
        if (ExitOkNo) return destroyApp(ev, app);
        ExitMenu = 0;
    } else if (!OnMenu) {
        return paint_and_consume(ev, app);
    } else {
        return menu_action(ev, app);
    }
    return common_tail(ev, app);
}

UINT32 HandleKeypress(event_context_t* ev, app_record_t* app) {
    // A list screen left without a canvas is made again first; the key goes to that.
    if (retry_list(ev, app) == 0) {
        APP_ConsumeEv(ev, app);
        return 0;
    }
    event_record_t* event = AFW_GetEv(ev);
    repaint = 1;
    recount_if_failed();
    switch (event->key) {
    case KEY_SOFT_LEFT:
        if (!window_shown()) {
            OnMenu = !OnMenu;
            repaint = 0;
            paint();
            downsoftline(softline, l_ok, menu, OnMenu, setmenu);
        }
        break;
    case KEY_OK:
    case KEY_SELECT: return confirm(ev, app);
    case KEY_END: return destroyApp(ev, app);
    case KEY_UP:
        if (OnMenu) {
            setmenu = setmenu != 0 ? (UINT16)(setmenu - 1) : charCol(menu, '|');
            draw_menu_only();
            APP_ConsumeEv(ev, app);
            return 0;
        }
        if (!window_shown()) select_previous();
        return paint_and_consume(ev, app);
    case KEY_DOWN:
        if (OnMenu) {
            setmenu = setmenu < charCol(menu, '|') ? (UINT16)(setmenu + 1) : 0;
            break;
        }
        if (!window_shown()) select_next();
        return paint_and_consume(ev, app);
    case KEY_LEFT:
    case KEY_RIGHT:
        if (ExitMenu) ExitOkNo = !ExitOkNo;
        break;
    default: break;
    }
    return common_tail(ev, app);
}

UINT32 AnyKeypress(event_context_t* ev, app_record_t* app) {
    event_record_t* event = AFW_GetEv(ev);
    if (event->key == KEY_END) return destroyApp(ev, app);
    retry_list(ev, app);
    APP_ConsumeEv(ev, app);
    return 0;
}
