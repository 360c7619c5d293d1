// Conversions between the record file's CP1251 bytes, the editor's 16-bit characters
// and the glyphs of the built-in font.
#include "records.h"

#define UNMAPPABLE 0x3F  // "?" stands for a character that CP1251 cannot hold

// The characters of CP1251's bytes 0x80 to 0xBF. Cyrillic letters of this half that
// are not in А to я (Ё, ё, Ђ, Ї, Ў, ...) sit here along with the punctuation; entries
// below 0x0100 are never searched, since those code units keep their value anyway.
static const WCHAR upper_half[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98: 0x98 holds nothing
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};

// One 16-bit character as a CP1251 byte.
static char to_cp1251(WCHAR c) {
    // Bytes widened from the file come back unchanged.
    if (c <= 0x00FF) return (char)c;
    // А to я lie in one run in both forms.
    if (c >= 0x0410 && c <= 0x044F) return (char)(c - 0x0350);
    for (UINT8 i = 0; i < 64; i++)
        if (upper_half[i] == c) return (char)(0x80 + i);
    return UNMAPPABLE;
}

void UCS2toCP1251(const WCHAR* source, char* destination) {
    // At most RECORD_CHARS characters and the zero: `buf` holds no more.
    UINT16 i = 0;
    while (i < RECORD_CHARS && source[i] != 0) {
        destination[i] = to_cp1251(source[i]);
        i++;
    }
    destination[i] = 0;
}

UINT8 new_win(UINT8 byte) {
    // The font draws printable ASCII and А to я, the bytes nearly every record is made of.
    if ((byte >= 0x20 && byte <= 0x7E) || byte >= 0xC0) return byte;
    // Look-alikes for the few characters the font has no glyph of; everything else is a blank.
    switch (byte) {
    case 0xA8: return 0x45;  // Ё as E
    case 0xB8: return 0x65;  // ё as e
    case 0x96: return 0x2D;  // en dash as -
    case 0xAB:               // «
    case 0xBB: return 0x22;  // » as "
    default: return 0x20;
    }
}
