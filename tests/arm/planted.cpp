// A module with a planted fault for the explorer to find: the same key pressed three times in a
// row makes it write through a wild pointer. The end key ends it cleanly.
#include "tiny_app.hpp"

// In the unmapped page at address 0; volatile, so that the compiler takes it as it is.
static volatile UINT32 nowhere = 0x40;
static UINT8 lastKey;
static UINT32 inARow;

static UINT32 key(event_context_t* ev, app_record_t* app) {
    const UINT8 pressed = AFW_GetEv(ev)->key;
    if (pressed == KEY_END) return APP_Exit(ev, app, 0);
    inARow = pressed == lastKey ? inARow + 1 : 1;
    lastKey = pressed;
    if (inARow == 3) *reinterpret_cast<volatile UINT32*>(nowhere) = pressed;
    return 0;
}

static const event_handler_entry_t handlers[] = {{EV_KEY_PRESS, key}, {EVENT_TABLE_END, NULL}};

PLATFORM_API UINT32 Lib(const char*, const char*, UINT32 evcodeBase) { return tiny::run(evcodeBase, handlers); }
