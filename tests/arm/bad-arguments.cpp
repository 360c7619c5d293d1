// A module that hands the platform arguments no platform function can work with, chosen by its
// own path: text copied onto itself, a buffer too small for what is read into it, a misaligned
// text, a value wider than its parameter. Each is the module's fault, reported, never suffered.
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/text.h"

namespace {
bool is(const char* path, const char* name) {
    for (; *name; ++path, ++name)
        if (*path != *name) return false;
    return *path == 0;
}
}  // namespace

PLATFORM_API UINT32 Lib(const char* path, const char*, UINT32) {
    // Filled a unit at a time: an initialiser would call a memcpy that no platform has.
    WCHAR text[8];
    for (UINT32 i = 0; i < 8; ++i) text[i] = i < 6 ? static_cast<WCHAR>('a' + i) : 0;
    if (is(path, "/strcpy")) u_strcpy(text + 1, text);
    if (is(path, "/strcat")) u_strcat(text, text);
    // The loader's path lies at the very top of the stack: written over with its own wide copy.
    if (is(path, "/atou")) u_atou(path, reinterpret_cast<WCHAR*>(const_cast<char*>(path)));
    if (is(path, "/utoa")) u_utoa(text, reinterpret_cast<char*>(text + 2));
    if (is(path, "/read")) {
        UINT32 done = 0;
        DL_FsReadFile(suAllocMem(16, NULL), 64, 1, DL_FsOpenFile(text, FS_MODE_READ, 0), &done);
    }
    if (is(path, "/misaligned"))
        return u_strlen(reinterpret_cast<const WCHAR*>(reinterpret_cast<const char*>(text) + 1));
    if (is(path, "/wide")) {
        // As a caller that breaks the calling convention passes it: all 32 bits of an 8-bit value.
        using Wide = UINT32 (*)(UINT32*, WCHAR*, UINT32, UINT32, UINT32, UINT32, UINT32);
        UINT32 port = 0;
        const auto any = reinterpret_cast<void (*)()>(UIS_CreateCharacterEditor);
        reinterpret_cast<Wide>(any)(&port, text, 0x1FF, 50, 0, 0, 0);
    }
    return 0;
}
