// The whole list screen, painted into the off-screen surface and shown at once.
#include "screens.h"

#include "../draw/draw.h"
#include "../frame/frame.h"
#include "../platform/text.h"
#include "../records/records.h"
#include "../test/app.h"

// Height of the scroll bar's slider: it grows with the selected record's place in the
// file. Near the top of a long file the plain formula goes below zero; the slider then
// keeps one row, and it never leaves the frame.
static UINT16 slider_height(UINT32 selected) {
    UINT32 reach = __rt_udiv(len, selected * 196);
    if (reach < 8) return 0;
    if (reach - 8 > 188) return 188;
    return (UINT16)(reach - 8);
}

UINT32 paint(void) {
    recount_if_failed();
    UINT32 selected = (UINT32)mx * pg + set;

    SetColorRGB(0, 0, 0);
    FillRect(0, 0, SCREEN_WIDTH, SOFT_BAR_TOP);

    SetColorRGB(0, 0, 80);
    for (UINT16 i = 1; i <= LIST_ROWS; i++) {
        UINT16 line = (UINT16)(ROW_HEIGHT * i + ROW_LINE_OFFSET);
        DrawLine(4, line, 170, line);
    }

    SetColorRGB(0, 50, 0);
    FillRect(2, (UINT16)(ROW_HEIGHT * set - 1), 167, 13);
    SetColorRGB(0, 150, 0);
    myDrawRect(1, (UINT16)(ROW_HEIGHT * set - 2), 168, 15);

    SetColorRGB(0, 0, 125);
    DrawRect(171, 15, 4, 190);
    SetColorRGB(60, 150, 60);
    FillRect(172, 16, 2, slider_height(selected));

    write_lines(0, 11, (UINT32)mx * pg + 1);
    downsoftline(softline, l_ok, menu, OnMenu, setmenu);

    if (ExitMenu)
        writeExitMenu(28, 83, ExitOkNo);
    else if (About)
        writeAbout(5, 60);
    else if (Error)
        writeError(10, 60);

    AHG_Flush();
    return 0;
}
