// A tiny application for the hostile modules: it registers one state (1) whose entry routine and
// handlers the module gives, starts in it and takes every event through the framework. Lib picks
// what the module does by its own path ("/name.elf"), so one file holds several modules.
#pragma once
#include "platform/app_framework.h"

namespace tiny {

inline bool is(const char* path, const char* name) {
    while (*path && *path == *name) ++path, ++name;
    return *name == 0 && *path == '.';
}

inline UINT32 base;
inline state_row_t states[2] = {{0, {0, 0, 0}, NULL, NULL, NULL}, {1, {0, 0, 0}, NULL, NULL, NULL}};

inline UINT32 start(event_context_t* ev, UINT32 registration) {
    app_record_t* app = APP_InitAppData(APP_HandleEvent, APP_RECORD_SIZE, registration, 0, 1, 1, 1, 1, 0);
    return app ? APP_Start(ev, app, 1, states, NULL, reinterpret_cast<const UINT8*>("tiny"), 0) : 1;
}

// Registers, to start in state 1 with `handlers` and `entry`.
inline UINT32 run(UINT32 evcodeBase, const event_handler_entry_t* handlers, state_routine_fn entry = NULL) {
    base = evcodeBase;
    states[1].entry = entry;
    states[1].handlers = handlers;
    const UINT32 result = APP_Register(&base, 1, states, 2, start);
    if (result == 0) LdrStartApp(base);
    return result;
}

// Never returns, however the compiler looks at it.
inline void spin() {
    volatile UINT32 turns = 0;
    for (;;) turns = turns + 1;
}

}  // namespace tiny
