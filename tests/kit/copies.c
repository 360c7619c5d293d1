/* Copies a large structure by assignment, which the compiler does with memcpy. */
#include "platform/app_framework.h"

typedef struct big {
    UINT32 words[64];
} big_t;
static big_t first, second;

UINT32 Lib(const char* path, const char* unused, UINT32 base);
UINT32 Lib(const char* path, const char* unused, UINT32 base) {
    first.words[base & 63] = base;
    second = first;
    return second.words[1];
}
