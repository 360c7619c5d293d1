#include "platform_calls.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/app_framework.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/resources.h"
#include "platform/text.h"

namespace sim::arm {

std::uint32_t PlatformCall::word(int index) const {
    if (index < 4) return cpu_.read(static_cast<Reg>(index));
    const Address at = cpu_.read(Reg::Sp) + 4 * static_cast<Address>(index - 4);
    const std::byte* host = space_.view(at, 4, AddressSpace::Access::Read);
    if (!host || at % 4 != 0) throw ForeignAddress{at, 4};
    std::uint32_t value;
    std::copy(host, host + 4, reinterpret_cast<std::byte*>(&value));
    return value;
}

namespace {

using Call = const PlatformCall&;

// The framework's context: the framework hands every call into the module its own, so the
// module's copy of it is not needed back.
constexpr event_context_t* kContext = nullptr;

// size * count bytes to move, or nothing when a 32-bit platform could not say that many; the
// platform function then refuses without touching the buffer.
std::optional<std::size_t> fileBytes(Call c) {
    const std::uint64_t bytes = std::uint64_t{c.word(1)} * c.word(2);
    return bytes <= UINT32_MAX ? std::optional<std::size_t>(bytes) : std::nullopt;
}

std::uint32_t getEvent(Call c) {
    const event_record_t* event = ::AFW_GetEv(kContext);
    if (!event) return 0;
    PlatformRecords& r = c.records();
    const auto* bytes = reinterpret_cast<const std::byte*>(event);
    std::copy(bytes, bytes + offsetof(EventRecord32, attachment), reinterpret_cast<std::byte*>(&r.event));
    r.event.attachment = 0;
    if (const auto* text = static_cast<const char16_t*>(event->attachment)) {
        std::size_t n = 0;
        for (; n < PlatformRecords::kMostAttachedUnits && text[n]; ++n) r.attached[n] = text[n];
        r.attached[n] = 0;
        r.event.attachment = c.address(r.attached);
    }
    return c.address(&r.event);
}

std::uint32_t drawChars(Call c) {
    const UINT32 count = c.word(3);
    const GlyphRecord32* glyphs = c.view<const GlyphRecord32>(2, count);
    std::vector<glyph_record_t> host(glyphs ? count : 0);
    for (std::size_t i = 0; i < host.size(); ++i) {
        const GlyphRecord32& g = glyphs[i];
        const std::size_t bytes = (std::size_t{g.width} * g.height + 7) / 8;
        host[i] = {g.width, g.reserved, g.advance, g.height, c.at<const UINT8>(g.bits, bytes)};
    }
    return ::AhiDrawChar(c.word(0), c.view<const ahi_point_t>(1), glyphs ? host.data() : nullptr, count, c.word(4));
}

std::uint32_t allocate(Call c) { return c.address(::suAllocMem(c.word(0), c.view<INT32>(1))); }

std::uint32_t release(Call c) {
    // An address that is no block is counted as a bad release, as a host module's would be.
    static std::byte notABlock;
    const Address block = c.word(0);
    std::byte* host = block ? c.hostOf(block) : nullptr;
    ::suFreeMem(block && !host ? &notABlock : host);
    return 0;
}

std::uint32_t numberText(Call c) {
    WCHAR digits[12];
    ::u_ltou(static_cast<INT32>(c.word(0)), digits);
    const std::size_t n = ::u_strlen(digits);
    std::copy(digits, digits + n + 1, c.view<WCHAR>(1, n + 1, Null::Faults));
    return c.word(1);
}

std::uint32_t concatenate(Call c) {
    const std::size_t have = ::u_strlen(c.text(0, Null::Faults));
    const WCHAR* source = c.text(1, Null::Faults);
    ::u_strcat(c.view<WCHAR>(0, have + ::u_strlen(source) + 1, Null::Faults), source);
    return c.word(0);
}

// clang-format off
const PlatformFunction kFunctions[] = {
    // Loader and framework. Tables, functions and the code's start are handed on as the
    // module's addresses; the application record lies where the module reaches it.
    {"LdrStartApp", [](Call c) { return ::LdrStartApp(c.word(0)); }},
    {"LdrUnloadELF", [](Call c) { return ::LdrUnloadELF(c.handedOn<const void*>(0)); }},
    {"APP_Register", [](Call c) {
        return ::APP_Register(c.view<const UINT32>(0, c.word(1)), c.word(1), c.handedOn<const state_row_t*>(2),
                              c.word(3), c.handedOn<app_start_fn>(4)); }},
    {"APP_InitAppData", [](Call c) {
        return c.address(::APP_InitAppData(c.handedOn<event_handler_fn>(0), c.word(1),
                                           c.word(2), c.word(3), c.word(4), c.word(5), c.word(6), c.word(7),
                                           c.word(8))); }},
    {"APP_Start", [](Call c) {
        return ::APP_Start(kContext, c.view<app_record_t>(1), c.word(2), c.handedOn<const state_row_t*>(3),
                           c.handedOn<event_handler_fn>(4),
                           reinterpret_cast<const UINT8*>(c.string(5)), c.word(6)); }, true},
    {"APP_Exit", [](Call c) { return ::APP_Exit(kContext, c.view<app_record_t>(1), c.word(2)); }},
    {"APP_HandleEvent", [](Call c) { return ::APP_HandleEvent(kContext, c.view<app_record_t>(1)); }, true},
    {"APP_HandleUITokenGranted", [](Call c) { return ::APP_HandleUITokenGranted(kContext, c.view<app_record_t>(1)); }},
    {"APP_HandleUITokenRevoked", [](Call c) { return ::APP_HandleUITokenRevoked(kContext, c.view<app_record_t>(1)); }},
    {"APP_UtilChangeState", [](Call c) { return ::APP_UtilChangeState(c.word(0), kContext, c.view<app_record_t>(2)); }, true},
    {"APP_UtilUISDialogDelete", [](Call c) { return ::APP_UtilUISDialogDelete(c.view<UINT32>(0)); }},
    {"APP_ConsumeEv", [](Call c) { return ::APP_ConsumeEv(kContext, c.view<app_record_t>(1)); }},
    {"AFW_GetEv", getEvent},
    {"AFW_AddEvEvD", [](Call c) { return ::AFW_AddEvEvD(kContext, c.word(1)); }},
    // Dialogs and resources.
    {"UIS_CreateColorCanvas", [](Call c) {
        return ::UIS_CreateColorCanvas(c.view<UINT32>(0), c.view<const UINT16>(1, 4), c.word(2)); }},
    {"UIS_CreateCharacterEditor", [](Call c) {
        return ::UIS_CreateCharacterEditor(c.view<UINT32>(0), const_cast<WCHAR*>(c.text(1)), UINT8(c.word(2)),
                                           c.word(3), UINT8(c.word(4)), c.word(5), c.word(6)); }},
    {"UIS_HandleEvent", [](Call c) { return ::UIS_HandleEvent(c.word(0), kContext); }},
    {"DRM_GetCurrentLanguage", [](Call c) { return ::DRM_GetCurrentLanguage(c.view<UINT8>(0)); }},
    {"DRM_CreateResource", [](Call c) {
        return ::DRM_CreateResource(c.view<UINT32>(0), c.word(1), c.view<const std::byte>(2, c.word(3)), c.word(3)); }},
    {"DRM_SetResource", [](Call c) {
        return ::DRM_SetResource(c.word(0), c.view<const std::byte>(1, c.word(2)), c.word(2)); }},
    {"DRM_ClearResource", [](Call c) { return ::DRM_ClearResource(c.word(0)); }},
    // Drawing. Points and rectangles are 32-bit integers on both kinds of CPU; the platform reads
    // neither a brush's pattern nor its origin.
    {"DAL_GetDeviceContext", [](Call c) { return ::DAL_GetDeviceContext(c.word(0)); }},
    {"DAL_GetDrawingSurface", [](Call c) { return ::DAL_GetDrawingSurface(c.word(0)); }},
    {"AhiDispSurfGet", [](Call c) { return ::AhiDispSurfGet(c.word(0), c.view<UINT32>(1)); }},
    {"AhiDrawSurfDstSet", [](Call c) { return ::AhiDrawSurfDstSet(c.word(0), c.word(1), c.word(2)); }},
    {"AhiDrawSurfSrcSet", [](Call c) { return ::AhiDrawSurfSrcSet(c.word(0), c.word(1), c.word(2)); }},
    {"AhiDrawClipDstSet", [](Call c) { return ::AhiDrawClipDstSet(c.word(0), c.view<const ahi_rect_t>(1)); }},
    {"AhiDrawClipSrcSet", [](Call c) { return ::AhiDrawClipSrcSet(c.word(0), c.view<const ahi_rect_t>(1)); }},
    {"AhiDrawRopSet", [](Call c) { return ::AhiDrawRopSet(c.word(0), c.word(1)); }},
    {"AhiDrawBrushFgColorSet", [](Call c) { return ::AhiDrawBrushFgColorSet(c.word(0), c.word(1)); }},
    {"AhiDrawFgColorSet", [](Call c) { return ::AhiDrawFgColorSet(c.word(0), c.word(1)); }},
    {"AhiDrawBrushSet", [](Call c) { return ::AhiDrawBrushSet(c.word(0), nullptr, nullptr, c.word(3), c.word(4)); }},
    {"AhiDrawLines", [](Call c) {
        return ::AhiDrawLines(c.word(0), c.view<const ahi_point_t>(1, c.word(2)), c.word(2), c.word(3)); }},
    {"AhiDrawSpans", [](Call c) {
        return ::AhiDrawSpans(c.word(0), c.view<const ahi_rect_t>(1, c.word(2)), c.word(2), c.word(3)); }},
    {"AhiDrawBitBlt", [](Call c) {
        return ::AhiDrawBitBlt(c.word(0), c.view<const ahi_rect_t>(1), c.view<const ahi_point_t>(2)); }},
    {"AhiDrawChar", drawChars},
    // Files.
    {"DL_FsSGetFileSize", [](Call c) { return ::DL_FsSGetFileSize(c.text(0), c.word(1)); }},
    {"DL_FsOpenFile", [](Call c) { return ::DL_FsOpenFile(c.text(0), c.word(1), c.word(2)); }},
    {"DL_FsReadFile", [](Call c) {
        const auto bytes = fileBytes(c);
        return ::DL_FsReadFile(bytes ? c.view<std::byte>(0, *bytes) : nullptr, c.word(1), c.word(2), c.word(3),
                               c.view<UINT32>(4)); }},
    {"DL_FsWriteFile", [](Call c) {
        const auto bytes = fileBytes(c);
        return ::DL_FsWriteFile(bytes ? c.view<const std::byte>(0, *bytes) : nullptr, c.word(1), c.word(2),
                                c.word(3), c.view<UINT32>(4)); }},
    {"DL_FsCloseFile", [](Call c) { return ::DL_FsCloseFile(c.word(0)); }},
    {"DL_FsRenameFile", [](Call c) { return ::DL_FsRenameFile(c.text(0), c.text(1)); }},
    {"DL_FsDeleteFile", [](Call c) { return ::DL_FsDeleteFile(c.text(0), c.word(1)); }},
    // Memory: blocks lie in arenas mapped into the module's address space.
    {"suAllocMem", allocate},
    {"suFreeMem", release},
    // Text and division. Each destination must hold what is written to it.
    {"u_atou", [](Call c) {
        const char* source = c.string(0, Null::Faults);
        ::u_atou(source, c.view<WCHAR>(1, std::char_traits<char>::length(source) + 1, Null::Faults));
        return c.word(1); }},
    {"u_utoa", [](Call c) {
        const WCHAR* source = c.text(0, Null::Faults);
        ::u_utoa(source, c.view<char>(1, ::u_strlen(source) + 1, Null::Faults));
        return c.word(1); }},
    {"u_ltou", numberText},
    {"u_strlen", [](Call c) { return ::u_strlen(c.text(0, Null::Faults)); }},
    {"u_strcpy", [](Call c) {
        const WCHAR* source = c.text(1, Null::Faults);
        ::u_strcpy(c.view<WCHAR>(0, ::u_strlen(source) + 1, Null::Faults), source);
        return c.word(0); }},
    {"u_strcat", concatenate},
    {"strlen", [](Call c) { return UINT32(std::char_traits<char>::length(c.string(0, Null::Faults))); }},
    {"__rt_udiv", [](Call c) { return ::__rt_udiv(c.word(0), c.word(1)); }},
};
// clang-format on

}  // namespace

const PlatformFunction* findPlatformFunction(std::string_view name) {
    const auto found =
        std::find_if(std::begin(kFunctions), std::end(kFunctions), [&](const auto& f) { return f.name == name; });
    return found == std::end(kFunctions) ? nullptr : found;
}

}  // namespace sim::arm
