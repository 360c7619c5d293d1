// Modules that hand the platform arguments no function can work with, each picked by its path:
// text copied onto itself (/strcpy, /strcat, /atou, /utoa), a buffer too small for what is read
// into it (/read), no text at all (/null), a value wider than its parameter (/wide).
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "tiny_app.hpp"

PLATFORM_API UINT32 Lib(const char* path, const char*, UINT32) {
    // Filled a unit at a time: an initialiser would call a memcpy that no platform has.
    WCHAR text[8];
    for (UINT32 i = 0; i < 8; ++i) text[i] = i < 6 ? static_cast<WCHAR>('a' + i) : 0;
    if (tiny::is(path, "/strcpy")) u_strcpy(text + 1, text);
    if (tiny::is(path, "/strcat")) u_strcat(text, text);
    // The loader's path, at the very top of the phone's stack, written over with its own wide copy.
    if (tiny::is(path, "/atou")) u_atou(path, reinterpret_cast<WCHAR*>(const_cast<char*>(path)));
    if (tiny::is(path, "/utoa")) u_utoa(text, reinterpret_cast<char*>(text + 2));
    if (tiny::is(path, "/read")) {
        UINT32 done = 0;
        DL_FsReadFile(suAllocMem(16, NULL), 64, 1, DL_FsOpenFile(text, FS_MODE_READ, 0), &done);
    }
    if (tiny::is(path, "/null")) return u_strlen(NULL);
    if (tiny::is(path, "/wide")) {
        // As a caller that breaks the calling convention passes it: all 32 bits of an 8-bit value.
        using Wide = UINT32 (*)(UINT32*, WCHAR*, UINT32, UINT32, UINT32, UINT32, UINT32);
        UINT32 port = 0;
        const auto any = reinterpret_cast<void (*)()>(UIS_CreateCharacterEditor);
        reinterpret_cast<Wide>(any)(&port, text, 0x1FF, 50, 0, 0, 0);
    }
    return 0;
}
