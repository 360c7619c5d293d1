// What the file functions do, for the phone that is active.
#include "services.hpp"

namespace sim::service {

namespace {
FileSystem& files() { return Phone::active().files(); }
}  // namespace

UINT32 DL_FsSGetFileSize(const WCHAR* path, UINT32) { return files().size(path16(path)).value_or(FS_SIZE_UNKNOWN); }

UINT32 DL_FsOpenFile(const WCHAR* path, UINT32 mode, UINT32) {
    if (mode != FS_MODE_READ && mode != FS_MODE_WRITE) return FS_INVALID_HANDLE;
    return files().open(path16(path), mode == FS_MODE_READ ? OpenMode::Read : OpenMode::Write);
}

// Reaching the end of the file early is no failure: `done` tells how much came.
UINT32 DL_FsReadFile(void* buffer, UINT32 size, UINT32 count, UINT32 handle, UINT32* done) {
    if (done) *done = 0;
    const auto bytes = byteCount(size, count);
    const auto moved = bytes && buffer ? files().read(handle, buffer, *bytes) : std::nullopt;
    if (done) *done = moved.value_or(0);
    return result(moved.has_value());
}

UINT32 DL_FsWriteFile(const void* buffer, UINT32 size, UINT32 count, UINT32 handle, UINT32* done) {
    if (done) *done = 0;
    const auto bytes = byteCount(size, count);
    const auto moved = bytes && buffer ? files().write(handle, buffer, *bytes) : std::nullopt;
    if (done) *done = moved.value_or(0);
    return result(moved && *moved == *bytes);
}

UINT32 DL_FsCloseFile(UINT32 handle) { return result(files().close(handle)); }
UINT32 DL_FsRenameFile(const WCHAR* from, const WCHAR* to) { return result(files().rename(path16(from), path16(to))); }
UINT32 DL_FsDeleteFile(const WCHAR* path, UINT32) { return result(files().remove(path16(path))); }

}  // namespace sim::service
