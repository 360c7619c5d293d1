// Memory blocks.
#pragma once
#include "types.h"

// NULL when no block of that size can be had.
PLATFORM_API void* suAllocMem(UINT32 size, INT32* error);
PLATFORM_API void suFreeMem(void* block);
