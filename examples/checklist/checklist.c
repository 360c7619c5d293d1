/* The entry, the registration and the states of the checklist module. */
#include "checklist.h"

#include "platform/dialogs.h"
#include "platform/memory.h"

checklist_t* list = NULL;
UINT32 current_state = STATE_INIT;

static UINT32 evcode_base = 0;
static UINT32 canvas = 0;              /* the colour canvas's dialog, while it is open */
static WCHAR new_text[ITEM_CHARS + 1]; /* the editor's text */
static const UINT16 whole_display[4] = {0, 0, 176, 220};
static const UINT8 module_name[13] = {'c', 'h', 'e', 'c', 'k', 'l', 'i', 's', 't', 0, 0, 0, 0};

UINT32 Lib(const char* path, const char* unused, UINT32 base);

/* Leaving: the dialog, the framework's record, the heap block, and the module itself. */
static UINT32 leave(event_context_t* ev, app_record_t* app) {
    APP_UtilUISDialogDelete(&app->dialog);
    canvas = 0;
    UINT32 result = APP_Exit(ev, app, 0);
    suFreeMem(list);
    list = NULL;
    LdrUnloadELF((const void*)(SIZE_T)Lib);
    return result;
}

static UINT32 key_of(event_context_t* ev) { return AFW_GetEv(ev)->key; }

/* A unit at a time: a structure assignment would be a memcpy, which the phone has not. */
static void copy_item(item_t* to, const item_t* from) {
    for (UINT32 i = 0; i <= ITEM_CHARS; ++i) to->text[i] = from->text[i];
    to->ticked = from->ticked;
}

/* init: the token arrives; with it the list can be shown. */
static UINT32 token_granted(event_context_t* ev, app_record_t* app) {
    UINT32 result = APP_HandleUITokenGranted(ev, app);
    if (result != 0 || app->token_status != UI_TOKEN_HELD) return result;
    return APP_UtilChangeState(STATE_LIST, ev, app);
}

/* list: a canvas of its own unless it still has the one it had before the confirmation. */
static UINT32 list_enter(event_context_t* ev, app_record_t* app, UINT32 kind) {
    if (kind != STATE_CHANGE_PLAIN) return 0;
    if (canvas == 0 || app->dialog != canvas) {
        APP_UtilUISDialogDelete(&app->dialog);
        UINT32 port = app->port;
        canvas = UIS_CreateColorCanvas(&port, whole_display, 1);
        if (canvas == 0) return 1;
        app->dialog = canvas;
        screen_bind();
    }
    current_state = STATE_LIST;
    screen_paint();
    return 0;
}

static UINT32 list_key(event_context_t* ev, app_record_t* app) {
    UINT32 key = key_of(ev);
    APP_ConsumeEv(ev, app);
    if (key == KEY_END) return leave(ev, app);
    if (key == KEY_SOFT_LEFT && list->count < MAX_ITEMS) return APP_UtilChangeState(STATE_EDIT, ev, app);
    if (key == KEY_HASH && list->count > 0) return APP_UtilChangeState(STATE_CONFIRM, ev, app);
    if (list->count == 0) return 0;
    if (key == KEY_UP) list->selected = list->selected == 0 ? list->count - 1 : list->selected - 1;
    if (key == KEY_DOWN) list->selected = list->selected + 1 == list->count ? 0 : list->selected + 1;
    if (key == KEY_OK || key == KEY_SELECT) {
        list->items[list->selected].ticked = !list->items[list->selected].ticked;
        list_write();
    }
    screen_paint();
    return 0;
}

/* edit: the character editor on an empty text, in place of the canvas. */
static UINT32 edit_enter(event_context_t* ev, app_record_t* app, UINT32 kind) {
    if (kind != STATE_CHANGE_PLAIN) return 0;
    APP_UtilUISDialogDelete(&app->dialog);
    canvas = 0;
    new_text[0] = 0;
    current_state = STATE_EDIT;
    app->dialog = UIS_CreateCharacterEditor(&app->port, new_text, 1, ITEM_CHARS, 0, 0, 0);
    return app->dialog == 0;
}

static UINT32 edit_exit(event_context_t* ev, app_record_t* app, UINT32 kind) {
    if (kind != STATE_EXIT_SUSPEND) APP_UtilUISDialogDelete(&app->dialog);
    return 0;
}

/* OK in the editor: ask it for its text, which comes back as EV_EDITOR_DATA. */
static UINT32 edit_ok(event_context_t* ev, app_record_t* app) {
    AFW_AddEvEvD(ev, EV_EDITOR_REQUEST_DATA);
    UIS_HandleEvent(app->dialog, ev);
    return 0;
}

/* The editor's text becomes the last item; an empty text adds nothing. A line break would start
 * another line of the file: it is taken as a blank. */
static UINT32 edit_data(event_context_t* ev, app_record_t* app) {
    const WCHAR* text = (const WCHAR*)AFW_GetEv(ev)->attachment;
    if (text != NULL && text[0] != 0 && list->count < MAX_ITEMS) {
        item_t* item = &list->items[list->count];
        UINT32 i = 0;
        for (; text[i] != 0 && i < ITEM_CHARS; ++i) item->text[i] = text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
        item->text[i] = 0;
        item->ticked = 0;
        list->selected = list->count++;
        list_write();
    }
    return APP_UtilChangeState(STATE_LIST, ev, app);
}

static UINT32 edit_back(event_context_t* ev, app_record_t* app) { return APP_UtilChangeState(STATE_LIST, ev, app); }

/* confirm: the question over the list; OK deletes, the end key or the soft key keeps. */
static UINT32 confirm_enter(event_context_t* ev, app_record_t* app, UINT32 kind) {
    current_state = STATE_CONFIRM;
    screen_paint();
    return 0;
}

static UINT32 confirm_key(event_context_t* ev, app_record_t* app) {
    UINT32 key = key_of(ev);
    APP_ConsumeEv(ev, app);
    if (key == KEY_OK || key == KEY_SELECT) {
        for (UINT32 i = list->selected; i + 1 < list->count; ++i) copy_item(&list->items[i], &list->items[i + 1]);
        --list->count;
        if (list->selected == list->count && list->selected > 0) --list->selected;
        list_write();
    } else if (key != KEY_END && key != KEY_SOFT_LEFT) {
        return 0;
    }
    return APP_UtilChangeState(STATE_LIST, ev, app);
}

/* Every state: a tick repaints what the module draws itself; the token's loss and return go to
 * the framework. */
static UINT32 tick(event_context_t* ev, app_record_t* app) {
    if (canvas != 0 && current_state != STATE_EDIT) screen_paint();
    return 0;
}

static const event_handler_entry_t any_handlers[] = {
    {EV_TICK, tick},
    {EV_TOKEN_REVOKED, APP_HandleUITokenRevoked},
    {EV_TOKEN_GRANTED, APP_HandleUITokenGranted},
    {EVENT_TABLE_END, NULL},
};
static const event_handler_entry_t init_handlers[] = {{EV_TOKEN_GRANTED, token_granted}, {EVENT_TABLE_END, NULL}};
static const event_handler_entry_t list_handlers[] = {{EV_KEY_PRESS, list_key}, {EVENT_TABLE_END, NULL}};
static const event_handler_entry_t edit_handlers[] = {
    {EV_EDITOR_OK, edit_ok},
    {EV_EDITOR_DATA, edit_data},
    {EV_EDITOR_BACK, edit_back},
    {EVENT_TABLE_END, NULL},
};
static const event_handler_entry_t confirm_handlers[] = {{EV_KEY_PRESS, confirm_key}, {EVENT_TABLE_END, NULL}};

/* One row a state, in the order of their numbers, the row of every state first. */
static const state_row_t states[] = {
    {STATE_ANY, {0, 0, 0}, NULL, NULL, any_handlers},
    {STATE_INIT, {0, 0, 0}, NULL, NULL, init_handlers},
    {STATE_LIST, {0, 0, 0}, list_enter, NULL, list_handlers},
    {STATE_EDIT, {0, 0, 0}, edit_enter, edit_exit, edit_handlers},
    {STATE_CONFIRM, {0, 0, 0}, confirm_enter, NULL, confirm_handlers},
};
#define STATE_ROWS (sizeof(states) / sizeof(states[0]))

/* Called by the framework once it has registered the module: its record, then its first state. */
static UINT32 start(event_context_t* ev, UINT32 registration) {
    app_record_t* app = APP_InitAppData(APP_HandleEvent, APP_RECORD_SIZE, registration, 0, 1, 1, 1, 1, 0);
    if (app == NULL) return 1;
    return APP_Start(ev, app, STATE_INIT, states, leave, module_name, 0);
}

/* The entry: the loader hands over the module's own path and the event code base. */
UINT32 Lib(const char* path, const char* unused, UINT32 base) {
    evcode_base = base;
    if (path == NULL || !list_file_path(path)) return 1;
    list = (checklist_t*)suAllocMem(sizeof(checklist_t), NULL);
    if (list == NULL) return 1;
    list_read();
    UINT32 result = APP_Register(&evcode_base, 1, states, STATE_ROWS, start);
    if (result != 0) {
        suFreeMem(list);
        list = NULL;
        return result;
    }
    LdrStartApp(evcode_base);
    return 0;
}
