// The record file, its paging model and the edit buffers.
#pragma once
#include "../platform/types.h"

#define MAX_RECORDS 255
#define RECORD_CHARS 50  // the longest record the edit buffers and the editor hold

// Outcome of a change of the record file.
enum {
    CHANGE_DONE = 0,
    CHANGE_FAILED = 1,       // memory or file failure: the file is as it was
    CHANGE_LIST_FULL = 2,    // refused: no more records fit the count
    CHANGE_TOO_LONG = 3,     // refused: the record is longer than the editor holds
    CHANGE_ONLY_RECORD = 4,  // refused: the only record cannot be deleted
};

extern "C" {

// Paging model.
extern UINT8 len;
extern UINT8 mx;
extern UINT8 pg;
extern UINT8 set;
extern UINT32 base_size;
// 1 when the file holds more records than `len` can count.
extern UINT8 len_overflow;
// 1 when the last count could not read the file.
extern UINT8 count_failed;

// Edit buffers.
extern char buf[RECORD_CHARS + 1];
extern WCHAR bf[RECORD_CHARS + 1];
// Length in bytes of the whole text of the record selected at the last repaint; `buf`
// holds at most RECORD_CHARS of them.
extern UINT32 sel_len;

void all(void);
UINT8 add(void);
UINT8 del(void);
UINT8 add_one(void);
UINT8 edit_record(void);

// Selects the last record: pg = (len - 1) / mx, set = (len - 1) mod mx + 1.
void select_last(void);

void write_lines(UINT16 x0, UINT16 y0, UINT32 first);

void UCS2toCP1251(const WCHAR* source, char* destination);
UINT8 new_win(UINT8 byte);

// Records in `size` bytes of the file: 1 plus the CRs before the last byte.
UINT32 records_in(const UINT8* data, UINT32 size);

// Reads up to `size` bytes of the record file into `buffer`; the number read, or -1.
INT32 read_records(UINT8* buffer, UINT32 size);
}
