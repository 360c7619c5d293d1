/* The smallest module with a screen: it greets, counts the keys pressed and leaves on the end key. */
#include "nuvoka_text.h"
#include "platform/dialogs.h"
#include "platform/text.h"

static UINT32 base, ctx, draw_surface, display_surface, keys;
static const UINT16 whole[4] = {0, 0, 176, 220};
static const UINT8 name[13] = {'h', 'e', 'l', 'l', 'o', 0, 0, 0, 0, 0, 0, 0, 0};

UINT32 Lib(const char* path, const char* unused, UINT32 evcode_base);

static void paint(void) {
    WCHAR count[12];
    ahi_rect_t all = {0, 0, 176, 220};
    ahi_point_t origin = {0, 0};
    AhiDrawSurfDstSet(ctx, draw_surface, 0);
    nuvoka_fill(ctx, 0, 0, 176, 220, NUVOKA_RGB(0, 0, 64));
    nuvoka_draw_ascii(ctx, 10, 10, "Hello from the kit", NUVOKA_RGB(255, 255, 0));
    u_ltou((INT32)keys, count);
    nuvoka_draw_text(ctx, 10, 30, count, NUVOKA_RGB(255, 255, 255));
    AhiDrawSurfSrcSet(ctx, draw_surface, 0);
    AhiDrawSurfDstSet(ctx, display_surface, 0);
    AhiDrawRopSet(ctx, ROP_COPY_SOURCE);
    AhiDrawBitBlt(ctx, &all, &origin);
}

static UINT32 granted(event_context_t* ev, app_record_t* app) {
    UINT32 result = APP_HandleUITokenGranted(ev, app);
    return result != 0 || app->token_status != UI_TOKEN_HELD ? result : APP_UtilChangeState(2, ev, app);
}

static UINT32 greet(event_context_t* ev, app_record_t* app, UINT32 kind) {
    UINT32 port = app->port;
    if (kind != STATE_CHANGE_PLAIN) return 0;
    app->dialog = UIS_CreateColorCanvas(&port, whole, 1);
    if (app->dialog == 0) return 1;
    ctx = DAL_GetDeviceContext(0);
    draw_surface = DAL_GetDrawingSurface(0);
    AhiDispSurfGet(ctx, &display_surface);
    paint();
    return 0;
}

static UINT32 key(event_context_t* ev, app_record_t* app) {
    APP_ConsumeEv(ev, app);
    if (AFW_GetEv(ev)->key == KEY_END) {
        UINT32 result;
        APP_UtilUISDialogDelete(&app->dialog);
        result = APP_Exit(ev, app, 0);
        LdrUnloadELF((const void*)(SIZE_T)Lib);
        return result;
    }
    ++keys;
    paint();
    return 0;
}

static const event_handler_entry_t any[] = {{EV_TOKEN_REVOKED, APP_HandleUITokenRevoked},
                                            {EV_TOKEN_GRANTED, APP_HandleUITokenGranted},
                                            {EVENT_TABLE_END, NULL}};
static const event_handler_entry_t waiting[] = {{EV_TOKEN_GRANTED, granted}, {EVENT_TABLE_END, NULL}};
static const event_handler_entry_t greeting[] = {{EV_KEY_PRESS, key}, {EVENT_TABLE_END, NULL}};
static const state_row_t states[] = {
    {0, {0, 0, 0}, NULL, NULL, any},
    {1, {0, 0, 0}, NULL, NULL, waiting},
    {2, {0, 0, 0}, greet, NULL, greeting},
};

static UINT32 start(event_context_t* ev, UINT32 registration) {
    app_record_t* app = APP_InitAppData(APP_HandleEvent, APP_RECORD_SIZE, registration, 0, 1, 1, 1, 1, 0);
    return app == NULL ? 1 : APP_Start(ev, app, 1, states, NULL, name, 0);
}

UINT32 Lib(const char* path, const char* unused, UINT32 evcode_base) {
    UINT32 result;
    base = evcode_base;
    result = APP_Register(&base, 1, states, 3, start);
    if (result == 0) LdrStartApp(base);
    return result;
}
