// Modules that misuse the heap, each picked by its path: /double-free, /free-stack,
// /free-inside, /guard, /misaligned, /past-end and /unterminated are faults; /blocks-40000,
// /blocks-0 and /whole-heap count what the heap gives (Lib returns it, so the runner tells it).
#include "platform/drawing.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "tiny_app.hpp"

namespace {
UINT32 count(UINT32 size) {
    UINT32 n = 0;
    while (suAllocMem(size, NULL)) ++n;
    return n;
}
}  // namespace

PLATFORM_API UINT32 Lib(const char* path, const char*, UINT32) {
    UINT8* block = static_cast<UINT8*>(suAllocMem(10, NULL));
    if (tiny::is(path, "/double-free")) {
        suFreeMem(block);
        suFreeMem(block);
    } else if (tiny::is(path, "/free-stack")) {
        UINT32 local = 0;
        suFreeMem(&local);
    } else if (tiny::is(path, "/free-inside")) {
        suFreeMem(block + 4);
    } else if (tiny::is(path, "/guard")) {
        block[10] = 1;
        suFreeMem(block);
    } else if (tiny::is(path, "/misaligned")) {
        return u_strlen(reinterpret_cast<const WCHAR*>(block + 1));
    } else if (tiny::is(path, "/past-end")) {
        return AhiDrawSpans(DAL_GetDeviceContext(0), reinterpret_cast<const ahi_rect_t*>(block), 1, 0);
    } else if (tiny::is(path, "/unterminated")) {
        for (UINT32 i = 0; i < 10; ++i) block[i] = 'a';
        return u_strlen(reinterpret_cast<const WCHAR*>(block));
    } else if (tiny::is(path, "/blocks-40000")) {
        suFreeMem(block);
        return count(40000);
    } else if (tiny::is(path, "/blocks-0")) {
        suFreeMem(block);
        return count(0);
    } else if (tiny::is(path, "/whole-heap")) {
        suFreeMem(block);
        UINT8* all = static_cast<UINT8*>(suAllocMem(64u << 20, NULL));
        if (!all) return 1;
        all[0] = 1, all[(64u << 20) - 1] = 2;
        return all[0] + all[(64u << 20) - 1] + (suAllocMem(0, NULL) ? 10 : 0);
    }
    return 0;
}
