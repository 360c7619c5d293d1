/* Every platform header in one translation unit, with a little of each put to use: the headers
 * must build as C11 and as C++20, for this computer and for the phone's CPU, warnings as errors
 * (tests/platform/headers.sh). */
#include "platform/app_framework.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/resources.h"
#include "platform/text.h"
#include "platform/types.h"

static UINT32 on_key(event_context_t* ev, app_record_t* app) {
    const event_record_t* event = AFW_GetEv(ev);
    return event->key == KEY_END ? APP_Exit(ev, app, 0) : 0;
}

static const event_handler_entry_t handlers[] = {{EV_KEY_PRESS, on_key}, {EVENT_TABLE_END, NULL}};
static const state_row_t states[] = {{1, {0, 0, 0}, NULL, NULL, handlers}};
static const UINT8 dot_bits[1] = {0x80};
static const glyph_record_t dot = {1, 0, 2, 1, dot_bits};

UINT32 every_header_used(UINT32 ctx, const WCHAR* path);
UINT32 every_header_used(UINT32 ctx, const WCHAR* path) {
    const ahi_point_t at = {0, 0};
    UINT32 handle = DL_FsOpenFile(path, FS_MODE_READ, 0);
    void* block = suAllocMem(16, NULL);
    UINT8 language = 0;
    DRM_GetCurrentLanguage(&language);
    suFreeMem(block);
    if (handle != FS_INVALID_HANDLE) DL_FsCloseFile(handle);
    return AhiDrawChar(ctx, &at, &dot, 1, 0) + u_strlen(path) + __rt_udiv(2, 10) + states[0].id + language;
}
