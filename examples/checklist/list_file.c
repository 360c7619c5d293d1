/* checklist.txt beside the module: read whole when the module starts, written anew after each
 * change. A change is written to checklist.tmp first, which then takes the file's place in one
 * rename, so the file always holds a whole list. */
#include "checklist.h"

#include "platform/files.h"
#include "platform/memory.h"

#define PATH_CHARS 255 /* 254 characters and the terminating zero */
#define MAX_FILE_BYTES 2048

static WCHAR file_path[PATH_CHARS];
static WCHAR temp_path[PATH_CHARS];

/* path's folder (up to its last "/") followed by `name`, as 16-bit text. */
static UINT32 beside(WCHAR* out, const char* path, const char* name) {
    UINT32 folder = 0, i = 0, n = 0;
    for (; path[i] != 0; ++i)
        if (path[i] == '/') folder = i + 1;
    for (; name[n] != 0; ++n) {
    }
    if (folder + n + 1 > PATH_CHARS) return 0;
    for (i = 0; i < folder; ++i) out[i] = (UINT8)path[i];
    for (i = 0; i <= n; ++i) out[folder + i] = (UINT8)name[i];
    return 1;
}

UINT32 list_file_path(const char* module_path) {
    return beside(file_path, module_path, "checklist.txt") && beside(temp_path, module_path, "checklist.tmp");
}

/* The next character of UTF-8 text at *at. A byte that starts no whole character (a Latin-1
 * file's "é", a character cut short) is taken as the character of its value. */
static WCHAR next_character(const UINT8* bytes, UINT32 size, UINT32* at) {
    const UINT32 first = bytes[*at];
    const UINT32 more = first >= 0xF0 ? 0 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : 0;
    UINT32 c = first & (more == 2 ? 0x0F : 0x1F);
    for (UINT32 i = 1; i <= more; ++i) {
        if (*at + i >= size || (bytes[*at + i] & 0xC0) != 0x80) {
            ++*at;
            return (WCHAR)first;
        }
        c = (c << 6) | (bytes[*at + i] & 0x3F);
    }
    *at += 1 + more;
    return (WCHAR)(more ? c : first);
}

/* One line of the file, from `at` to its line feed, as the list's next item. */
static UINT32 take_line(const UINT8* bytes, UINT32 size, UINT32 at) {
    item_t* item = &list->items[list->count];
    UINT32 n = 0;
    item->ticked = 0;
    if (at + 4 <= size && bytes[at] == '[' && bytes[at + 2] == ']' && bytes[at + 3] == ' ') {
        item->ticked = bytes[at + 1] == 'x';
        at += 4;
    }
    while (at < size && bytes[at] != '\n') {
        WCHAR c = next_character(bytes, size, &at);
        if (c != '\r' && n < ITEM_CHARS) item->text[n++] = c;
    }
    item->text[n] = 0;
    if (n > 0) ++list->count;
    return at + 1;
}

void list_read(void) {
    list->count = 0;
    list->selected = 0;
    UINT32 size = DL_FsSGetFileSize(file_path, 0);
    if (size == 0 || size == FS_SIZE_UNKNOWN) return;
    if (size > MAX_FILE_BYTES) size = MAX_FILE_BYTES;
    UINT8* bytes = (UINT8*)suAllocMem(size, NULL);
    UINT32 handle = bytes ? DL_FsOpenFile(file_path, FS_MODE_READ, 0) : FS_INVALID_HANDLE;
    UINT32 done = 0;
    if (handle != FS_INVALID_HANDLE) {
        if (DL_FsReadFile(bytes, 1, size, handle, &done) != FS_OK) done = 0;
        DL_FsCloseFile(handle);
    }
    for (UINT32 at = 0; at < done && list->count < MAX_ITEMS;) at = take_line(bytes, done, at);
    if (bytes) suFreeMem(bytes);
}

/* Appends c in UTF-8 at out; returns the bytes written. */
static UINT32 put_character(UINT8* out, WCHAR c) {
    if (c < 0x80) {
        out[0] = (UINT8)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (UINT8)(0xC0 | (c >> 6));
        out[1] = (UINT8)(0x80 | (c & 0x3F));
        return 2;
    }
    out[0] = (UINT8)(0xE0 | (c >> 12));
    out[1] = (UINT8)(0x80 | ((c >> 6) & 0x3F));
    out[2] = (UINT8)(0x80 | (c & 0x3F));
    return 3;
}

UINT32 list_write(void) {
    UINT8* bytes = (UINT8*)suAllocMem(MAX_ITEMS * (4 + ITEM_CHARS * 3 + 1), NULL);
    if (bytes == NULL) return 1;
    UINT32 size = 0;
    for (UINT32 i = 0; i < list->count; ++i) {
        const item_t* item = &list->items[i];
        bytes[size++] = '[';
        bytes[size++] = item->ticked ? 'x' : ' ';
        bytes[size++] = ']';
        bytes[size++] = ' ';
        for (UINT32 c = 0; item->text[c] != 0; ++c) size += put_character(bytes + size, item->text[c]);
        bytes[size++] = '\n';
    }
    UINT32 handle = DL_FsOpenFile(temp_path, FS_MODE_WRITE, 0);
    UINT32 done = 0, result = 1;
    if (handle != FS_INVALID_HANDLE) {
        UINT32 written = size == 0 || DL_FsWriteFile(bytes, 1, size, handle, &done) == FS_OK;
        if (DL_FsCloseFile(handle) == FS_OK && written && done == size) result = DL_FsRenameFile(temp_path, file_path);
    }
    suFreeMem(bytes);
    if (result != FS_OK) DL_FsDeleteFile(temp_path, 0);
    return result;
}
