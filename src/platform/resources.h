// Language and resources.
#pragma once
#include "types.h"

#define LANGUAGE_RUSSIAN 0x23
#define LANGUAGE_ENGLISH 0x01
#define RESOURCE_KIND_TEXT 1

PLATFORM_API UINT32 DRM_GetCurrentLanguage(UINT8* language);
PLATFORM_API UINT32 DRM_CreateResource(UINT32* id, UINT32 kind, const void* data, UINT32 size);
PLATFORM_API UINT32 DRM_SetResource(UINT32 id, const void* data, UINT32 size);
PLATFORM_API UINT32 DRM_ClearResource(UINT32 id);
