#pragma once
// How the call trace shows a platform call: each kind of argument and result (described.hpp) as
// text, and what a failed result is.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <span>
#include <utility>

#include "described.hpp"
#include "phone.hpp"

namespace sim::call {

// The units of zero-terminated text at `text` before its terminator.
template <class Unit>
std::size_t textUnits(const Unit* text) {
    std::size_t n = 0;
    while (text[n]) ++n;
    return n;
}
// The names of all the platform's functions.
std::span<const char* const> functionNames();

// "first", "second", ... for the argument of index 0, 1, ...
std::string ordinal(std::size_t index);
// The characters of a number's decimal text.
std::size_t decimalUnits(std::int64_t number);

// How a value appears in the call trace: `raw` is the argument as the module passed it (an
// address of its own on the emulated CPU), `value` what the platform got for it.
std::string hex(std::uint64_t value);
std::string address(std::uint64_t raw);
std::string quotedText(std::u16string_view text);
std::string quotedBytes(std::string_view text);

template <class K>
struct Shown;

template <class K>
struct Shown<OrNull<K>> : Shown<K> {};

template <>
struct Shown<Number> {
    template <class T>
    static std::string of(T value, std::uint64_t) {
        return std::to_string(value);
    }
};
template <>
struct Shown<Handle> {
    template <class T>
    static std::string of(T, std::uint64_t raw) {
        return hex(raw);
    }
};
template <>
struct Shown<Context> {
    template <class T>
    static std::string of(T, std::uint64_t) {
        return "ev";
    }
};
// Every pointer whose content the trace does not show: its address.
struct ShownAsAddress {
    template <class T>
    static std::string of(T, std::uint64_t raw) {
        return raw ? address(raw) : "NULL";
    }
};
template <>
struct Shown<Ignored> : ShownAsAddress {};
template <>
struct Shown<App> : ShownAsAddress {};
template <>
struct Shown<Handed> : ShownAsAddress {};
template <>
struct Shown<Block> : ShownAsAddress {};
template <class T>
struct Shown<Out<T>> : ShownAsAddress {};
template <Access A, int S, int C>
struct Shown<BytesOf<A, S, C>> : ShownAsAddress {};
template <class Room>
struct Shown<TextOut<Room>> : ShownAsAddress {};
template <>
struct Shown<Text> {
    template <class T>
    static std::string of(T text, std::uint64_t) {
        return text ? quotedText(std::u16string_view(reinterpret_cast<const char16_t*>(text), textUnits(text)))
                    : "NULL";
    }
};
template <>
struct Shown<Text8> {
    template <class T>
    static std::string of(T text, std::uint64_t) {
        const auto* bytes = reinterpret_cast<const char*>(text);
        return text ? quotedBytes(std::string_view(bytes, textUnits(bytes))) : "NULL";
    }
};
std::string shownRecord(const ahi_point_t& p);
std::string shownRecord(const ahi_rect_t& r);
std::string shownRecord(const UINT32& word);
std::string shownRecord(const UINT16& half);
template <class R>
struct Shown<In<R>> {
    template <class T>
    static std::string of(T record, std::uint64_t raw) {
        return record ? shownRecord(*record) : "NULL";
    }
};
// A few records in full, more as their number.
template <class R, int C, std::size_t F>
struct Shown<ItemsOf<R, C, F>> {
    template <class T>
    static std::string of(T items, std::uint64_t raw, std::size_t count) {
        if (!items) return "NULL";
        if (count > 4) return std::to_string(count) + " records at " + address(raw);
        std::string out = "[";
        for (std::size_t i = 0; i < count; ++i) out += (i ? "," : "") + shownRecord(items[i]);
        return out + "]";
    }
};
template <int C>
struct Shown<Glyphs<C>> {
    template <class T>
    static std::string of(T glyphs, std::uint64_t raw, std::size_t count) {
        return glyphs ? std::to_string(count) + " glyphs" : "NULL";
    }
};

// A result: whether it says the call failed, and how the trace shows it.
template <class R>
struct ResultShown;
template <>
struct ResultShown<Status> {
    static bool failed(std::uint64_t raw) { return raw != 0; }
    static std::string of(std::uint64_t raw) { return std::to_string(raw); }
};
template <std::uint32_t F>
struct ResultShown<HandleOr<F>> {
    static bool failed(std::uint64_t raw) { return raw == F; }
    static std::string of(std::uint64_t raw) { return hex(raw); }
};
template <>
struct ResultShown<FileSize> {
    static bool failed(std::uint64_t raw) { return raw == FS_SIZE_UNKNOWN; }
    static std::string of(std::uint64_t raw) { return raw == FS_SIZE_UNKNOWN ? "unknown" : std::to_string(raw); }
};
template <>
struct ResultShown<Count> {
    static bool failed(std::uint64_t) { return false; }
    static std::string of(std::uint64_t raw) { return std::to_string(raw); }
};
template <int A>
struct ResultShown<SameAs<A>> {
    static bool failed(std::uint64_t) { return false; }
    static std::string of(std::uint64_t raw) { return address(raw); }
};
struct PointerResultShown {
    static bool failed(std::uint64_t raw) { return raw == 0; }
    static std::string of(std::uint64_t raw) { return raw ? address(raw) : "NULL"; }
};
template <>
struct ResultShown<NewBlock> : PointerResultShown {};
template <>
struct ResultShown<AppRecord> : PointerResultShown {};
template <>
struct ResultShown<EventRecord> : PointerResultShown {};

// What a call returns when it fails: a number, or one of its arguments handed back.
template <class R>
struct FailedValue {
    static constexpr std::uint64_t value = 0;  // a count, or a null pointer
};
template <>
struct FailedValue<Status> {
    static constexpr std::uint64_t value = 1;
};
template <std::uint32_t F>
struct FailedValue<HandleOr<F>> {
    static constexpr std::uint64_t value = F;
};
template <>
struct FailedValue<FileSize> {
    static constexpr std::uint64_t value = FS_SIZE_UNKNOWN;
};
template <class R>
struct SameAsIndex {
    static constexpr int value = -1;
};
template <int A>
struct SameAsIndex<SameAs<A>> {
    static constexpr int value = A;
};

// The text a TextOut argument holds after the call, for the trace.
template <class K>
struct WrittenText {
    template <class T>
    static std::string of(T) {
        return {};
    }
};
template <class Room>
struct WrittenText<TextOut<Room>> {
    template <class T>
    static std::string of(T text) {
        if constexpr (sizeof(*text) == 1)
            return " " + Shown<Text8>::of(text, 0);
        else
            return " " + Shown<Text>::of(text, 0);
    }
};

// The arguments of one call as the trace shows them. `raws` are the arguments as the module
// passed them; `counts` the number of records of each ItemsOf or Glyphs argument.
template <class D, class Values, std::size_t... I>
std::string shownArguments(const Values& values, const std::array<std::uint64_t, D::kArity>& raws,
                           const std::array<std::size_t, D::kArity>& counts, std::index_sequence<I...>) {
    std::string out;
    const auto one = [&](auto kind, const auto& value, std::uint64_t raw, std::size_t count) {
        using K = typename decltype(kind)::type;
        if (!out.empty()) out += ", ";
        if constexpr (requires { Shown<K>::of(value, raw, count); })
            out += Shown<K>::of(value, raw, count);
        else
            out += Shown<K>::of(value, raw);
    };
    (one(std::type_identity<std::tuple_element_t<I, typename D::Parameters>>{}, std::get<I>(values), raws[I],
         counts[I]),
     ...);
    return out;
}

}  // namespace sim::call

namespace sim::call {

// "NAME(arguments)" as the trace shows a call.
template <class D, class Values>
std::string shownCall(const Values& values, const std::array<std::uint64_t, D::kArity>& raws,
                      const std::array<std::size_t, D::kArity>& counts) {
    return std::string(D::kName) + "(" +
           shownArguments<D>(values, raws, counts, std::make_index_sequence<D::kArity>{}) + ")";
}

// " = RESULT" as the trace shows a call's result: marked when it failed, and when the failure was
// one injected by a fault option; a text written is shown after it.
template <class D, class Values>
std::string shownResult(std::uint64_t raw, const Values& values, bool injected) {
    using R = typename D::Result;
    if constexpr (std::is_same_v<R, Nothing>) {
        return "";
    } else {
        std::string out = " = " + ResultShown<R>::of(raw);
        if (ResultShown<R>::failed(raw)) out += injected ? " (injected fault)" : " (failed)";
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (out += ... += WrittenText<std::tuple_element_t<I, typename D::Parameters>>::of(std::get<I>(values)));
        }
        (std::make_index_sequence<D::kArity>{});
        return out;
    }
}

}  // namespace sim::call
