// Dialogs: the colour canvas and the character editor.
#pragma once
#include "app_framework.h"

// Returns the dialog's handle, 0 when it could not be created.
PLATFORM_API UINT32 UIS_CreateColorCanvas(UINT32* port, const UINT16* area, UINT32 mode);
PLATFORM_API UINT32 UIS_CreateCharacterEditor(UINT32* port, WCHAR* text, UINT8 edit_type, UINT32 max_chars,
                                              UINT8 visible, UINT32 zero, UINT32 title_resource);
// Hands the current event to a dialog.
PLATFORM_API UINT32 UIS_HandleEvent(UINT32 dialog, event_context_t* ev);
