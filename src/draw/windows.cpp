// Windows, buttons, the arrow pointer and the information icon that the exit, about
// and error windows are built from.
#include "draw.h"

#include "../platform/text.h"

// A button is 13 rows high: its frame starts 59 rows below the vertical reference,
// its fill and its label 60 rows below it.
#define BUTTON_FRAME_ROW 59
#define BUTTON_INSIDE_ROW 60
#define BUTTON_HEIGHT 12
#define BUTTON_FILL_HEIGHT 10

// Colours of a highlighted button and of the other one.
static void button_fill(UINT8 highlighted) {
    if (highlighted)
        SetColorRGB(0, 0, 221);
    else
        SetColorRGB(51, 51, 51);
}

static void button_label(UINT8 highlighted) {
    if (highlighted)
        TextColorRGB(250, 250, 0);
    else
        TextColorRGB(136, 136, 136);
}

void writeWin(UINT16 w, UINT16 h, const char* title) {
    // The body is centred; a body wider or higher than the screen starts left of or
    // above it, and the unsigned coordinates below wrap around as they did on the phone.
    UINT16 x0 = (UINT16)((SCREEN_WIDTH - (INT32)w) / 2);
    UINT16 y0 = (UINT16)((SCREEN_HEIGHT - (INT32)h) / 2);
    UINT16 right = (UINT16)(x0 + w - 1);

    // Title bar: twelve rows from grey to blue; the body covers the last one.
    for (UINT16 i = 0; i < 12; i++) {
        UINT16 row = (UINT16)(y0 - 11 + i);
        SetColorRGB(85, 85, (UINT8)(85 + 9 * i));
        DrawLine(x0, row, right, row);
    }

    TextColorRGB(250, 250, 0);
    WriteString((UINT8)x0, (UINT8)(y0 - 11), title);

    // Frame around title bar and body, then the close box over the title's end.
    SetColorRGB(120, 120, 255);
    DrawRect((UINT16)(x0 - 1), (UINT16)(y0 - 12), (UINT16)(w + 1), (UINT16)(h + 12));
    DrawRect((UINT16)(x0 + w - 11), (UINT16)(y0 - 10), 8, 8);
    DrawLine((UINT16)(x0 + w - 9), (UINT16)(y0 - 8), (UINT16)(x0 + w - 5), (UINT16)(y0 - 4));
    DrawLine((UINT16)(x0 + w - 5), (UINT16)(y0 - 8), (UINT16)(x0 + w - 9), (UINT16)(y0 - 4));

    SetColorRGB(32, 0, 0);
    FillRect(x0, y0, (UINT16)(w - 1), (UINT16)(h - 1));
}

void wYESNO(UINT8 selected, const char* left, const char* right, UINT16 v) {
    // The left button ends on column 88, the middle of the screen; the right one
    // starts on column 95.
    UINT16 left_width = (UINT16)(FONT_CELL_WIDTH * strlen(left));
    UINT16 right_width = (UINT16)(FONT_CELL_WIDTH * strlen(right));
    UINT16 frame_row = (UINT16)(v + BUTTON_FRAME_ROW);
    UINT16 inside_row = (UINT16)(v + BUTTON_INSIDE_ROW);

    SetColorRGB(120, 120, 255);
    DrawRect((UINT16)(88 - left_width - 14), frame_row, (UINT16)(left_width + 14), BUTTON_HEIGHT);
    DrawRect(95, frame_row, (UINT16)(right_width + 14), BUTTON_HEIGHT);

    button_fill(selected);
    FillRect((UINT16)(88 - left_width - 13), inside_row, (UINT16)(left_width + 12), BUTTON_FILL_HEIGHT);
    button_label(selected);
    WriteString((UINT8)(88 - left_width - 11), (UINT8)inside_row, left);

    button_fill(!selected);
    FillRect(96, inside_row, (UINT16)(right_width + 12), BUTTON_FILL_HEIGHT);
    button_label(!selected);
    WriteString(98, (UINT8)inside_row, right);
}

void wOK(UINT8 selected, const char* label, UINT16 v) {
    // One button centred on column 88; its label is centred on the screen and then
    // moved 3 pixels to the left.
    INT32 label_width = (INT32)(FONT_CELL_WIDTH * strlen(label));
    UINT16 frame_width = (UINT16)(label_width + 14);
    UINT16 frame_left = (UINT16)(88 - frame_width / 2);
    UINT16 inside_row = (UINT16)(v + BUTTON_INSIDE_ROW);

    SetColorRGB(120, 120, 255);
    DrawRect(frame_left, (UINT16)(v + BUTTON_FRAME_ROW), frame_width, BUTTON_HEIGHT);
    button_fill(selected);
    FillRect((UINT16)(frame_left + 1), inside_row, (UINT16)(label_width + 12), BUTTON_FILL_HEIGHT);
    button_label(selected);
    WriteString((UINT8)((SCREEN_WIDTH - label_width) / 2 - 3), (UINT8)inside_row, label);
}

void mCursor(UINT16 x, UINT16 y) {
    // The outline of an arrow pointing up and to the left, tip at (x, y).
    static const UINT8 outline[8][2] = {{0, 0}, {10, 5}, {8, 8}, {11, 11}, {8, 14}, {5, 9}, {2, 10}, {0, 0}};
    SetColorRGB(255, 255, 255);
    for (UINT8 i = 1; i < 8; i++)
        DrawLine((UINT16)(x + outline[i - 1][0]), (UINT16)(y + outline[i - 1][1]), (UINT16)(x + outline[i][0]),
                 (UINT16)(y + outline[i][1]));
}

// One line of the icon, its end points relative to the icon's corner.
static void icon_line(UINT16 x, UINT16 y, UINT8 x1, UINT8 y1, UINT8 x2, UINT8 y2) {
    DrawLine((UINT16)(x + x1), (UINT16)(y + y1), (UINT16)(x + x2), (UINT16)(y + y2));
}

void wrIcon(UINT16 x, UINT16 y) {
    // A speech bubble with a tail at its lower right; each segment starts one pixel
    // after the previous one ends.
    static const UINT8 bubble[17][4] = {
        {4, 18, 3, 15},   {3, 14, 4, 13},   {4, 12, 8, 8},    {9, 8, 10, 7},    {11, 7, 14, 6},   {15, 6, 20, 6},
        {21, 7, 25, 8},   {26, 9, 29, 12},  {29, 13, 30, 14}, {30, 15, 29, 18}, {28, 19, 27, 20}, {27, 21, 28, 27},
        {27, 28, 20, 24}, {16, 24, 19, 24}, {10, 23, 15, 24}, {5, 19, 8, 22},   {9, 22, 9, 22},
    };
    SetColorRGB(200, 100, 200);
    for (UINT8 i = 0; i < 17; i++) icon_line(x, y, bubble[i][0], bubble[i][1], bubble[i][2], bubble[i][3]);

    // The letter "i": dot, top of the stem, foot, and the stem itself.
    SetColorRGB(200, 0, 0);
    icon_line(x, y, 16, 11, 17, 11);
    icon_line(x, y, 15, 14, 18, 14);
    icon_line(x, y, 15, 19, 18, 19);
    FillRect((UINT16)(x + 16), (UINT16)(y + 15), 1, 3);
}
