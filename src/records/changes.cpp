// Changes of the record file: append, delete, replace the whole file, edit.
//
// Every change is built in memory from a fresh read of the file and written to a
// temporary file beside it, which takes the record file's place in one rename only
// after every byte is written. A change that fails at any point leaves the record
// file byte for byte as it was.
#include "records.h"

#include "../platform/files.h"
#include "../platform/memory.h"
#include "../platform/text.h"
#include "../test/app.h"

#define CR 13
#define LF 10

// The whole record file in a new block with `extra` bytes of room after it, or NULL.
// One byte more than the file's size is asked for: a file that gives more than its
// size said (a size that could not be asked reads as 0) is not taken for all of it.
static UINT8* read_whole(UINT32* size, UINT32 extra) {
    *size = DL_FsSGetFileSize(file_name, 0);
    UINT8* data = (UINT8*)suAllocMem(*size + 1 + extra, NULL);
    if (data == NULL) return NULL;
    if (read_records(data, *size + 1) != (INT32)*size) {
        suFreeMem(data);
        return NULL;
    }
    return data;
}

static UINT8 write_part(UINT32 file, const void* part, UINT32 size) {
    UINT32 done = 0;
    if (size == 0) return 1;
    return DL_FsWriteFile(part, size, 1, file, &done) == FS_OK && done == size;
}

// Writes `first` and then `second` as the new record file.
static UINT8 replace_file(const void* first, UINT32 first_size, const void* second, UINT32 second_size) {
    UINT32 file = DL_FsOpenFile(temp_name, FS_MODE_WRITE, 0);
    if (file == FS_INVALID_HANDLE) return CHANGE_FAILED;
    UINT8 written = write_part(file, first, first_size) && write_part(file, second, second_size);
    if (DL_FsCloseFile(file) != FS_OK) written = 0;
    if (written && DL_FsRenameFile(temp_name, file_name) == FS_OK) return CHANGE_DONE;
    DL_FsDeleteFile(temp_name, 0);
    return CHANGE_FAILED;
}

// Position of the CR that begins record `record` (from 2), or `size` if there is none.
static UINT32 record_start(const UINT8* data, UINT32 size, UINT32 record) {
    UINT32 seen = 1;
    for (UINT32 i = 0; i < size; i++) {
        if (data[i] != CR) continue;
        if (++seen == record) return i;
    }
    return size;
}

// The bytes [*from, *to) that deleting `record` removes: for record 1 its text, the CR
// after it and one LF directly after that CR; for a later record the CR that begins it
// and everything up to the next CR, so the line end after it now ends the record before.
static void record_span(const UINT8* data, UINT32 size, UINT32 record, UINT32* from, UINT32* to) {
    if (record == 1) {
        UINT32 end = record_start(data, size, 2);
        if (end < size) end++;
        if (end < size && data[end] == LF) end++;
        *from = 0;
        *to = end;
        return;
    }
    *from = record_start(data, size, record);
    *to = *from < size ? record_start(data, size, record + 1) : size;
}

// Length of the text of `record`, without the CR that begins it and one LF after it.
static UINT32 record_text_length(const UINT8* data, UINT32 size, UINT32 record) {
    UINT32 from = record == 1 ? 0 : record_start(data, size, record);
    UINT32 to = record_start(data, size, record + 1);
    if (record > 1 && from < size) {
        from++;
        if (from < to && data[from] == LF) from++;
    }
    return to > from ? to - from : 0;
}

// After the file changed under the selection: one record back when the selected one
// is gone, and never past the last record.
static void keep_selection(void) {
    if ((UINT32)mx * pg + set > len) {
        set--;
        if (set == 0) {
            set = mx;
            pg--;
        }
    }
    if ((UINT32)mx * pg + set > len) select_last();
}

UINT8 add_one(void) {
    UINT8 result = replace_file(buf, (UINT32)strlen(buf), NULL, 0);
    if (result != CHANGE_DONE) return result;
    all();
    pg = 0;
    set = 1;
    return CHANGE_DONE;
}

// Old content, CR LF and the text of `buf` as the new last record.
UINT8 add(void) {
    UINT32 size;
    UINT8* data = read_whole(&size, 0);
    if (data == NULL) return CHANGE_FAILED;
    UINT8 result = CHANGE_LIST_FULL;
    // A record past MAX_RECORDS could not be counted, shown or selected.
    if (records_in(data, size) < MAX_RECORDS) {
        UINT32 text = (UINT32)strlen(buf);
        UINT8* tail = (UINT8*)suAllocMem(text + 2, NULL);
        result = CHANGE_FAILED;
        if (tail != NULL) {
            tail[0] = CR;
            tail[1] = LF;
            for (UINT32 i = 0; i < text; i++) tail[2 + i] = (UINT8)buf[i];
            result = replace_file(data, size, tail, text + 2);
            suFreeMem(tail);
        }
    }
    suFreeMem(data);
    if (result != CHANGE_DONE) return result;
    all();
    select_last();
    return CHANGE_DONE;
}

// The selected record and one line end leave the file.
UINT8 del(void) {
    UINT32 size;
    UINT8* data = read_whole(&size, 0);
    if (data == NULL) return CHANGE_FAILED;
    UINT32 selected = (UINT32)mx * pg + set;
    UINT32 count = records_in(data, size);
    UINT8 result = CHANGE_ONLY_RECORD;
    if (selected > count) {
        result = CHANGE_FAILED;  // the file lost that record since it was shown
    } else if (count >= 2) {
        UINT32 from, to;
        record_span(data, size, selected, &from, &to);
        result = replace_file(data, from, data + to, size - to);
    }
    suFreeMem(data);
    if (result != CHANGE_DONE) return result;
    all();
    keep_selection();
    return CHANGE_DONE;
}

// The selected record is replaced by the text of `buf`, which becomes the last record;
// a file of one record becomes that text alone. One write, so the old record is never
// gone without the new text in place.
UINT8 edit_record(void) {
    UINT32 size;
    UINT8* data = read_whole(&size, 2 + RECORD_CHARS);
    if (data == NULL) return CHANGE_FAILED;
    UINT32 selected = (UINT32)mx * pg + set;
    UINT32 count = records_in(data, size);
    UINT8 result;
    if (count > MAX_RECORDS) {
        result = CHANGE_LIST_FULL;
    } else if (selected > count) {
        result = CHANGE_FAILED;  // the file lost that record since it was shown
    } else if (record_text_length(data, size, selected) > RECORD_CHARS) {
        result = CHANGE_TOO_LONG;
    } else if (count == 1) {
        suFreeMem(data);
        return add_one();
    } else {
        UINT32 from, to;
        record_span(data, size, selected, &from, &to);
        // Close the gap, then append the new last record in the room after the data.
        UINT32 kept = from;
        for (UINT32 i = to; i < size; i++) data[kept++] = data[i];
        data[kept++] = CR;
        data[kept++] = LF;
        for (UINT32 i = 0; buf[i] && i < RECORD_CHARS; i++) data[kept++] = (UINT8)buf[i];
        result = replace_file(data, kept, NULL, 0);
    }
    suFreeMem(data);
    if (result != CHANGE_DONE) return result;
    all();
    select_last();
    return CHANGE_DONE;
}
