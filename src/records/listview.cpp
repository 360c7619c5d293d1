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

// The selected record's text goes into `buf` as it is met: every byte after the CR
// that begins the record except the one LF right after that CR, at most RECORD_CHARS.
typedef struct {
    UINT8 active;
    UINT8 skip_lf;  // the next byte, if LF, still belongs to the separator
} capture_t;

static void capture_start(capture_t* c, UINT8 after_cr) {
    c->active = 1;
    c->skip_lf = after_cr;
    buf[0] = 0;
    sel_len = 0;
    sel_valid = 1;
}

static void capture_byte(capture_t* c, UINT8 byte) {
    if (c->skip_lf) {
        c->skip_lf = 0;
        if (byte == LF) return;
    }
    if (sel_len < RECORD_CHARS) {
        // A zero byte would end the text there: it is taken as the blank the list shows.
        buf[sel_len] = byte ? (char)byte : ' ';
        buf[sel_len + 1] = 0;
    }
    sel_len++;
}

void write_lines(UINT16 x0, UINT16 y0, UINT32 first) {
    UINT32 selected = (UINT32)mx * pg + set;
    UINT8* data = base_size ? (UINT8*)suAllocMem(base_size, NULL) : NULL;
    INT32 got = data ? read_records(data, base_size) : -1;
    UINT32 size = got > 0 ? (UINT32)got : 0;
    // Until the selected record is met, `buf` holds what an earlier repaint left there.
    sel_valid = 0;

    UINT32 pos = 0, record = 1, row = 0, column = 0;
    capture_t capture = {0, 0};

    record_colour(first, selected);
    while (pos < size && record < first) {
        if (data[pos] == CR) record++;
        pos++;
    }
    // A failed read captures nothing, not even record 1's text as empty.
    if (got >= 0 && record == first && record == selected) capture_start(&capture, pos > 0);
    if (pos < size && data[pos] == LF) {
        // At the very start of the file an LF is the first record's own text.
        if (capture.active && pos == 0) capture_byte(&capture, LF);
        capture.skip_lf = 0;
        pos++;
    }

    while (pos < size) {
        UINT8 byte = data[pos];
        if (byte == CR) {
            record++;
            record_colour(record, selected);
            row++;
            column = 0;
            capture.active = 0;
            if (record == selected) capture_start(&capture, 1);
        } else {
            if (row >= mx) break;
            if (capture.active) capture_byte(&capture, byte);
            if (byte == LF) {
                // Not drawn; the next character takes the cell before it.
                if (column > 0) column--;
                pos++;
                continue;
            }
        }
        UINT32 x = x0 + FONT_CELL_WIDTH * column;
        if (x + ROW_TEXT_MARGIN < SCREEN_WIDTH)
            WriteChar((UINT8)x, (UINT8)(ROW_HEIGHT * row + y0 + ROW_TEXT_OFFSET), new_win(byte));
        column++;
        pos++;
    }

    u_atou(buf, bf);
    if (data) suFreeMem(data);
}
