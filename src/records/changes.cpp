// Changes of the record file: append, delete, and edit (which replaces a file of one record).
//
// Every change runs the same course: a fresh read of the whole file, the new content
// built in memory, a write to a temporary file beside the record file that takes its
// place in one rename only after every byte is stored, a recount and a new selection.
// A change that fails at any point leaves the record file byte for byte as it was.
#include "records.h"

#include "../platform/files.h"
#include "../platform/memory.h"
#include "../platform/text.h"
#include "../test/app.h"

// Room after the file's bytes for a line end and one record.
#define RECORD_ROOM (2 + RECORD_CHARS)

// Builds the new content in `data`, which holds the file's `size` bytes and RECORD_ROOM
// bytes of room after them: CHANGE_DONE with the new length in `*kept`, or why the
// change is refused.
typedef UINT8 (*build_fn)(UINT8* data, UINT32 size, UINT32* kept);

// The whole record file in a new block with RECORD_ROOM bytes of room after it, or NULL.
// One byte more than the file's size is asked for: a file that gives more than its size
// said (it grew meanwhile) is not taken for all of it.
static UINT8* read_whole(UINT32* size) {
    *size = DL_FsSGetFileSize(file_name, 0);
    // The block must hold the file, one byte more and the room: no size near 4 GiB does,
    // nor a size that could not be told.
    if (*size > 0xFFFFFFFFu - 1 - RECORD_ROOM) return NULL;
    UINT8* data = (UINT8*)suAllocMem(*size + 1 + RECORD_ROOM, NULL);
    if (data == NULL) return NULL;
    if (read_records(data, *size + 1) != (INT32)*size) {
        suFreeMem(data);
        return NULL;
    }
    return data;
}

// The selection a change made while its recount failed: it is made once a count succeeds.
static void (*pending_select)(void) = NULL;

void recount_if_failed(void) {
    if (!count_failed) return;
    all();
    if (count_failed) return;
    if (pending_select) pending_select();
    pending_select = NULL;
    if ((UINT32)mx * pg + set > len) select_last();
}

static UINT8 change_file(build_fn build, void (*reselect)(void)) {
    if (count_failed) return CHANGE_FAILED;
    UINT32 size, kept = 0;
    UINT8* data = read_whole(&size);
    if (data == NULL) return CHANGE_FAILED;
    UINT8 result = build(data, size, &kept);
    if (result == CHANGE_DONE) result = store_records(data, kept) ? CHANGE_DONE : CHANGE_FAILED;
    suFreeMem(data);
    if (result != CHANGE_DONE) return result;
    all();
    if (count_failed)
        pending_select = reselect;
    else
        reselect();
    return CHANGE_DONE;
}

static UINT32 selected_record(void) { return (UINT32)mx * pg + set; }

// What one walk over the file tells of the selected record.
typedef struct {
    UINT32 count;  // the file's records, as records_in counts them
    UINT32 start;  // the CR that begins the selected record (from record 2), or the file's size
    UINT32 next;   // the CR that begins the record after it, or the file's size
} place_t;

// Counts the records of `data` and finds the selected one in the same walk; the CR put after
// the file's bytes, in the room there, ends it.
static void find_selected(UINT8* data, UINT32 size, place_t* place) {
    const UINT32 record = selected_record();
    const UINT8* end = data + size;
    data[size] = CR;
    place->start = place->next = size;
    UINT32 seen = 1;  // the record that the CR met begins
    for (const UINT8* at = next_cr(data); at < end; at = next_cr(at + 1)) {
        seen++;
        if (seen == record) place->start = (UINT32)(at - data);
        if (seen == record + 1) place->next = (UINT32)(at - data);
    }
    // A CR that is the file's last byte begins no record of the count.
    place->count = size > 0 && data[size - 1] == CR ? seen - 1 : seen;
}

// The bytes [*from, *to) that deleting the selected record removes: for record 1 its text, the
// CR after it and one LF directly after that CR; for a later record the CR that begins it and
// everything up to the next CR, so the line end after it now ends the record before.
static void record_span(const UINT8* data, UINT32 size, const place_t* place, UINT32* from, UINT32* to) {
    if (selected_record() == 1) {
        UINT32 end = place->next;
        if (end < size) end++;
        if (end < size && data[end] == LF) end++;
        *from = 0;
        *to = end;
        return;
    }
    // Without the CR that begins the record there is none after it either.
    *from = place->start;
    *to = place->next;
}

// Length of the selected record's text, without the CR that begins it and one LF after it.
static UINT32 record_text_length(const UINT8* data, UINT32 size, const place_t* place) {
    UINT32 from = selected_record() == 1 ? 0 : place->start;
    UINT32 to = place->next;
    if (selected_record() > 1 && from < size) {
        from++;
        if (from < to && data[from] == LF) from++;
    }
    return to > from ? to - from : 0;
}

// Removes the selected record from `data`; the new length.
static UINT32 cut_selected(UINT8* data, UINT32 size, const place_t* place) {
    UINT32 from, to;
    record_span(data, size, place, &from, &to);
    const UINT8* rest = data + to;
    UINT8* kept = data + from;
    const UINT32 count = size - to;
    if (count > 0) {
        UINT32 i = 0;
        do kept[i] = rest[i];
        while (++i != count);
    }
    return from + count;
}

// Puts the text of `buf` (at most RECORD_CHARS bytes) at `at`; the new length.
static UINT32 put_text(UINT8* data, UINT32 at) {
    for (UINT32 i = 0; buf[i] && i < RECORD_CHARS; i++) data[at++] = (UINT8)buf[i];
    return at;
}

static UINT32 append_record(UINT8* data, UINT32 size) {
    data[size++] = CR;
    data[size++] = LF;
    return put_text(data, size);
}

static UINT8 build_only_text(UINT8* data, UINT32, UINT32* kept) {
    *kept = put_text(data, 0);
    return CHANGE_DONE;
}

static UINT8 build_add(UINT8* data, UINT32 size, UINT32* kept) {
    // A record past MAX_RECORDS could not be counted, shown or selected.
    if (records_in(data, size) >= MAX_RECORDS) return CHANGE_LIST_FULL;
    *kept = append_record(data, size);
    return CHANGE_DONE;
}

static UINT8 build_delete(UINT8* data, UINT32 size, UINT32* kept) {
    place_t place;
    find_selected(data, size, &place);
    if (selected_record() > place.count) return CHANGE_FAILED;  // the file lost that record since it was shown
    if (place.count < 2) return CHANGE_ONLY_RECORD;
    *kept = cut_selected(data, size, &place);
    return CHANGE_DONE;
}

// One write, so the old record is never gone without the new text in place. Whether
// the file holds one record is decided from this read, not from the last count.
static UINT8 build_edit(UINT8* data, UINT32 size, UINT32* kept) {
    place_t place;
    find_selected(data, size, &place);
    if (place.count > MAX_RECORDS) return CHANGE_LIST_FULL;
    if (selected_record() > place.count) return CHANGE_FAILED;  // the file lost that record since it was shown
    if (record_text_length(data, size, &place) > RECORD_CHARS) return CHANGE_TOO_LONG;
    if (place.count == 1) return build_only_text(data, size, kept);
    *kept = append_record(data, cut_selected(data, size, &place));
    return CHANGE_DONE;
}

// After the file changed under the selection: one record back when the selected one
// is gone, and never past the last record.
static void keep_selection(void) {
    if (selected_record() > len) {
        set--;
        if (set == 0) {
            set = mx;
            pg--;
        }
    }
    if (selected_record() > len) select_last();
}

UINT8 add(void) { return change_file(build_add, select_last); }
UINT8 del(void) { return change_file(build_delete, keep_selection); }
// A file of one record becomes the text alone, which select_last selects as well.
UINT8 edit_record(void) { return change_file(build_edit, select_last); }
