#pragma once
// What every call of a platform function goes through, whichever kind of module makes it: the
// checks of what the module hands over, the service code, and the call trace. The kinds of its
// parameters and result (described.hpp) decide each step.
#include <algorithm>
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

// What a module did wrong in a call of the platform. It ends the run with status 4.
struct Misdeed {
    std::string what;  // "handed u_strcpy overlapping arguments", as the report goes on after "it"
    std::uint64_t address = 0;
    int argument = -1;  // the argument at fault, from 0, where one is; its value is the address
};

// The memory a pointer argument reaches in one call: what the function reads or writes there.
struct Reach {
    enum class Role { None, Reads, Writes };
    const void* host = nullptr;
    std::size_t bytes = 0;
    Role role = Role::None;
};

// A function never reads what it writes in the same call: text copied onto itself would run
// past its end.
void checkNoOverlap(const char* function, std::span<const Reach> reaches);

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

namespace sim::call {

// What each kind of parameter reaches, from the arguments of one call as the platform got them
// (`values`, a tuple in the order of the parameters).
template <class K>
struct Reaches {
    static constexpr bool kPointer = false;
    template <class T, class V>
    static Reach of(T, const V&) {
        return {};
    }
};
template <class K>
struct Reaches<OrNull<K>> : Reaches<K> {};

template <class Unit, Reach::Role R>
struct TextReach {
    static constexpr bool kPointer = true;
    template <class T, class V>
    static Reach of(T text, const V&) {
        return {text, (textUnits(reinterpret_cast<const Unit*>(text)) + 1) * sizeof(Unit), R};
    }
};
template <>
struct Reaches<Text> : TextReach<WCHAR, Reach::Role::Reads> {};
template <>
struct Reaches<Text8> : TextReach<char, Reach::Role::Reads> {};

template <class R, Reach::Role Role>
struct RecordReach {
    static constexpr bool kPointer = true;
    template <class T, class V>
    static Reach of(T record, const V&) {
        return {record, sizeof(R), Role};
    }
};
template <class R>
struct Reaches<In<R>> : RecordReach<R, Reach::Role::Reads> {};
template <class R>
struct Reaches<Out<R>> : RecordReach<R, Reach::Role::Writes> {};

// The number of records of an ItemsOf or Glyphs argument.
template <int CountArg, std::size_t Fixed, class V>
std::size_t itemCount(const V& values) {
    if constexpr (CountArg < 0)
        return Fixed;
    else
        return static_cast<std::size_t>(std::get<CountArg>(values));
}
template <class R, int C, std::size_t F>
struct Reaches<ItemsOf<R, C, F>> {
    static constexpr bool kPointer = true;
    template <class T, class V>
    static Reach of(T items, const V& values) {
        return {items, itemCount<C, F>(values) * sizeof(R), Reach::Role::Reads};
    }
};
template <int C>
struct Reaches<Glyphs<C>> {
    static constexpr bool kPointer = true;
    template <class T, class V>
    static Reach of(T glyphs, const V& values) {
        return {glyphs, itemCount<C, 0>(values) * sizeof(glyph_record_t), Reach::Role::Reads};
    }
};

// Size times count bytes, or nothing when that is more than 32 bits can say.
template <int S, int C, class V>
std::optional<std::size_t> bufferBytes(const V& values) {
    std::uint64_t bytes = std::get<S>(values);
    if constexpr (C >= 0) bytes *= std::get<C>(values);
    return bytes <= UINT32_MAX ? std::optional<std::size_t>(bytes) : std::nullopt;
}
template <Access A, int S, int C>
struct Reaches<BytesOf<A, S, C>> {
    static constexpr bool kPointer = true;
    template <class T, class V>
    static Reach of(T buffer, const V& values) {
        return {buffer, bufferBytes<S, C>(values).value_or(0),
                A == Access::Reads ? Reach::Role::Reads : Reach::Role::Writes};
    }
};

// The units of room a TextOut argument needs: the units that the rule adds from the other
// arguments, after the destination's own text where the rule keeps it.
template <class Rule>
struct Room;
template <int S>
struct Room<CopyOf<S>> {
    static constexpr bool kKeepsText = false;
    template <class V>
    static std::size_t units(const V& values) {
        return textUnits(std::get<S>(values)) + 1;
    }
};
template <int S>
struct Room<AppendTo<S>> : Room<CopyOf<S>> {
    static constexpr bool kKeepsText = true;
};
template <int N>
struct Room<DecimalOf<N>> {
    static constexpr bool kKeepsText = false;
    template <class V>
    static std::size_t units(const V& values) {
        return decimalUnits(std::get<N>(values)) + 1;
    }
};
template <class Rule>
struct Reaches<TextOut<Rule>> {
    static constexpr bool kPointer = true;
    template <class T, class V>
    static Reach of(T text, const V& values) {
        const std::size_t kept = Room<Rule>::kKeepsText ? textUnits(text) : 0;
        return {text, (kept + Room<Rule>::units(values)) * sizeof(*text), Reach::Role::Writes};
    }
};

template <class K>
inline constexpr bool kNullable = false;
template <class K>
inline constexpr bool kNullable<OrNull<K>> = true;

// The count of records each argument holds, for the trace (0 where it holds none).
template <class K>
struct Counted {
    template <class V>
    static std::size_t of(const V&) {
        return 0;
    }
};
template <class K>
struct Counted<OrNull<K>> : Counted<K> {};
template <class R, int C, std::size_t F>
struct Counted<ItemsOf<R, C, F>> {
    template <class V>
    static std::size_t of(const V& values) {
        return itemCount<C, F>(values);
    }
};
template <int C>
struct Counted<Glyphs<C>> {
    template <class V>
    static std::size_t of(const V& values) {
        return itemCount<C, 0>(values);
    }
};

template <class D, class V>
std::array<std::size_t, D::kArity> countsOf(const V& values) {
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<std::size_t, D::kArity>{
            Counted<std::tuple_element_t<I, typename D::Parameters>>::of(values)...};
    }
    (std::make_index_sequence<D::kArity>{});
}

template <class K>
struct Writing : std::false_type {};
template <class K>
struct Writing<OrNull<K>> : Writing<K> {};
template <class R>
struct Writing<Out<R>> : std::true_type {};
template <int S, int C>
struct Writing<BytesOf<Access::Writes, S, C>> : std::true_type {};
template <class Rule>
struct Writing<TextOut<Rule>> : std::true_type {};

// Whether some argument is written while another is read: only then can they overlap.
template <class D>
constexpr bool writesAndReads() {
    return []<std::size_t... I>(std::index_sequence<I...>) {
        constexpr bool writes = (... || Writing<std::tuple_element_t<I, typename D::Parameters>>::value);
        constexpr int pointers =
            (0 + ... + (Reaches<std::tuple_element_t<I, typename D::Parameters>>::kPointer ? 1 : 0));
        return writes && pointers > 1;
    }
    (std::make_index_sequence<D::kArity>{});
}

}  // namespace sim::call

namespace sim::call {

// No argument that the function writes overlaps one that it reads.
template <class D, class V>
void checkOverlap(const V& values) {
    if constexpr (writesAndReads<D>()) {
        const auto reaches = [&]<std::size_t... I>(std::index_sequence<I...>) {
            return std::array<Reach, D::kArity>{
                Reaches<std::tuple_element_t<I, typename D::Parameters>>::of(std::get<I>(values), values)...};
        }
        (std::make_index_sequence<D::kArity>{});
        checkNoOverlap(D::kName, reaches);
    }
}

// Runs the service code of `D` on the checked arguments, traced when the phone's call trace
// wants it: `raws` are the arguments as the module passed them, `toRaw` turns the result into
// what the module gets back.
template <class D, class V, class ToRaw>
Return<typename D::Function> perform(Phone& phone, const V& values, const std::array<std::uint64_t, D::kArity>& raws,
                                     ToRaw toRaw) {
    using T = Return<typename D::Function>;
    CallTrace& trace = phone.calls;
    if (!trace.wants(D::kName)) return std::apply(D::service, values);
    const std::string call = shownCall<D>(values, raws, countsOf<D>(values));
    const std::uint32_t injected = phone.injectedFaults();
    // What the call leads to in the module goes indented under it.
    struct Nested {
        CallTrace& trace;
        explicit Nested(CallTrace& t, const std::string& call) : trace(t) {
            if constexpr (D::kReenters) trace.write(call + " ..."), trace.enter();
        }
        ~Nested() {
            if constexpr (D::kReenters) trace.leave();
        }
    };
    std::optional<Nested> nested(std::in_place, trace, call);
    const auto finish = [&](std::uint64_t raw) {
        const std::string result = shownResult<D>(raw, values, phone.injectedFaults() != injected);
        nested.reset();
        trace.write(D::kReenters ? std::string("... ") + D::kName + result : call + result);
    };
    if constexpr (std::is_void_v<T>) {
        std::apply(D::service, values);
        finish(0);
    } else {
        const T result = std::apply(D::service, values);
        finish(toRaw(result));
        return result;
    }
}

}  // namespace sim::call
