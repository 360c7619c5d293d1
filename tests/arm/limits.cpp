// Modules that ask the simulator to hold more than a phone would, each picked by its path
// (Lib returns how much it got, so the runner tells it): /resources (a 64 MiB resource, then
// 1 MiB ones until one fails), /events (1 Mi events queued at once), /editors (30 editors titled
// with a 16 MiB text), /files (files opened until one fails, held while the application runs),
// /escape (files written, renamed and deleted outside the phone's root: none may be).
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/resources.h"
#include "tiny_app.hpp"

namespace {
event_handler_entry_t handlers[] = {{EVENT_TABLE_END, NULL}};

UINT32 resources() {
    const UINT8* big = static_cast<const UINT8*>(suAllocMem(64u << 20, NULL));
    UINT32 id = 0, made = 0;
    if (!big || DRM_CreateResource(&id, RESOURCE_KIND_TEXT, big, 64u << 20) == 0) return 0;
    while (made < 100 && DRM_CreateResource(&id, RESOURCE_KIND_TEXT, big, 1u << 20) == 0) ++made;
    return made;
}

UINT32 editors() {
    const UINT32 bytes = 16u << 20;
    WCHAR* title = static_cast<WCHAR*>(suAllocMem(bytes, NULL));
    if (!title) return 0;
    for (UINT32 i = 0; i < bytes / 2; ++i) title[i] = 'T';
    title[bytes / 2 - 1] = 0;
    UINT32 id = 0, port = 0, made = 0;
    if (DRM_CreateResource(&id, RESOURCE_KIND_TEXT, title, bytes) != 0) return 0;
    static WCHAR text[2] = {'x', 0};
    for (UINT32 i = 0; i < 30; ++i) made += UIS_CreateCharacterEditor(&port, text, 0, 50, 0, 0, id) != 0;
    return made;
}

// Files named "/f" and three letters, as many as open.
UINT32 openFiles() {
    static WCHAR name[] = {'/', 'f', 'a', 'a', 'a', 0};
    UINT32 opened = 0;
    for (name[2] = 'a'; name[2] <= 'z'; ++name[2])
        for (name[3] = 'a'; name[3] <= 'z'; ++name[3])
            for (name[4] = 'a'; name[4] <= 'z'; ++name[4]) {
                if (DL_FsOpenFile(name, FS_MODE_WRITE, 0) == FS_INVALID_HANDLE) return opened;
                ++opened;
            }
    return opened;
}

UINT32 escape() {
    static const WCHAR kPaths[3][16] = {
        {'/', '.', '.', '/', 'o', 'u', 't', 0},
        {'/', 'e', 'l', 'f', '/', '.', '.', '/', '.', '.', '/', 'o', 'u', 't', 0},
        {'.', '.', '/', 'o', 'u', 't', 0},
    };
    static const WCHAR kInside[] = {'/', 'i', 'n', 0};
    UINT32 done = 0, written = 0;
    const UINT32 inside = DL_FsOpenFile(kInside, FS_MODE_WRITE, 0);
    DL_FsWriteFile("x", 1, 1, inside, &written);
    DL_FsCloseFile(inside);
    for (UINT32 i = 0; i < 3; ++i) {
        const WCHAR* path = kPaths[i];
        const UINT32 handle = DL_FsOpenFile(path, FS_MODE_WRITE, 0);
        done += handle != FS_INVALID_HANDLE;
        done += DL_FsRenameFile(kInside, path) == FS_OK;
        done += DL_FsDeleteFile(path, 0) == FS_OK;
    }
    return done;
}
}  // namespace

PLATFORM_API UINT32 Lib(const char* path, const char*, UINT32 base) {
    if (tiny::is(path, "/resources")) return resources();
    if (tiny::is(path, "/editors")) return editors();
    if (tiny::is(path, "/escape")) return escape();
    if (tiny::is(path, "/events")) {
        for (UINT32 i = 0; i < (1u << 20); ++i) AFW_AddEvEvD(NULL, EV_TICK);
        return 1;
    }
    if (tiny::is(path, "/files") && openFiles() < 100) return tiny::run(base, handlers);
    return 1;
}
