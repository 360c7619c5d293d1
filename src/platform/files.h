// Files. Paths are 16-bit text; "/" is the phone's root.
#pragma once
#include "types.h"

#define FS_MODE_READ 0
#define FS_MODE_WRITE 1  // from the first byte, creating the file, dropping old content
#define FS_INVALID_HANDLE 0xFFFFFFFFu
#define FS_OK 0

// The size in bytes: 0 for a missing or empty file, FS_SIZE_UNKNOWN when the size could
// not be asked (a failure of the file system, or a path that is no file).
#define FS_SIZE_UNKNOWN 0xFFFFFFFFu
PLATFORM_API UINT32 DL_FsSGetFileSize(const WCHAR* path, UINT32 zero);
PLATFORM_API UINT32 DL_FsOpenFile(const WCHAR* path, UINT32 mode, UINT32 zero);
// Move size * count bytes; *done receives the number of bytes moved. FS_OK on success;
// a read that meets the end of the file first still succeeds, with fewer bytes done.
PLATFORM_API UINT32 DL_FsReadFile(void* buffer, UINT32 size, UINT32 count, UINT32 handle, UINT32* done);
PLATFORM_API UINT32 DL_FsWriteFile(const void* buffer, UINT32 size, UINT32 count, UINT32 handle, UINT32* done);
// FS_OK once everything written is stored.
PLATFORM_API UINT32 DL_FsCloseFile(UINT32 handle);

// Puts the file `from` in place of `to` in one step: `to` then holds either its old
// content or all of `from`'s, never a mixture. Both lie in the same folder.
PLATFORM_API UINT32 DL_FsRenameFile(const WCHAR* from, const WCHAR* to);
PLATFORM_API UINT32 DL_FsDeleteFile(const WCHAR* path, UINT32 zero);
