// The record file: creating it with the default record, reading it, counting records.
#include "records.h"

#include "../platform/files.h"
#include "../platform/memory.h"
#include "../platform/text.h"
#include "../test/app.h"

static const char default_record[] = "+80501234567 info";

const char record_file_name[] = "BlackList.txt";

UINT8 len = 1;
UINT8 mx = 12;
UINT8 pg = 0;
UINT8 set = 1;
UINT32 base_size = 0;
UINT8 len_overflow = 0;
UINT8 count_failed = 0;

char buf[RECORD_CHARS + 1];
WCHAR bf[RECORD_CHARS + 1];

void select_last(void) {
    pg = (UINT8)__rt_udiv(mx, len);
    set = (UINT8)(len - pg * mx);
    if (set == 0) {
        set = mx;
        pg--;
    }
}

void temp_path(WCHAR* path) {
    static const WCHAR extension[] = {'t', 'm', 'p', 0};
    u_strcpy(path, file_name);
    u_strcpy(path + u_strlen(path) - 3, extension);
}

INT32 read_records(UINT8* buffer, UINT32 size) {
    UINT32 file = DL_FsOpenFile(file_name, FS_MODE_READ, 0);
    if (file == FS_INVALID_HANDLE) return -1;
    UINT32 done = 0;
    UINT32 status = DL_FsReadFile(buffer, size, 1, file, &done);
    DL_FsCloseFile(file);
    // A file that shrank since its size was asked gives fewer bytes: only those count.
    if (status != FS_OK) return -1;
    if (done > size) done = size;
    return (INT32)done;
}

UINT8 store_records(const UINT8* data, UINT32 size) {
    // The list always holds a record: an empty one is stored as the default record.
    if (size == 0) {
        data = (const UINT8*)default_record;
        size = (UINT32)strlen(default_record);
    }
    WCHAR temp[FILE_NAME_CHARS];
    temp_path(temp);
    UINT32 file = DL_FsOpenFile(temp, FS_MODE_WRITE, 0);
    if (file == FS_INVALID_HANDLE) return 0;
    UINT32 done = 0;
    UINT8 written = DL_FsWriteFile(data, size, 1, file, &done) == FS_OK && done == size;
    if (DL_FsCloseFile(file) != FS_OK) written = 0;
    if (written && DL_FsRenameFile(temp, file_name) == FS_OK) return 1;
    DL_FsDeleteFile(temp, 0);
    return 0;
}

const UINT8* next_cr(const UINT8* at) {
    // The inner loop is the one that runs: a load, a step, a compare and a branch a byte.
    while (*at != CR) {
        do at++;
        while (*at != CR);
    }
    return at;
}

UINT32 records_in(UINT8* data, UINT32 size) {
    data[size] = CR;
    const UINT8* end = data + size;
    UINT32 count = 1;
    // A CR that is the file's last byte begins no record.
    for (const UINT8* at = next_cr(data); at + 1 < end; at = next_cr(at + 1)) count++;
    return count;
}

// `len` counts at most MAX_RECORDS; `len_overflow` tells that the file holds more.
static void count_records(UINT8* data, UINT32 size) {
    UINT32 count = records_in(data, size);
    len_overflow = count > MAX_RECORDS;
    len = (UINT8)(len_overflow ? MAX_RECORDS : count);
}

void all(void) {
    // A count that fails keeps the last good one (at start, one empty record), so that the
    // selection, made against that count, never lies past the count shown.
    count_failed = 1;

    // Only a size told as 0 means a missing or empty file: a size that cannot be told is no
    // reason to write over the file.
    UINT32 size = DL_FsSGetFileSize(file_name, 0);
    if (size == 0) {
        if (!store_records(NULL, 0)) return;
        size = DL_FsSGetFileSize(file_name, 0);
    }
    if (size == 0 || size == FS_SIZE_UNKNOWN) return;

    // One byte more, for the CR that ends the count's walk.
    UINT8* data = (UINT8*)suAllocMem(size + 1, NULL);
    INT32 got = data ? read_records(data, size) : -1;
    if (got >= 0) {
        count_records(data, (UINT32)got);
        base_size = (UINT32)got;
        count_failed = 0;
    }
    if (data) suFreeMem(data);
}
