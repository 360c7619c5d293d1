// What the drawing, file and memory functions do, for the phone that is active.
#include <span>
#include <string>

#include "described.hpp"
#include "phone.hpp"
#include "platform_values.hpp"

namespace sim::service {

namespace {
constexpr UINT32 kOk = kCallOk, kFailed = kCallFailed;
UINT32 result(bool ok) { return ok ? kOk : kFailed; }

Graphics& graphics() { return Phone::active().graphics; }
FileSystem& files() { return Phone::active().files; }

std::u16string path16(const WCHAR* path) {
    std::u16string out;
    // Longer than any phone path: such text is refused rather than cut.
    for (std::size_t i = 0; path && path[i]; ++i) {
        if (i == 1024) return {};
        out.push_back(static_cast<char16_t>(path[i]));
    }
    return out;
}

template <class T>
std::span<const T> items(const T* first, UINT32 count) {
    return first ? std::span<const T>(first, count) : std::span<const T>();
}

}  // namespace

UINT32 DAL_GetDeviceContext(UINT32) { return Graphics::kContext; }
UINT32 DAL_GetDrawingSurface(UINT32) { return Graphics::kOffscreen; }

UINT32 AhiDispSurfGet(UINT32 ctx, UINT32* surface) {
    if (ctx != Graphics::kContext || !surface) return kFailed;
    *surface = Graphics::kDisplay;
    return kOk;
}

UINT32 AhiDrawSurfDstSet(UINT32 ctx, UINT32 surface, UINT32) { return result(graphics().setDestination(ctx, surface)); }
UINT32 AhiDrawSurfSrcSet(UINT32 ctx, UINT32 surface, UINT32) { return result(graphics().setSource(ctx, surface)); }
UINT32 AhiDrawClipDstSet(UINT32 ctx, const ahi_rect_t* clip) {
    return result(graphics().setDestinationClip(ctx, clip));
}
UINT32 AhiDrawClipSrcSet(UINT32 ctx, const ahi_rect_t* clip) { return result(graphics().setSourceClip(ctx, clip)); }
UINT32 AhiDrawRopSet(UINT32 ctx, UINT32 rop) { return result(graphics().setRop(ctx, rop)); }

UINT32 AhiDrawBrushFgColorSet(UINT32 ctx, UINT32 color) {
    return result(graphics().setBrushColor(ctx, static_cast<Rgb565>(color)));
}

UINT32 AhiDrawFgColorSet(UINT32 ctx, UINT32 color) {
    return result(graphics().setTextColor(ctx, static_cast<Rgb565>(color)));
}

UINT32 AhiDrawBrushSet(UINT32 ctx, const void*, const ahi_point_t*, UINT32, UINT32 kind) {
    return result(graphics().setSolidBrush(ctx, kind));
}

UINT32 AhiDrawLines(UINT32 ctx, const ahi_point_t* points, UINT32 count, UINT32) {
    return result(graphics().drawLines(ctx, items(points, count)));
}

UINT32 AhiDrawSpans(UINT32 ctx, const ahi_rect_t* rects, UINT32 count, UINT32) {
    return result(graphics().fillSpans(ctx, items(rects, count)));
}

UINT32 AhiDrawBitBlt(UINT32 ctx, const ahi_rect_t* source, const ahi_point_t* destination) {
    return source && destination ? result(graphics().bitBlt(ctx, *source, *destination)) : kFailed;
}

UINT32 AhiDrawChar(UINT32 ctx, const ahi_point_t* at, const glyph_record_t* glyphs, UINT32 count, UINT32) {
    return at ? result(graphics().drawGlyphs(ctx, *at, items(glyphs, count))) : kFailed;
}

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

void* suAllocMem(UINT32 size, INT32* error) {
    void* block = nullptr;
    try {
        block = Phone::active().memory.allocate(size);
    } catch (const std::bad_alloc&) {
        // The simulator ran out of memory: the allocation fails, with its error set.
    }
    if (error) *error = block ? 0 : 1;
    return block;
}

void suFreeMem(void* block) {
    if (block) Phone::active().memory.release(block);
}

}  // namespace sim::service
