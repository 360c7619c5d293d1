// The header bar, the soft-key bar with its position text, and the pop-up menu.
#include "screens.h"

#include "../draw/draw.h"
#include "../frame/frame.h"
#include "../platform/text.h"
#include "../records/records.h"

static const WCHAR slash[] = {'/', 0};
static const WCHAR dash[] = {' ', '-', ' ', 0};
static const WCHAR percent[] = {'%', 0};

// "S/L - P%": the selected record, the number of records and the share passed.
static void position_text(char* text) {
    WCHAR work[16], number[10];
    UINT32 selected = (UINT32)mx * pg + set;
    u_ltou((INT32)selected, work);
    u_strcat(work, slash);
    u_ltou(len, number);
    u_strcat(work, number);
    u_strcat(work, dash);
    u_ltou((INT32)__rt_udiv(len, selected * 100), number);
    u_strcat(work, number);
    u_strcat(work, percent);
    u_utoa(work, text);
}

static void draw_menu(const char* items, UINT16 selected) {
    UINT16 n = charCol(items, '|');
    SetColorRGB(120, 120, 250);
    DrawRect(2, (UINT16)(195 - 12 * n), 60, (UINT16)(12 * n + 14));
    SetColorRGB(0, 0, 96);
    FillRect(3, (UINT16)(196 - 12 * n), 58, (UINT16)(12 * n + 12));
    SetColorRGB(85, 68, 102);
    FillRect(3, (UINT16)(196 - 12 * n + 12 * selected), 58, 11);

    UINT16 item = 0;
    UINT8 pen = 4;
    for (UINT32 i = 0; i < strlen(items); i++) {
        if (items[i] == '|') {
            item++;
            pen = 4;
            continue;
        }
        if (item == selected)
            TextColorRGB(250, 250, 250);
        else
            TextColorRGB(170, 170, 34);
        WriteChar(pen, (UINT8)(198 - 12 * n + 11 * item), (UINT8)items[i]);
        pen = (UINT8)(pen + 5);
    }
}

void downsoftline(const char* left, const char* right, const char* items, UINT8 open, UINT16 selected) {
    UINT16 lit_width = (UINT16)(5 * strlen(left) + 14);
    for (UINT16 i = 0; i < 12; i++) {
        SetColorRGB((UINT8)(60 - 5 * i), (UINT8)(60 - 5 * i), (UINT8)(105 - 2 * i));
        DrawLine(0, (UINT16)(208 + i), SCREEN_WIDTH, (UINT16)(208 + i));
        DrawLine(0, (UINT16)(12 - i), SCREEN_WIDTH, (UINT16)(12 - i));
        if (open) {
            SetColorRGB((UINT8)(60 + 5 * i), (UINT8)(60 + 5 * i), (UINT8)(105 + 2 * i));
            DrawLine(0, (UINT16)(208 + i), lit_width, (UINT16)(208 + i));
        }
    }
    SetColorRGB(0, 0, 100);
    DrawLine(0, 0, SCREEN_WIDTH, 0);

    char position[16];
    position_text(position);

    TextColorRGB(170, 170, 34);
    WriteString(50, 1, "BlackList.txt");
    TextColorRGB(170, 170, 170);
    WriteString(40, 209, position);

    if (OnMenu || ExitMenu || About || Error)
        TextColorRGB(170, 170, 34);
    else
        TextColorRGB(34, 34, 34);
    WriteString((UINT8)(SCREEN_WIDTH - (5 * strlen(right) + 10)), 209, right);

    if (open)
        TextColorRGB(250, 250, 250);
    else
        TextColorRGB(170, 170, 34);
    WriteString(2, 209, left);

    if (open) draw_menu(items, selected);
}
