// What the platform's 16-bit text functions and unsigned division do. They keep no state.
#include "described.hpp"

namespace sim::service {

WCHAR* u_atou(const char* source, WCHAR* destination) {
    WCHAR* out = destination;
    while (*source) *out++ = static_cast<unsigned char>(*source++);
    *out = 0;
    return destination;
}

char* u_utoa(const WCHAR* source, char* destination) {
    char* out = destination;
    while (*source) *out++ = static_cast<char>(*source++ & 0xFF);
    *out = 0;
    return destination;
}

WCHAR* u_ltou(INT32 number, WCHAR* destination) {
    char digits[12];
    int n = 0;
    // Work on the magnitude as unsigned so the most negative number needs no special case.
    UINT32 magnitude = number < 0 ? 0u - static_cast<UINT32>(number) : static_cast<UINT32>(number);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    WCHAR* out = destination;
    if (number < 0) *out++ = '-';
    while (n) *out++ = static_cast<WCHAR>(digits[--n]);
    *out = 0;
    return destination;
}

UINT32 u_strlen(const WCHAR* text) {
    UINT32 n = 0;
    while (text[n]) ++n;
    return n;
}

WCHAR* u_strcpy(WCHAR* destination, const WCHAR* source) {
    WCHAR* out = destination;
    while ((*out++ = *source++)) {
    }
    return destination;
}

WCHAR* u_strcat(WCHAR* destination, const WCHAR* source) {
    u_strcpy(destination + u_strlen(destination), source);
    return destination;
}

// Division by zero gives 0 rather than a trap; the phone's run-time would raise one.
UINT32 __rt_udiv(UINT32 divisor, UINT32 dividend) { return divisor ? dividend / divisor : 0; }

}  // namespace sim::service
