// The edit state: the character editor opened on the selected record, and its answers.
#include "frame.h"

#include "../platform/dialogs.h"
#include "../platform/text.h"
#include "../records/records.h"
#include "../screens/screens.h"
#include "../test/app.h"

UINT8 edit_type = 1;
UINT32 num_chars = RECORD_CHARS;
UINT8 visible = 0;

UINT32 EditStateEnter(event_context_t*, app_record_t* app, UINT32 kind) {
    if (kind != STATE_CHANGE_PLAIN) return 0;
    u_atou(buf, bf);
    UINT32 editor = UIS_CreateCharacterEditor(&app->port, bf, edit_type, num_chars, visible, 0, Resources);
    if (editor == 0) return 1;
    app->dialog = editor;
    return 0;
}

UINT32 StateExit(event_context_t*, app_record_t* app, UINT32 kind) {
    if (kind == STATE_EXIT_SUSPEND) return 0;
    APP_UtilUISDialogDelete(&app->dialog);
    return 0;
}

UINT32 EditOk(event_context_t* ev, app_record_t* app) {
    AFW_AddEvEvD(ev, EV_EDITOR_REQUEST_DATA);
    UIS_HandleEvent(app->dialog, ev);
    return 0;
}

// Copies at most RECORD_CHARS characters, whatever the editor hands over. A CR would end the
// record there and begin another: it is taken as a blank. An LF separates nothing and stays.
static void take_text(const WCHAR* text) {
    UINT32 i = 0;
    for (; text != NULL && text[i] != 0 && i < RECORD_CHARS; i++) bf[i] = text[i] == CR ? ' ' : text[i];
    bf[i] = 0;
}

UINT8 list_pending = 0;

// Back to the list screen; without a canvas for it, the application stays where it is and
// tries again at the next event.
static UINT32 back_to_list(event_context_t* ev, app_record_t* app) {
    UINT32 result = APP_UtilChangeState(APP_STATE_MAIN, ev, app);
    list_pending = result != 0;
    if (!list_pending) paint();
    return result;
}

UINT32 retry_list(event_context_t* ev, app_record_t* app) {
    if (!list_pending) return 1;
    back_to_list(ev, app);
    return 0;
}

UINT32 EditData(event_context_t* ev, app_record_t* app) {
    event_record_t* event = AFW_GetEv(ev);
    const WCHAR* text = (const WCHAR*)event->attachment;
    if (text != NULL) {
        take_text(text);
        UCS2toCP1251(bf, buf);
        if (setmenu == MENU_ADD)
            Error = error_for(add());
        else if (setmenu == MENU_EDIT)
            Error = error_for(edit_record());
    }
    return back_to_list(ev, app);
}

UINT32 Back(event_context_t* ev, app_record_t* app) { return back_to_list(ev, app); }
