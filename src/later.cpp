#include "frame/frame.h"
#include "records/records.h"
#include "screens/screens.h"
#include "draw/draw.h"
UINT8 OnMenu = 0;
UINT16 setmenu = 0;
UINT8 ExitMenu = 0;
UINT8 ExitOkNo = 0;
UINT8 About = 0;
UINT8 Error = 0;
UINT8 repaint = 1;
UINT8 edit_type = 1;
UINT32 num_chars = 50;
UINT8 visible = 0;
UINT32 HandleKeypress(event_context_t*, app_record_t*) { return 0; }
UINT32 EditStateEnter(event_context_t*, app_record_t*, UINT32) { return 0; }
UINT32 StateExit(event_context_t*, app_record_t*, UINT32) { return 0; }
UINT32 EditData(event_context_t*, app_record_t*) { return 0; }
UINT32 EditOk(event_context_t*, app_record_t*) { return 0; }
UINT32 Back(event_context_t*, app_record_t*) { return 0; }
UINT32 paint(void) { SetColorRGB(0,0,0); FillRect(0,0,176,208); AHG_Flush(); return 0; }
