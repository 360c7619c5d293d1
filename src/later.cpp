#include "frame/frame.h"
#include "records/records.h"
#include "screens/screens.h"
#include "draw/draw.h"
__attribute__((weak)) void writeExitMenu(UINT16, UINT16, UINT8) {}
__attribute__((weak)) void writeAbout(UINT16, UINT16) {}
__attribute__((weak)) void writeError(UINT16, UINT16) {}
__attribute__((weak)) UINT8 new_win(UINT8 b) { return b; }
__attribute__((weak)) void UCS2toCP1251(const WCHAR*, char*) {}
