// 16-bit text functions, the C library's strlen, and unsigned division.
#pragma once
#include "types.h"

// Each byte becomes the code unit of the same value.
PLATFORM_API WCHAR* u_atou(const char* source, WCHAR* destination);
// Each code unit becomes one byte (its low eight bits).
PLATFORM_API char* u_utoa(const WCHAR* source, char* destination);
// The number's decimal digits.
PLATFORM_API WCHAR* u_ltou(INT32 number, WCHAR* destination);
PLATFORM_API UINT32 u_strlen(const WCHAR* text);
PLATFORM_API WCHAR* u_strcpy(WCHAR* destination, const WCHAR* source);
PLATFORM_API WCHAR* u_strcat(WCHAR* destination, const WCHAR* source);
PLATFORM_API SIZE_T strlen(const char* text);
// The quotient dividend / divisor; the divisor comes first.
PLATFORM_API UINT32 __rt_udiv(UINT32 divisor, UINT32 dividend);
