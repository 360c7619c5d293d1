/* Divides by a number only known when it runs: the phone's CPU has no divide instruction. */
#include "platform/app_framework.h"

UINT32 Lib(const char* path, const char* unused, UINT32 base);
UINT32 Lib(const char* path, const char* unused, UINT32 base) { return 1000u / (base | 1u); }
