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

    // Character by character; the colour is set once an item, before its first character.
    UINT16 item = 0;
    UINT8 pen = 4;
    const UINT32 length = (UINT32)strlen(items);
    for (UINT32 i = 0; i < length; i++) {
        if (items[i] == '|') {
            item++;
            pen = 4;
            continue;
        }
        if (pen == 4) {
            if (item == selected)
                TextColorRGB(250, 250, 250);
            else
                TextColorRGB(170, 170, 34);
        }
        WriteChar(pen, (UINT8)(198 - 12 * n + 11 * item), (UINT8)items[i]);
        pen = (UINT8)(pen + FONT_CELL_WIDTH);
    }
}

void downsoftline(const char* left, const char* right, const char* items, UINT8 open, UINT16 selected) {
    UINT16 lit_width = (UINT16)(FONT_CELL_WIDTH * strlen(left) + 14);
    for (UINT16 i = 0; i < BAR_ROWS; i++) {
        UINT16 soft_row = (UINT16)(SOFT_BAR_TOP + i), header_row = (UINT16)(BAR_ROWS - i);
        SetColorRGB((UINT8)(60 - 5 * i), (UINT8)(60 - 5 * i), (UINT8)(105 - 2 * i));
        DrawLine(0, soft_row, SCREEN_WIDTH, soft_row);
        DrawLine(0, header_row, SCREEN_WIDTH, header_row);
        if (open) {
            SetColorRGB((UINT8)(60 + 5 * i), (UINT8)(60 + 5 * i), (UINT8)(105 + 2 * i));
            DrawLine(0, soft_row, lit_width, soft_row);
        }
    }
    SetColorRGB(0, 0, 100);
    DrawLine(0, 0, SCREEN_WIDTH, 0);

    char position[16];
    position_text(position);

    TextColorRGB(170, 170, 34);
    WriteString(50, 1, record_file_name);
    TextColorRGB(170, 170, 170);
    WriteString(40, SOFT_BAR_TOP + 1, position);

    if (OnMenu || ExitMenu || About || Error)
        TextColorRGB(170, 170, 34);
    else
        TextColorRGB(34, 34, 34);
    WriteString((UINT8)(SCREEN_WIDTH - (FONT_CELL_WIDTH * strlen(right) + 10)), SOFT_BAR_TOP + 1, right);

    if (open)
        TextColorRGB(250, 250, 250);
    else
        TextColorRGB(170, 170, 34);
    WriteString(2, SOFT_BAR_TOP + 1, left);

    if (open) draw_menu(items, selected);
}
