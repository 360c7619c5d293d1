// The application framework: loader, registration, states, events.
#pragma once
#include "types.h"

// The framework's per-event context; the application only passes it along.
typedef struct event_context event_context_t;

// The framework's application record (80 bytes on the phone).
typedef struct app_record {
    UINT8 reserved0[28];
    UINT32 dialog;  // handle of the current dialog, 0 for none
    UINT8 reserved1[4];
    UINT32 port;  // handed to the dialog constructors
    UINT8 reserved2[32];
    UINT8 token_status;  // 2 once the UI token is held
    UINT8 reserved3[7];
} app_record_t;

#define APP_RECORD_SIZE 80
#define UI_TOKEN_HELD 2

// The event record that AFW_GetEv returns.
typedef struct event_record {
    UINT32 code;
    UINT8 reserved0[28];
    UINT8 key;  // key code of a key press
    UINT8 reserved1[255];
    void* attachment;  // attached data, for instance an editor's 16-bit text
} event_record_t;

// A handler returns 0 when it handled the event.
typedef UINT32 (*event_handler_fn)(event_context_t* ev, app_record_t* app);
// Entry and exit routines get the kind of entry or exit; only kind 0 is a plain change of state.
typedef UINT32 (*state_routine_fn)(event_context_t* ev, app_record_t* app, UINT32 kind);
typedef UINT32 (*app_start_fn)(event_context_t* ev, UINT32 registration);

#define STATE_CHANGE_PLAIN 0
#define STATE_EXIT_SUSPEND 1  // the UI token was lost: the state is suspended, not left
#define STATE_ENTER_RESUME 1  // the UI token came back: the suspended state goes on

typedef struct event_handler_entry {
    UINT32 code;
    event_handler_fn handler;
} event_handler_entry_t;

#define EVENT_TABLE_END 0xFFFFFFFFu

typedef struct state_row {
    UINT8 id;
    UINT8 reserved[3];
    state_routine_fn entry;
    state_routine_fn exit;
    const event_handler_entry_t* handlers;
} state_row_t;

#if PLATFORM_POINTERS_ARE_32_BITS
PLATFORM_STATIC_ASSERT(sizeof(app_record_t) == 80, "application record is 80 bytes");
PLATFORM_STATIC_ASSERT(__builtin_offsetof(app_record_t, dialog) == 28, "dialog field at byte 28");
PLATFORM_STATIC_ASSERT(__builtin_offsetof(app_record_t, port) == 36, "port field at byte 36");
PLATFORM_STATIC_ASSERT(__builtin_offsetof(app_record_t, token_status) == 72, "token status at byte 72");
PLATFORM_STATIC_ASSERT(__builtin_offsetof(event_record_t, key) == 32, "key code at byte 32");
PLATFORM_STATIC_ASSERT(__builtin_offsetof(event_record_t, attachment) == 288, "attached data at byte 288");
PLATFORM_STATIC_ASSERT(sizeof(state_row_t) == 16, "state rows are 16 bytes");
PLATFORM_STATIC_ASSERT(sizeof(event_handler_entry_t) == 8, "handler entries are 8 bytes");
#endif
PLATFORM_STATIC_ASSERT(sizeof(app_record_t) == APP_RECORD_SIZE, "application record size");

// Event codes, relative to nothing: the framework routes them as they are.
#define EV_TICK 0x14
#define EV_TOKEN_GRANTED 0x1E
#define EV_TOKEN_REVOKED 0x1F
#define EV_KEY_PRESS 0x2034
#define EV_EDITOR_DATA 0x200F
#define EV_EDITOR_OK 0x2020
#define EV_EDITOR_BACK 0x2008
#define EV_EDITOR_REQUEST_DATA 0x202B

// Key codes that a key press (EV_KEY_PRESS) carries in the event record's `key`.
enum {
    KEY_SOFT_LEFT = 14,  // the left soft key
    KEY_OK = 15,         // the confirm key
    KEY_END = 17,        // the end key
    KEY_UP = 44,
    KEY_DOWN = 45,
    KEY_LEFT = 46,
    KEY_RIGHT = 47,
    KEY_SELECT = 61,  // the centre of the direction keys, a second confirm key
    // The 12-key keypad carries the ASCII codes of its labels: digit n is KEY_0 + n.
    KEY_HASH = '#',
    KEY_STAR = '*',
    KEY_0 = '0',
    KEY_9 = '9',
};

// Loader. The entry of an application file gets the file's own path, a value it
// ignores and the event code base.
typedef UINT32 (*app_entry_fn)(const char* path, const char* unused, UINT32 evcode_base);
PLATFORM_API UINT32 LdrStartApp(UINT32 evcode_base);
PLATFORM_API UINT32 LdrUnloadELF(const void* code_start);

// Registration and lifetime.
PLATFORM_API UINT32 APP_Register(const UINT32* evcodes, UINT32 evcode_count, const state_row_t* states,
                                 UINT32 state_count, app_start_fn start);
PLATFORM_API app_record_t* APP_InitAppData(event_handler_fn dispatcher, UINT32 size, UINT32 registration, UINT32 a,
                                           UINT32 b, UINT32 c, UINT32 d, UINT32 e, UINT32 f);
PLATFORM_API UINT32 APP_Start(event_context_t* ev, app_record_t* app, UINT32 state, const state_row_t* states,
                              event_handler_fn exit_routine, const UINT8* name, UINT32 zero);
PLATFORM_API UINT32 APP_Exit(event_context_t* ev, app_record_t* app, UINT32 zero);

// Event routing.
PLATFORM_API UINT32 APP_HandleEvent(event_context_t* ev, app_record_t* app);
PLATFORM_API UINT32 APP_HandleUITokenGranted(event_context_t* ev, app_record_t* app);
PLATFORM_API UINT32 APP_HandleUITokenRevoked(event_context_t* ev, app_record_t* app);
PLATFORM_API UINT32 APP_UtilChangeState(UINT32 state, event_context_t* ev, app_record_t* app);
PLATFORM_API UINT32 APP_UtilUISDialogDelete(UINT32* dialog_field);
PLATFORM_API UINT32 APP_ConsumeEv(event_context_t* ev, app_record_t* app);
PLATFORM_API event_record_t* AFW_GetEv(event_context_t* ev);
PLATFORM_API UINT32 AFW_AddEvEvD(event_context_t* ev, UINT32 code);
