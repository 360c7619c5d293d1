#pragma once
// What the pointer arguments of a platform call reach in the module's memory, so that a call whose
// written memory overlaps its read memory is refused before the service runs.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <tuple>
#include <utility>

#include "call_shown.hpp"
#include "platform_values.hpp"

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
    std::uint64_t count = 1;
    if constexpr (C >= 0) count = std::get<C>(values);
    return byteCount(std::get<S>(values), count);
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
