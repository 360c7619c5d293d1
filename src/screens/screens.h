// The list screen, its bars and menu, and the windows over it.
#pragma once
#include "../platform/types.h"

extern "C" {

UINT32 paint(void);
void downsoftline(const char* left, const char* right, const char* menu, UINT8 open, UINT16 selected);
void writeExitMenu(UINT16 x, UINT16 y, UINT8 selection);
void writeAbout(UINT16 x, UINT16 y);
void writeError(UINT16 x, UINT16 y);
}
