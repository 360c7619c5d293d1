// Entry, registration and lifetime of the application, and its texts by language.
#pragma once
#include "../platform/app_framework.h"

#define FILE_NAME_CHARS 255  // 254 characters and the terminating zero

extern "C" {

extern UINT32 evcode_base;                // the event code base the loader handed over
extern UINT8 LGID;                        // the phone's language id; LANGUAGE_RUSSIAN keeps the Russian texts
extern const char* softline;              // the left soft key's label
extern const char* menu;                  // the pop-up menu's five items, separated by "|"
extern const char* l_ok;                  // the right soft key's label, "Ок" in every language
extern const WCHAR* bf_offset;            // the character editor's title
extern WCHAR file_name[FILE_NAME_CHARS];  // the record file's path, beside the application's file
extern UINT32 Resources;                  // the id of the editor's title resource, 0 when there is none
extern const UINT8 app_name[13];          // "nuv-oka", the name the framework knows the application by
extern const state_row_t state_handling_table[];

UINT32 Lib(const char* path, const char* unused, UINT32 evcode_base);
UINT32 Register(const char* path, const char* unused, UINT32 evcode_base);
UINT32 startApp(event_context_t* ev, UINT32 registration);
UINT32 destroyApp(event_context_t* ev, app_record_t* app);
void InitResources(void);
void RemoveResources(void);

UINT32 HandleUITokenGranted(event_context_t* ev, app_record_t* app);
UINT32 MainStateEnter(event_context_t* ev, app_record_t* app, UINT32 kind);
UINT32 Tim(event_context_t* ev, app_record_t* app);  // the tick: repaints the list screen
}
