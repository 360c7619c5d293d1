// Basic types shared by the application and the platform it runs on.
// The application is built freestanding, so nothing here comes from a C library. Every header
// of src/platform/ is both C11 and C++20: a module may be written in either.
#pragma once

// A platform function has C linkage in both languages; a check of a layout is C11's
// _Static_assert or C++'s static_assert.
#ifdef __cplusplus
#define PLATFORM_API extern "C"
#define PLATFORM_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define PLATFORM_API extern
#define PLATFORM_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

typedef unsigned char UINT8;
typedef unsigned short UINT16;
typedef unsigned int UINT32;
typedef signed char INT8;
typedef signed short INT16;
typedef signed int INT32;
typedef UINT16 WCHAR;  // one 16-bit code unit of platform text
typedef __SIZE_TYPE__ SIZE_T;

PLATFORM_STATIC_ASSERT(sizeof(UINT8) == 1 && sizeof(UINT16) == 2 && sizeof(UINT32) == 4, "fixed widths");
PLATFORM_STATIC_ASSERT(sizeof(WCHAR) == 2, "platform text is 16 bits wide");

// True when the build targets the phone's 32-bit CPU; the framework records then
// have exactly the phone's layout.
#define PLATFORM_POINTERS_ARE_32_BITS (__SIZEOF_POINTER__ == 4)

#ifndef NULL
#ifdef __cplusplus
#define NULL 0
#else
#define NULL ((void*)0)
#endif
#endif
