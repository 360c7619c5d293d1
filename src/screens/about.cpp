// The about window: what the application is for, its version, author and thanks.
#include "screens.h"

#include "../draw/draw.h"
#include "../platform/resources.h"
#include "../records/records.h"
#include "../test/app.h"

// The texts of one language, and where the two tails that complete the purpose's
// second and third lines stand (relative to the body's left edge).
struct about_texts_t {
    const char* version;
    const char* purpose[3];
    UINT8 file_at;     // one character's width after the second line
    UINT8 devices_at;  // four pixels after the third line
    const char* author;
    const char* thanks;
};

// clang-format off
static const about_texts_t about_ru = {
    // Программа вер. 0.53b 31/07/09
    "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 \xE2\xE5\xF0. 0.53b 31/07/09",
    {
        // Предназначена для редак-
        "\xCF\xF0\xE5\xE4\xED\xE0\xE7\xED\xE0\xF7\xE5\xED\xE0 \xE4\xEB\xFF \xF0\xE5\xE4\xE0\xEA-",
        // тирования
        "\xF2\xE8\xF0\xEE\xE2\xE0\xED\xE8\xFF",
        // на мобильном
        "\xED\xE0 \xEC\xEE\xE1\xE8\xEB\xFC\xED\xEE\xEC",
    },
    86,
    100,
    // Автор:
    "\xC0\xE2\xF2\xEE\xF0:",
    // Спасибо:
    "\xD1\xEF\xE0\xF1\xE8\xE1\xEE:",
};

static const about_texts_t about_en = {
    "Programm ver. 0.53b 30/07/09",
    {"Intended for change", "file", "on mobiles"},
    61,
    90,
    "Autor:",
    "Thank's:",
};
// clang-format on

static const char devices_tail[] = "devices";
static const char separator[] = "-==-==-==-==-==-==-==-==-==-==-";
static const char nickname[] = "rumo";
static const char thanked[] = "Pell88, lio marsh";
static const char forum[] = "www.example.org/nuv-oka";

void writeAbout(UINT16 x, UINT16 y) {
    const about_texts_t* t = (LGID == LANGUAGE_RUSSIAN) ? &about_ru : &about_en;

    writeWin((UINT16)(SCREEN_WIDTH - 2 * x), (UINT16)(SCREEN_HEIGHT - 2 * y), t->version);
    wrIcon((UINT16)(x + 6), (UINT16)(y + 1));

    TextColorRGB(0, 250, 0);
    WriteString((UINT8)(x + 4), (UINT8)(y + 2), "elf");
    TextColorRGB(250, 170, 0);
    WriteString((UINT8)(x + 4), (UINT8)(y + 20), "ini");

    TextColorRGB(250, 250, 250);
    WriteString((UINT8)(x + 36), (UINT8)(y + 2), t->purpose[0]);
    WriteString((UINT8)(x + 36), (UINT8)(y + 13), t->purpose[1]);
    WriteString((UINT8)(x + 36), (UINT8)(y + 24), t->purpose[2]);
    TextColorRGB(170, 170, 170);
    WriteString((UINT8)(x + t->file_at), (UINT8)(y + 13), record_file_name);
    TextColorRGB(250, 250, 0);
    WriteString((UINT8)(x + t->devices_at), (UINT8)(y + 24), devices_tail);

    // The labels start on the window's left frame line, one column left of the body.
    TextColorRGB(250, 250, 250);
    WriteString((UINT8)(x - 1), (UINT8)(y + 45), t->author);
    TextColorRGB(250, 250, 250);
    WriteString((UINT8)(x - 1), (UINT8)(y + 56), t->thanks);

    wOK(1, accept_label(), (UINT16)((SCREEN_HEIGHT - y) / 2 + 2));
    mCursor(111, (UINT16)(y + 85));

    TextColorRGB(250, 0, 0);
    WriteString((UINT8)(x + 2), (UINT8)(y + 35), separator);
    TextColorRGB(250, 250, 0);
    WriteString((UINT8)(x + 43), (UINT8)(y + 45), nickname);
    TextColorRGB(0, 128, 0);
    WriteString((UINT8)(x + 43), (UINT8)(y + 56), thanked);
    TextColorRGB(170, 170, 170);
    WriteString((UINT8)(x + 43), (UINT8)(y + 68), forum);
}
