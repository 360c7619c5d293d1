/* checklist: a list of things to do, kept in checklist.txt beside the module. The left soft key
 * adds an item through the character editor, OK ticks or unticks the selected one, # deletes it
 * after a confirmation, the end key leaves. */
#pragma once
#include "platform/app_framework.h"

/* The module's states, as checklist.desc names them. */
#define STATE_ANY 0     /* the row whose handlers every state has */
#define STATE_INIT 1    /* started, waiting for the UI token */
#define STATE_LIST 2    /* the list on the colour canvas */
#define STATE_EDIT 3    /* the character editor, for a new item */
#define STATE_CONFIRM 4 /* "delete this item?" over the list */

#define MAX_ITEMS 10
#define ITEM_CHARS 30 /* characters of an item's text */

typedef struct item {
    WCHAR text[ITEM_CHARS + 1];
    UINT8 ticked;
} item_t;

/* The list, in a heap block taken when the module starts. */
typedef struct checklist {
    item_t items[MAX_ITEMS];
    UINT32 count;
    UINT32 selected; /* the selected item, below count unless the list is empty */
} checklist_t;

extern checklist_t* list;
extern UINT32 current_state;

/* list_file.c: checklist.txt, one item a line in UTF-8, "[x] " before a ticked one and "[ ] "
 * before the others. */
UINT32 list_file_path(const char* module_path); /* 0 when the folder's path is too long */
void list_read(void);
UINT32 list_write(void); /* FS_OK once the file holds the list */

/* screen.c: drawing into the drawing surface, then copying it to the display. */
void screen_bind(void);
void screen_paint(void);
