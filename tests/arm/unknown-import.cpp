// A module that imports a function no platform has: the loader refuses it by name.
#include "platform/types.h"

PLATFORM_API UINT32 NoSuchPlatformFunction(UINT32 value);

PLATFORM_API UINT32 Lib(const char*, const char*, UINT32 base) { return NoSuchPlatformFunction(base); }
