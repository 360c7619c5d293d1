// The list screen, its bars and menu, and the windows over it.
#pragma once
#include "../platform/types.h"

extern "C" {

UINT32 paint(void);  // the whole list screen, shown at once
// The header bar, the soft-key bar with both labels and the position, and the open menu.
void downsoftline(const char* left, const char* right, const char* menu, UINT8 open, UINT16 selected);
void writeExitMenu(UINT16 x, UINT16 y, UINT8 selection);
void writeAbout(UINT16 x, UINT16 y);
void writeError(UINT16 x, UINT16 y);
// The label of the about and error windows' button in the phone's language.
const char* accept_label(void);
}
