#pragma once
// The words that describe a platform function's parameters and result, once for every kind of
// module (platform_functions.def). From them come the host functions a module built for this
// computer calls, the marshalling of the phone's module on the emulated CPU, the checks of what
// a module hands the platform, and the call trace.
#include <cstddef>
#include <cstdint>

namespace sim::call {

// Parameters. A pointer may be null only where OrNull says so: the function then fails, as the
// platform's own does; elsewhere a null pointer is the module's fault.
struct Number {};   // an integer, shown in decimal; it must fit its C type
struct Handle {};   // a handle, flags or a colour, shown in hex
struct Ignored {};  // read by no platform function (a brush's pattern, say)
struct Context {};  // the framework's event context: the framework always uses its own
struct App {};      // the application record that the framework handed out
struct Handed {};   // a function or table of the module, handed on to the framework
struct Text {};     // zero-terminated 16-bit text that the function reads
struct Text8 {};    // zero-terminated 8-bit text that the function reads
template <class T>
struct In {};  // one record that the function reads
template <class T>
struct Out {};  // one record that the function writes (and may read first)
// Records that the function reads: as many as the argument `CountArg` says, or exactly `Fixed`.
template <class T, int CountArg, std::size_t Fixed>
struct ItemsOf {};
template <class T>
struct Items {
    template <int CountArg>
    using CountedBy = ItemsOf<T, CountArg, 0>;
    template <std::size_t Fixed>
    using Exactly = ItemsOf<T, -1, Fixed>;
};
// Bytes that the function reads or writes: as many as the argument `SizeArg` says, times the
// argument `CountArg` where there is one. When that is more than 32 bits can say, the function
// gets no buffer and fails.
enum class Access { Reads, Writes };
template <Access A, int SizeArg, int CountArg>
struct BytesOf {};
template <int SizeArg>
struct BytesIn : BytesOf<Access::Reads, SizeArg, -1> {
    template <int CountArg>
    using Times = BytesOf<Access::Reads, SizeArg, CountArg>;
};
template <int SizeArg>
struct BytesOut : BytesOf<Access::Writes, SizeArg, -1> {
    template <int CountArg>
    using Times = BytesOf<Access::Writes, SizeArg, CountArg>;
};
// Glyph records for AhiDrawChar, `CountArg` of them, each with its bitmap.
template <int CountArg>
struct Glyphs {};
// A heap block that the function releases.
struct Block {};
template <class Kind>
struct OrNull {};

// Where a function writes text, and how much room it needs there, in units of its text.
template <class Room>
struct TextOut {};
template <int SourceArg>
struct CopyOf {};  // the text of argument `SourceArg` and its terminator
template <int SourceArg>
struct AppendTo {};  // the destination's own text, then that of `SourceArg`, and the terminator
template <int NumberArg>
struct DecimalOf {};  // the decimal digits of the number `NumberArg`, a sign, the terminator

// Results.
struct Status {};  // 0 for done, anything else for failed
template <std::uint32_t Failed>
struct HandleOr {};  // a handle, or `Failed`
struct FileSize {};  // a size, FS_SIZE_UNKNOWN when it cannot be told
struct Count {};     // a number (a length, a quotient)
template <int Arg>
struct SameAs {};       // the function's argument `Arg` handed back
struct NewBlock {};     // a heap block, null when none can be had
struct AppRecord {};    // the application record, null when none is made
struct EventRecord {};  // the current event, null when there is none
struct Nothing {};      // void

// A function that calls into the module (a handler, an entry routine) while it runs.
template <class Result>
struct Reenters {};

}  // namespace sim::call
