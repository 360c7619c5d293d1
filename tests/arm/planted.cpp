// A module with a planted fault for the explorer to find: the same key pressed three times in a
// row makes it write through a wild pointer. As /leak.elf it writes nothing wild, but key 0 takes
// a heap block that it never gives back. The end key ends it either way.
#include "platform/memory.h"
#include "tiny_app.hpp"

// In the unmapped page at address 0; volatile, so that the compiler takes it as it is.
static volatile UINT32 nowhere = 0x40;
static bool leaks;
static UINT8 lastKey;
static UINT32 inARow;

static UINT32 key(event_context_t* ev, app_record_t* app) {
    const UINT8 pressed = AFW_GetEv(ev)->key;
    if (pressed == KEY_END) return APP_Exit(ev, app, 0);
    if (leaks) {
        if (pressed == KEY_0) suAllocMem(16, NULL);
        return 0;
    }
    inARow = pressed == lastKey ? inARow + 1 : 1;
    lastKey = pressed;
    if (inARow == 3) *reinterpret_cast<volatile UINT32*>(nowhere) = pressed;
    return 0;
}

static const event_handler_entry_t handlers[] = {{EV_KEY_PRESS, key}, {EVENT_TABLE_END, NULL}};

PLATFORM_API UINT32 Lib(const char* path, const char*, UINT32 evcodeBase) {
    leaks = tiny::is(path, "/leak");
    return tiny::run(evcodeBase, handlers);
}
