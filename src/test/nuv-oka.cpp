// Entry, registration, start and exit of the application, and its state tables.
#include "app.h"

#include "../draw/draw.h"
#include "../frame/frame.h"
#include "../platform/dialogs.h"
#include "../platform/files.h"
#include "../platform/resources.h"
#include "../platform/text.h"
#include "../records/records.h"
#include "../screens/screens.h"

// clang-format off
static const char menu_label_en[] = "Menu";
static const char menu_items_en[] = "Edit line|Delete|Add line|About|Exit";
// "Номер" as CP1251 bytes, each widened to 16 bits
static const WCHAR editor_title[] = {0x00CD, 0x00EE, 0x00EC, 0x00E5, 0x00F0, 0};
static const WCHAR first_title[] = {'H', 'E', 'X', 0};

UINT32 evcode_base = 0;
UINT8 LGID = 0;
// Меню
const char* softline = "\xCC\xE5\xED\xFE";
// Изменить|Удалить|Добавить|Справка|Выйти
const char* menu = "\xC8\xE7\xEC\xE5\xED\xE8\xF2\xFC|\xD3\xE4\xE0\xEB\xE8\xF2\xFC|"
                   "\xC4\xEE\xE1\xE0\xE2\xE8\xF2\xFC|\xD1\xEF\xF0\xE0\xE2\xEA\xE0|\xC2\xFB\xE9\xF2\xE8";
// Ок
const char* l_ok = "\xCE\xEA";
// clang-format on
const WCHAR* bf_offset = editor_title;
WCHAR file_name[FILE_NAME_CHARS];
UINT32 Resources = 0;
const UINT8 app_name[13] = {'n', 'u', 'v', '-', 'o', 'k', 'a', 0, 0, 0, 0, 0, 0};

// The area of the colour canvas: the whole display.
static const UINT16 bufd[4] = {0, 0, SCREEN_WIDTH, SCREEN_HEIGHT};

// A grant after the token was lost (an incoming call) goes to the framework's own handling in
// every state but init, whose handler also makes the list screen: the token must be taken back,
// or the platform keeps the display.
static const event_handler_entry_t any_state_handlers[] = {
    {EV_TICK, Tim},
    {EV_TOKEN_REVOKED, APP_HandleUITokenRevoked},
    {EV_TOKEN_GRANTED, APP_HandleUITokenGranted},
    {EV_KEY_PRESS, AnyKeypress},
    {EVENT_TABLE_END, NULL},
};

static const event_handler_entry_t init_state_handlers[] = {
    {EV_TOKEN_GRANTED, HandleUITokenGranted},
    {EVENT_TABLE_END, NULL},
};

static const event_handler_entry_t main_state_handlers[] = {
    {EV_KEY_PRESS, HandleKeypress},
    {EVENT_TABLE_END, NULL},
};

static const event_handler_entry_t edit_state_handlers[] = {
    {EV_EDITOR_DATA, EditData},
    {EV_EDITOR_OK, EditOk},
    {EV_EDITOR_BACK, Back},
    {EVENT_TABLE_END, NULL},
};

const state_row_t state_handling_table[] = {
    {APP_STATE_ANY, {0, 0, 0}, NULL, NULL, any_state_handlers},
    {APP_STATE_INIT, {0, 0, 0}, NULL, NULL, init_state_handlers},
    {APP_STATE_MAIN, {0, 0, 0}, MainStateEnter, NULL, main_state_handlers},
    {APP_STATE_EDIT, {0, 0, 0}, EditStateEnter, StateExit, edit_state_handlers},
};
#define STATE_ROWS (sizeof(state_handling_table) / sizeof(state_handling_table[0]))
static_assert(STATE_ROWS == APP_STATE_COUNT, "one row for each state");

UINT32 Lib(const char* path, const char* unused, UINT32 base) { return Register(path, unused, base); }

// Builds `file_name` from the folder of `path` (up to and including its last "/") and
// the record file's name. A path without any "/" stands for a file at the root.
// Returns 0 when the result would not fit the FILE_NAME_CHARS - 1 characters.
static UINT8 build_file_name(const char* path) {
    UINT32 folder = 0;  // characters up to and including the last "/"
    for (UINT32 i = 0; path[i]; i++)
        if (path[i] == '/') folder = i + 1;
    if (folder + strlen(record_file_name) > FILE_NAME_CHARS - 1) return 0;
    if (folder == 0) {
        file_name[0] = '/';
        folder = 1;
    } else {
        for (UINT32 i = 0; i < folder; i++) file_name[i] = (UINT8)path[i];
    }
    u_atou(record_file_name, file_name + folder);
    return 1;
}

UINT32 Register(const char* path, const char*, UINT32 base) {
    evcode_base = base;
    DRM_GetCurrentLanguage(&LGID);
    if (LGID != LANGUAGE_RUSSIAN) {
        softline = menu_label_en;
        menu = menu_items_en;
    }
    // A record file whose path does not fit could only be cut short or written past
    // the end of its name: refuse to start instead.
    if (!path || !build_file_name(path)) return 1;
    // A temporary file left by an interrupted change is not part of the list.
    WCHAR temp[FILE_NAME_CHARS];
    temp_path(temp);
    DL_FsDeleteFile(temp, 0);
    all();
    UINT32 result = APP_Register(&evcode_base, 1, state_handling_table, STATE_ROWS, startApp);
    if (result == 0) LdrStartApp(evcode_base);
    return result;
}

UINT32 startApp(event_context_t* ev, UINT32 registration) {
    app_record_t* app = APP_InitAppData(APP_HandleEvent, APP_RECORD_SIZE, registration, 0, 1, 1, 1, 1, 0);
    if (app == NULL) return 1;
    UINT32 result = APP_Start(ev, app, APP_STATE_INIT, state_handling_table, destroyApp, app_name, 0);
    InitResources();
    return result;
}

void InitResources(void) {
    WCHAR title[4];
    u_strcpy(title, first_title);
    // Without its title resource the editor opens untitled.
    if (DRM_CreateResource(&Resources, RESOURCE_KIND_TEXT, title, (u_strlen(title) + 1) * 2) != 0) {
        Resources = 0;
        return;
    }
    DRM_SetResource(Resources, bf_offset, (u_strlen(bf_offset) + 1) * 2);
}

void RemoveResources(void) {
    UINT32* ids = &Resources;
    for (UINT32 i = 0; i < 1; i++)
        if (ids[i] != 0) DRM_ClearResource(ids[i]);
}

UINT32 destroyApp(event_context_t* ev, app_record_t* app) {
    APP_UtilUISDialogDelete(&app->dialog);
    UINT32 result = APP_Exit(ev, app, 0);
    RemoveResources();
    LdrUnloadELF((const void*)Lib);
    return result;
}

UINT32 HandleUITokenGranted(event_context_t* ev, app_record_t* app) {
    UINT32 result = APP_HandleUITokenGranted(ev, app);
    if (result != 0) return result;
    if (app->token_status != UI_TOKEN_HELD) return 0;
    // Without a canvas for the list the application waits in its init state and tries again.
    result = APP_UtilChangeState(APP_STATE_MAIN, ev, app);
    list_pending = result != 0;
    return result;
}

UINT32 MainStateEnter(event_context_t*, app_record_t* app, UINT32 kind) {
    if (kind != STATE_CHANGE_PLAIN) return 0;
    APP_UtilUISDialogDelete(&app->dialog);
    UINT32 port = app->port;
    UINT32 canvas = UIS_CreateColorCanvas(&port, bufd, 1);
    if (canvas == 0) return 1;
    app->dialog = canvas;
    AHG_Init();
    return 0;
}

UINT32 Tim(event_context_t* ev, app_record_t* app) {
    // A list screen that could not be made on the way back from the editor is tried again.
    if (retry_list(ev, app) == 0) return 0;
    // Before the main state has bound the drawing layer there is nothing to paint on.
    if (dCtx == 0) return 0;
    paint();
    return 0;
}
