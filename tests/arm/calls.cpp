// Modules that call where they should not, or never return, each picked by its path: a null
// call (/null-call in Lib, /null-handler in a handler), a handler that lies in data
// (/data-handler), a platform function entered in ARM state (/arm-state), calls that nest without
// end (/handler-loop: a handler that is APP_HandleEvent itself; /state-loop: an entry routine that
// enters its own state), and loops that never end (/spin in Lib, /spin-handler in a handler,
// /spans: one drawing call of 4 Mi full-screen rectangles).
#include "platform/drawing.h"
#include "platform/memory.h"
#include "tiny_app.hpp"

namespace {
typedef UINT32 (*Function)(UINT32);
// Read at run time, so that the compiler cannot know the call goes nowhere.
volatile UINT32 nowhere = 0;
UINT32 data[4];

UINT32 nullHandler(event_context_t*, app_record_t*) { return reinterpret_cast<Function>(nowhere)(12345) + 1; }
UINT32 spinHandler(event_context_t*, app_record_t*) {
    tiny::spin();
    return 0;
}
UINT32 enterAgain(event_context_t* ev, app_record_t* app, UINT32) { return APP_UtilChangeState(1, ev, app); }

event_handler_entry_t handlers[] = {{EV_TICK, NULL}, {EVENT_TABLE_END, NULL}};
}  // namespace

PLATFORM_API UINT32 Lib(const char* path, const char*, UINT32 base) {
    if (tiny::is(path, "/null-call")) return reinterpret_cast<Function>(nowhere)(12345);
    if (tiny::is(path, "/arm-state"))
        return reinterpret_cast<Function>(reinterpret_cast<SIZE_T>(&DAL_GetDeviceContext) & ~SIZE_T{1})(0);
    if (tiny::is(path, "/spin")) tiny::spin();
    if (tiny::is(path, "/spans")) {
        const UINT32 count = 4u << 20;
        ahi_rect_t* rects = static_cast<ahi_rect_t*>(suAllocMem(count * sizeof(ahi_rect_t), NULL));
        if (!rects) return 1;
        for (UINT32 i = 0; i < count; ++i) rects[i].x1 = 0, rects[i].y1 = 0, rects[i].x2 = 176, rects[i].y2 = 220;
        return AhiDrawSpans(DAL_GetDeviceContext(0), rects, count, 0);
    }
    if (tiny::is(path, "/state-loop")) return tiny::run(base, handlers, enterAgain);
    if (tiny::is(path, "/null-handler")) handlers[0].handler = nullHandler;
    if (tiny::is(path, "/data-handler")) handlers[0].handler = reinterpret_cast<event_handler_fn>(data);
    if (tiny::is(path, "/handler-loop")) handlers[0].handler = APP_HandleEvent;
    if (tiny::is(path, "/spin-handler")) handlers[0].handler = spinHandler;
    return tiny::run(base, handlers);
}
