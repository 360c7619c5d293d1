// The record file, its paging model and the edit buffers.
#pragma once
#include "../platform/types.h"

#define MAX_RECORDS 255  // the most records the 8-bit count can hold
#define RECORD_CHARS 50  // the longest record the edit buffers and the editor hold
#define CR 13            // a CR ends one record and begins the next
#define LF 10            // the LF after a CR belongs to the line end

// Outcome of a change of the record file.
enum {
    CHANGE_DONE = 0,
    CHANGE_FAILED = 1,       // memory or file failure: the file is as it was
    CHANGE_LIST_FULL = 2,    // refused: no more records fit the count
    CHANGE_TOO_LONG = 3,     // refused: the record is longer than the editor holds
    CHANGE_ONLY_RECORD = 4,  // refused: the only record cannot be deleted
};

extern "C" {

// "BlackList.txt": the record file's name, beside the application's own file.
extern const char record_file_name[];

// Paging model.
extern UINT8 len;           // records in the file, 1 to 255, counted by `all`
extern UINT8 mx;            // rows per page, always 12
extern UINT8 pg;            // the page shown, from 0
extern UINT8 set;           // the selected row on the page, 1 to `mx`
extern UINT32 base_size;    // the file's size in bytes at the last count
extern UINT8 len_overflow;  // 1 when the file holds more records than `len` can count
extern UINT8 count_failed;  // 1 when the last count could not read the file

// Edit buffers.
extern char buf[RECORD_CHARS + 1];  // the selected or edited record, zero-terminated CP1251
extern WCHAR bf[RECORD_CHARS + 1];  // the same record as 16-bit text, for the editor
// Length in bytes of the whole text of the record selected at the last repaint; `buf`
// holds at most RECORD_CHARS of them.
extern UINT32 sel_len;
// 1 when the last repaint read the selected record into `buf`; 0 when it could not (the read
// failed, or the file no longer held that record), so that `buf` holds no record to change.
extern UINT8 sel_valid;

// Makes sure the record file exists (the default record when it is missing or empty),
// then counts its records into `len` and its size into `base_size`.
void all(void);
// While the last count failed, counts again (and keeps the selection on the list).
void recount_if_failed(void);
// Changes of the record file; each returns a CHANGE_ outcome, CHANGE_FAILED while the
// last count failed (the file could not be read, so nothing is known to change).
UINT8 add(void);          // `buf` becomes a new last record, which is selected
UINT8 del(void);          // the selected record and one line end leave the file
UINT8 edit_record(void);  // `buf` replaces the selected record and becomes the last one

// Selects the last record: pg = (len - 1) / mx, set = (len - 1) mod mx + 1.
void select_last(void);

// Draws the page that starts with record `first` and captures the selected record.
void write_lines(UINT16 x0, UINT16 y0, UINT32 first);

// The editor's 16-bit text as at most RECORD_CHARS CP1251 bytes and a zero.
void UCS2toCP1251(const WCHAR* source, char* destination);
// The font's code that shows a file byte: a look-alike or a blank where it has no glyph.
UINT8 new_win(UINT8 byte);

// The first CR at or after `at`. The walk has no bound of its own: the bytes searched must be
// followed by a CR, as `records_in` puts one after the file's bytes.
const UINT8* next_cr(const UINT8* at);

// Records in `size` bytes of the file: 1 plus the CRs before the last byte. `data` must have
// room for one byte more, where a CR is put to end the walk.
UINT32 records_in(UINT8* data, UINT32 size);

// Reads up to `size` bytes of the record file into `buffer`; the number read, or -1.
INT32 read_records(UINT8* buffer, UINT32 size);

// The path of the temporary file a change is written to before it replaces the record
// file: `file_name` with "tmp" for its extension.
void temp_path(WCHAR* path);
// Writes `size` bytes to the temporary file and, once every byte is stored, puts it in the
// record file's place in one rename: the record file holds its old content or all of the new,
// never a part. An empty content is stored as the default record. 1 when it holds the new.
UINT8 store_records(const UINT8* data, UINT32 size);
}
