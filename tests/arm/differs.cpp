// A module whose two builds differ in one action: key 9 writes sizeof(long) bytes to /elf/long.txt,
// 4 on the phone's CPU and 8 on this computer. Every other key does nothing; the end key ends it.
#include "platform/files.h"
#include "tiny_app.hpp"

static UINT32 key(event_context_t* ev, app_record_t* app) {
    const UINT8 pressed = AFW_GetEv(ev)->key;
    if (pressed == KEY_END) return APP_Exit(ev, app, 0);
    if (pressed != KEY_9) return 0;
    static const WCHAR path[] = {'/', 'e', 'l', 'f', '/', 'l', 'o', 'n', 'g', '.', 't', 'x', 't', 0};
    static const char bytes[] = "12345678";
    const UINT32 file = DL_FsOpenFile(path, 1, 0);
    UINT32 done = 0;
    DL_FsWriteFile(bytes, sizeof(long), 1, file, &done);
    DL_FsCloseFile(file);
    return 0;
}

static const event_handler_entry_t handlers[] = {{EV_KEY_PRESS, key}, {EVENT_TABLE_END, NULL}};

PLATFORM_API UINT32 Lib(const char*, const char*, UINT32 evcodeBase) { return tiny::run(evcodeBase, handlers); }
