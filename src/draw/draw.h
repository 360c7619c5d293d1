// The drawing layer: surface, colours, shapes, text, windows, buttons and icons.
#pragma once
#include "../platform/types.h"
#include "font.h"

#define SCREEN_WIDTH 176
#define SCREEN_HEIGHT 220

// The list screen's layout.
#define ROW_HEIGHT 16       // one record row of the list
#define LIST_ROWS 12        // record rows on a page
#define SOFT_BAR_TOP 208    // the soft-key bar covers rows 208 to 219
#define BAR_ROWS 12         // rows of the header and soft-key bars' shading
#define ROW_LINE_OFFSET 12  // a row's lower line, below the row's text
#define ROW_TEXT_OFFSET 5   // a row's text below the origin `write_lines` is given
#define ROW_TEXT_MARGIN 18  // a character is drawn only when x + ROW_TEXT_MARGIN < SCREEN_WIDTH

extern "C" {

extern UINT32 dCtx;   // the drawing context
extern UINT32 sDraw;  // the off-screen surface everything is drawn on
extern UINT32 sDisp;  // the display surface, written only by AHG_Flush

void AHG_Init(void);                                    // binds the drawing layer to the display
void AHG_Flush(void);                                   // copies the whole off-screen surface to the display
void SetColorRGB(UINT8 red, UINT8 green, UINT8 blue);   // the colour of lines and fills
void TextColorRGB(UINT8 red, UINT8 green, UINT8 blue);  // the colour of text
void DrawLine(UINT16 x1, UINT16 y1, UINT16 x2, UINT16 y2);
void DrawRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h);    // outline of w + 1 by h + 1 pixels
void FillRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h);    // block of w + 1 by h + 1 pixels
void myDrawRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h);  // dotted frame of two-pixel dashes

void WriteString(UINT8 x, UINT8 y, const char* text);
void WriteChar(UINT8 x, UINT8 y, UINT8 c);
UINT16 charCol(const char* text, char separator);  // how often `separator` occurs in `text`

void writeWin(UINT16 w, UINT16 h, const char* title);                        // a centred window with a title bar
void wYESNO(UINT8 selected, const char* left, const char* right, UINT16 v);  // the yes/no buttons
void wOK(UINT8 selected, const char* label, UINT16 v);                       // one centred button
void mCursor(UINT16 x, UINT16 y);                                            // the arrow pointer
void wrIcon(UINT16 x, UINT16 y);                                             // the information icon
}
