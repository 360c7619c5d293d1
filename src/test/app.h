// Entry, registration and lifetime of the application, and its texts by language.
#pragma once
#include "../platform/app_framework.h"

#define FILE_NAME_CHARS 255  // 254 characters and the terminating zero

extern "C" {

extern UINT32 evcode_base;
extern UINT8 LGID;
extern const char* softline;
extern const char* menu;
extern const char* l_ok;
extern const WCHAR* bf_offset;
extern WCHAR file_name[FILE_NAME_CHARS];
extern WCHAR temp_name[FILE_NAME_CHARS];
extern UINT32 Resources;
extern const UINT8 app_name[13];
extern const state_row_t state_handling_table[4];

UINT32 Lib(const char* path, const char* unused, UINT32 evcode_base);
UINT32 Register(const char* path, const char* unused, UINT32 evcode_base);
UINT32 startApp(event_context_t* ev, UINT32 registration);
UINT32 destroyApp(event_context_t* ev, app_record_t* app);
void InitResources(void);
void RemoveResources(void);

UINT32 HandleUITokenGranted(event_context_t* ev, app_record_t* app);
UINT32 MainStateEnter(event_context_t* ev, app_record_t* app, UINT32 kind);
UINT32 Tim(event_context_t* ev, app_record_t* app);
}
