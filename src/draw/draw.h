// The drawing layer: surface, colours, shapes, text, windows, buttons and icons.
#pragma once
#include "../platform/types.h"

#define SCREEN_WIDTH 176
#define SCREEN_HEIGHT 220

extern "C" {

extern UINT32 dCtx;
extern UINT32 sDraw;
extern UINT32 sDisp;

void AHG_Init(void);
void AHG_Flush(void);
void SetColorRGB(UINT8 red, UINT8 green, UINT8 blue);
void TextColorRGB(UINT8 red, UINT8 green, UINT8 blue);
void DrawLine(UINT16 x1, UINT16 y1, UINT16 x2, UINT16 y2);
void DrawRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h);
void FillRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h);
void myDrawRect(UINT16 x, UINT16 y, UINT16 w, UINT16 h);

void WriteString(UINT8 x, UINT8 y, const char* text);
void WriteChar(UINT8 x, UINT8 y, UINT8 c);
UINT16 charCol(const char* text, char separator);

void writeWin(UINT16 w, UINT16 h, const char* title);
void wYESNO(UINT8 selected, const char* left, const char* right, UINT16 v);
void wOK(UINT8 selected, const char* label, UINT16 v);
void mCursor(UINT16 x, UINT16 y);
void wrIcon(UINT16 x, UINT16 y);
}
