// Basic types shared by the application and the platform it runs on.
// The application is built freestanding, so nothing here comes from a C library.
#pragma once

typedef unsigned char UINT8;
typedef unsigned short UINT16;
typedef unsigned int UINT32;
typedef signed char INT8;
typedef signed short INT16;
typedef signed int INT32;
typedef UINT16 WCHAR;  // one 16-bit code unit of platform text
typedef __SIZE_TYPE__ SIZE_T;

static_assert(sizeof(UINT8) == 1 && sizeof(UINT16) == 2 && sizeof(UINT32) == 4, "fixed widths");
static_assert(sizeof(WCHAR) == 2, "platform text is 16 bits wide");

// True when the build targets the phone's 32-bit CPU; the framework records then
// have exactly the phone's layout.
#define PLATFORM_POINTERS_ARE_32_BITS (__SIZEOF_POINTER__ == 4)

#ifndef NULL
#define NULL 0
#endif

#define PLATFORM_API extern "C"
