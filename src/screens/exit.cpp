// The exit confirmation window: a question and a pair of yes/no buttons.
#include "screens.h"

#include "../draw/draw.h"
#include "../platform/resources.h"
#include "../test/app.h"

void writeExitMenu(UINT16 x, UINT16 y, UINT8 selection) {
    const char* title;
    const char* first;
    const char* second;
    const char* yes;
    const char* no;
    if (LGID == LANGUAGE_RUSSIAN) {
        title = "\xC2\xFB\xF5\xEE\xE4...";                                                      // Выход...
        first = "\xCF\xF0\xE8\xEB\xEE\xE6\xE5\xED\xE8\xE5 \xE1\xF3\xE4\xE5\xF2 \xE7\xE0\xEA-";  // Приложение будет зак-
        second = "\xF0\xFB\xF2\xEE. \xC2\xFB \xF3\xE2\xE5\xF0\xE5\xED\xFB?";  // рыто. Вы уверены?
        yes = "\xC4\xE0";                                                     // Да
        no = "\xCD\xE5\xF2";                                                  // Нет
    } else {
        title = "Exit...";
        first = "Program will be closed";
        second = "Are you sure?..";
        yes = "Yes";
        no = "No";
    }

    writeWin((UINT16)(SCREEN_WIDTH - 2 * x), (UINT16)(SCREEN_HEIGHT - 2 * y), title);

    TextColorRGB(250, 250, 250);
    WriteString((UINT8)(x + 2), (UINT8)(y + 5), first);
    WriteString((UINT8)(x + 2), (UINT8)(y + 17), second);

    // The buttons' frames start 34 rows below the body's top; the pointer's tip lies
    // inside the highlighted one.
    wYESNO(selection, yes, no, (UINT16)(y - 25));
    mCursor(selection ? 76 : 118, (UINT16)(y + 39));
}
