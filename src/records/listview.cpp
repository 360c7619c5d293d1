// One page of records drawn from the record file, and the selected record captured
// into the edit buffers.
#include "records.h"

#include "../draw/draw.h"
#include "../platform/memory.h"
#include "../platform/text.h"

UINT32 sel_len = 0;
UINT8 sel_valid = 0;

static void record_colour(UINT32 record, UINT32 selected) {
    if (record == selected)
        TextColorRGB(200, 200, 200);
    else
        TextColorRGB(100, 200, 100);
}

// The selected record's text into `buf`: the bytes from `at` up to the next CR (at the latest
// the one put after the file's bytes), without an LF right at `at` when the record begins
// after a CR, at most RECORD_CHARS of them; `sel_len` counts them all.
static void capture(const UINT8* at, UINT8 after_cr) {
    if (after_cr && *at == LF) at++;
    UINT32 length = 0;
    for (; *at != CR; at++, length++)
        // A zero byte would end the text there: it is taken as the blank the list shows.
        if (length < RECORD_CHARS) buf[length] = *at ? (char)*at : ' ';
    buf[length < RECORD_CHARS ? length : RECORD_CHARS] = 0;
    sel_len = length;
    sel_valid = 1;
}

// Draws the text that begins at `at` from the pen's place x up to the CR that ends it (at the
// latest the one put after the file's bytes), one character a cell on the row at y; the CR.
static const UINT8* draw_text(const UINT8* at, UINT32 x, UINT32 x0, UINT8 y) {
    for (UINT8 byte; (byte = *at) != CR; at++) {
        if (byte == LF) {
            // Not drawn; the next character takes the cell before it.
            if (x > x0) x -= FONT_CELL_WIDTH;
            continue;
        }
        if (x + ROW_TEXT_MARGIN < SCREEN_WIDTH) WriteChar((UINT8)x, y, new_win(byte));
        x += FONT_CELL_WIDTH;
    }
    return at;
}

void write_lines(UINT16 x0, UINT16 y0, UINT32 first) {
    const UINT32 selected = (UINT32)mx * pg + set;
    // One byte more than the file, for the CR that ends every walk at the end of its bytes.
    UINT8* data = base_size ? (UINT8*)suAllocMem(base_size + 1, NULL) : NULL;
    INT32 got = data ? read_records(data, base_size) : -1;
    UINT32 size = got > 0 ? (UINT32)got : 0;
    // Until the selected record is met, `buf` holds what an earlier repaint left there.
    sel_valid = 0;

    const UINT8* at = data;
    const UINT8* end = data + size;
    UINT32 record = 1;

    record_colour(first, selected);
    if (data) data[size] = CR;
    // Just past the CR that begins record `first`, or at the end when there is none.
    while (at < end && record < first) {
        at = next_cr(at);
        if (at == end) break;
        at++;
        record++;
    }
    // A failed read captures nothing, not even record 1's text as empty.
    if (got >= 0 && record == first && record == selected) capture(at, at > data);

    // Row by row: a record's text, then the CR that begins the next record on the next row,
    // drawn as a blank in its first cell. Text met once the page's rows are complete ends it.
    UINT32 x = x0, y = y0 + ROW_TEXT_OFFSET;
    INT32 rows_left = mx;
    for (;;) {
        if (at < end && *at != CR) {
            if (rows_left <= 0) break;
            at = draw_text(at, x, x0, (UINT8)y);
        }
        if (at >= end) break;
        record++;
        record_colour(record, selected);
        rows_left--;
        y += ROW_HEIGHT;
        if (record == selected) capture(at + 1, 1);
        if (x0 + ROW_TEXT_MARGIN < SCREEN_WIDTH) WriteChar((UINT8)x0, (UINT8)y, new_win(CR));
        x = x0 + FONT_CELL_WIDTH;
        at++;
    }

    u_atou(buf, bf);
    if (data) suFreeMem(data);
}
