// A module that hands the platform an address it does not own or, when its own path starts with
// "/wild", reads one itself: either way the simulator reports a crash rather than suffering one.
#include "platform/files.h"

// In the unmapped page at address 0; volatile, so that the compiler takes it as it is.
static volatile UINT32 nowhere = 0x40;

PLATFORM_API UINT32 Lib(const char* path, const char*, UINT32) {
    if (path[1] == 'w' && path[2] == 'i' && path[3] == 'l' && path[4] == 'd')
        return *reinterpret_cast<const UINT32*>(nowhere + 4);
    return DL_FsDeleteFile(reinterpret_cast<const WCHAR*>(nowhere), 0);
}
