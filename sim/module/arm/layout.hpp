#pragma once
// The phone module's address space and the platform's records as a 32-bit module sees them.
#include <cstddef>
#include <cstdint>

#include "framework.hpp"
#include "platform/app_framework.h"

namespace sim::arm {

using Address = std::uint32_t;

// Where things lie for the module. The first 64 KiB stay unmapped, so that a null pointer and
// small offsets from it fault; platform functions and the return to the platform are addresses
// where nothing is mapped, so that the CPU stops when it jumps there.
inline constexpr Address kNullPageEnd = 0x00010000;
inline constexpr Address kPlatformRecordsBase = 0x00F00000;
inline constexpr Address kImageBase = 0x01000000;
inline constexpr Address kStackBase = 0x0F000000;
inline constexpr std::size_t kStackBytes = 256 * 1024;
inline constexpr Address kStackTop = kStackBase + kStackBytes;
inline constexpr Address kHeapBase = 0x10000000;
inline constexpr Address kHeapEnd = 0x70000000;
inline constexpr Address kReturnToPlatform = 0xE0000000;
inline constexpr Address kPlatformFunctionsBase = 0xF0000000;
inline constexpr Address kPlatformFunctionBytes = 4;

// The records of app_framework.h and drawing.h whose pointers are 32 bits on the phone.
struct StateRow32 {
    std::uint8_t id;
    std::uint8_t reserved[3];
    std::uint32_t entry, exit, handlers;
};
struct HandlerEntry32 {
    std::uint32_t code, handler;
};
struct GlyphRecord32 {
    std::uint8_t width, reserved, advance, height;
    std::uint32_t bits;
};
struct EventRecord32 {
    std::uint32_t code;
    std::uint8_t reserved0[28];
    std::uint8_t key;
    std::uint8_t reserved1[255];
    std::uint32_t attachment;
};
static_assert(sizeof(StateRow32) == 16 && sizeof(HandlerEntry32) == 8 && sizeof(GlyphRecord32) == 8);
static_assert(offsetof(EventRecord32, key) == offsetof(event_record_t, key));
static_assert(offsetof(EventRecord32, attachment) == offsetof(event_record_t, attachment));
// The application record holds no pointer: both kinds of module share its layout.
static_assert(sizeof(app_record_t) == APP_RECORD_SIZE);

// What the platform keeps where the module can reach it, at kPlatformRecordsBase: the
// application record, the current event as AFW_GetEv hands it over with the text attached to
// it, and the word that stands for the framework's context.
struct PlatformRecords {
    app_record_t app;
    EventRecord32 event;
    std::uint32_t context;
    char16_t attached[Event::kMostAttachedUnits + 1];
};

}  // namespace sim::arm
