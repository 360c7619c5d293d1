#include "platform_calls.hpp"

#include <algorithm>
#include <limits>
#include <string>
#include <tuple>

#include "platform_values.hpp"

namespace sim::arm {

using call::Misdeed;

call::Misdeed ArmCall::misdeed(const std::string& what, Address address, std::size_t index) const {
    return Misdeed{std::string("handed ") + function_ + " " + what + " as its " + call::ordinal(index) + " argument",
                   address, static_cast<int>(index)};
}

std::uint32_t ArmCall::word(std::size_t index) const {
    if (index < 4) return registers_.arguments[index];
    // The fifth argument and those after it lie on the stack, a word each.
    const std::uint64_t at = std::uint64_t{registers_.sp} + 4 * (index - 4);
    const std::byte* host = at <= std::numeric_limits<Address>::max() && at % 4 == 0
                                ? space_.view(static_cast<Address>(at), 4, AddressSpace::Access::Read)
                                : nullptr;
    if (!host) throw Misdeed{std::string("called ") + function_ + " with its stack where it owns no memory", at};
    std::uint32_t value;
    std::copy(host, host + 4, reinterpret_cast<std::byte*>(&value));
    return value;
}

std::byte* ArmCall::checked(Address address, std::uint64_t bytes, std::size_t align, AddressSpace::Access access,
                            std::size_t index) const {
    if (address % align != 0) throw misdeed("a misaligned address", address, index);
    std::byte* host = space_.view(address, bytes, access);
    if (!host) throw misdeed(space_.explain(address, bytes), address, index);
    return host;
}

std::byte* ArmCall::blockAt(Address address) const { return space_.view(address, 0, AddressSpace::Access::Read); }

namespace {

using namespace sim::call;

// How each kind of parameter is read from the module's arguments: `get<T>` gives the C type's
// value for argument `i`, given the values of those read before (for the room of a text written).
template <class K>
struct Marshal;

// A pointer the module handed over, or a misdeed where it may not be null.
template <bool Nullable>
Address pointer(const ArmCall& c, std::size_t i) {
    const Address address = c.word(i);
    if (address == 0 && !Nullable) throw c.misdeed("a null pointer", 0, i);
    return address;
}

template <class K>
struct Marshal<OrNull<K>> {
    template <class T, bool, class V>
    static T get(ArmCall& c, std::size_t i, const V& values) {
        return Marshal<K>::template get<T, true>(c, i, values);
    }
};

// A number must fit its C type: a module that passes more has broken the calling convention.
struct Integer {
    template <class T, bool, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        const std::uint32_t word = c.word(i);
        if constexpr (sizeof(T) < sizeof(word))
            if (word > std::numeric_limits<std::make_unsigned_t<T>>::max())
                throw c.misdeed("a value wider than its " + std::to_string(8 * sizeof(T)) + " bits", word, i);
        return static_cast<T>(word);
    }
};
template <>
struct Marshal<Number> : Integer {};
template <>
struct Marshal<Handle> : Integer {};

// The framework hands every call into the module its own context: the module's copy is not
// needed back; what the platform does not read is not looked at.
struct Unread {
    template <class T, bool, class V>
    static T get(ArmCall&, std::size_t, const V&) {
        return nullptr;
    }
};
template <>
struct Marshal<Context> : Unread {};
template <>
struct Marshal<Ignored> : Unread {};

// Tables, functions and the code's start go to the framework as the module's addresses, which it
// reads through the module's code.
template <>
struct Marshal<Handed> {
    template <class T, bool, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        return reinterpret_cast<T>(std::uintptr_t{c.word(i)});
    }
};

template <>
struct Marshal<App> {
    template <class T, bool Nullable, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        return c.view<app_record_t>(pointer<Nullable>(c, i), 1, i);
    }
};

template <class Unit>
struct TextIn {
    template <class T, bool Nullable, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        const Address address = pointer<Nullable>(c, i);
        if (address == 0) return nullptr;
        const std::size_t units = c.textUnits<Unit>(address, i);
        return reinterpret_cast<T>(const_cast<Unit*>(c.view<const Unit>(address, units + 1, i)));
    }
};
template <>
struct Marshal<Text> : TextIn<WCHAR> {};
template <>
struct Marshal<Text8> : TextIn<char> {};

template <class R>
struct Marshal<In<R>> {
    template <class T, bool Nullable, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        return const_cast<T>(c.view<const R>(pointer<Nullable>(c, i), 1, i));
    }
};
template <class R>
struct Marshal<Out<R>> {
    template <class T, bool Nullable, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        return c.view<R>(pointer<Nullable>(c, i), 1, i);
    }
};

template <class R, int C, std::size_t F>
struct Marshal<ItemsOf<R, C, F>> {
    template <class T, bool Nullable, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        const std::uint64_t count = C < 0 ? F : c.word(static_cast<std::size_t>(C));
        return c.view<const R>(pointer<Nullable>(c, i), count, i);
    }
};

// A buffer whose size a 32-bit platform cannot say is not handed over: the function fails.
template <Access A, int S, int C>
struct Marshal<BytesOf<A, S, C>> {
    template <class T, bool Nullable, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        const auto bytes = byteCount(c.word(S), C >= 0 ? c.word(C) : 1);
        const Address address = pointer<Nullable>(c, i);
        if (!bytes) return nullptr;
        using Byte = std::conditional_t<A == Access::Reads, const std::byte, std::byte>;
        return c.view<Byte>(address, *bytes, i);
    }
};

// Glyph records hold the address of their bitmap: each is turned into the host's record.
template <int C>
struct Marshal<Glyphs<C>> {
    template <class T, bool Nullable, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        const std::uint32_t count = c.word(C);
        const GlyphRecord32* glyphs = c.view<const GlyphRecord32>(pointer<Nullable>(c, i), count, i);
        if (!glyphs) return nullptr;
        std::vector<glyph_record_t>& host = c.glyphs();
        host.resize(count);
        for (std::size_t g = 0; g < count; ++g) {
            const GlyphRecord32& r = glyphs[g];
            const std::size_t bytes = (std::size_t{r.width} * r.height + 7) / 8;
            host[g] = {r.width, r.reserved, r.advance, r.height, c.view<const UINT8>(r.bits, bytes, i)};
        }
        return host.data();
    }
};

// An address that starts no block reaches the heap as a pointer that is none of its blocks, so
// that it is refused as a bad release, as a host module's would be.
template <>
struct Marshal<Block> {
    template <class T, bool, class V>
    static T get(ArmCall& c, std::size_t i, const V&) {
        static std::byte notABlock;
        const Address block = c.word(i);
        if (block == 0) return nullptr;
        std::byte* host = c.blockAt(block);
        return host ? host : &notABlock;
    }
};

// A text written, with the room its rule gives from the arguments read before it.
template <class Rule>
struct Marshal<TextOut<Rule>> {
    template <class T, bool Nullable, class V>
    static T get(ArmCall& c, std::size_t i, const V& values) {
        using Unit = std::remove_pointer_t<T>;
        const Address address = pointer<Nullable>(c, i);
        const std::size_t kept = Room<Rule>::kKeepsText ? c.textUnits<Unit>(address, i) : 0;
        return c.view<Unit>(address, kept + Room<Rule>::units(values), i);
    }
};

template <class K>
inline constexpr bool kWritesText = false;
template <class Rule>
inline constexpr bool kWritesText<TextOut<Rule>> = true;

// The arguments of `D` as the platform's C function takes them: texts written last, since their
// room follows from the others.
template <class D, std::size_t... I>
typename Signature<typename D::Function>::Params arguments(ArmCall& c, std::index_sequence<I...>) {
    using Params = typename Signature<typename D::Function>::Params;
    Params values{};
    const auto read = [&](auto index, bool textsWritten) {
        constexpr std::size_t i = decltype(index)::value;
        using K = std::tuple_element_t<i, typename D::Parameters>;
        if (kWritesText<K> == textsWritten)
            std::get<i>(values) = Marshal<K>::template get<std::tuple_element_t<i, Params>, false>(c, i, values);
    };
    (read(std::integral_constant<std::size_t, I>{}, false), ...);
    (read(std::integral_constant<std::size_t, I>{}, true), ...);
    return values;
}

// The result as the module gets it in r0.
template <class R>
struct ToWord {
    template <class T, class V>
    static std::uint32_t of(ArmCall&, T result, const V&) {
        return static_cast<std::uint32_t>(result);
    }
};
template <int A>
struct ToWord<SameAs<A>> {
    template <class T, class V>
    static std::uint32_t of(ArmCall& c, T, const V&) {
        return c.word(A);
    }
};
struct AddressOfResult {
    template <class T, class V>
    static std::uint32_t of(ArmCall& c, T result, const V&) {
        return c.address(result);
    }
};
template <>
struct ToWord<NewBlock> : AddressOfResult {};
template <>
struct ToWord<AppRecord> : AddressOfResult {};
// The current event, copied where the module reaches it with a copy of the text attached to it.
template <>
struct ToWord<EventRecord> {
    template <class V>
    static std::uint32_t of(ArmCall& c, const event_record_t* event, const V&) {
        if (!event) return 0;
        PlatformRecords& r = c.records();
        const auto* bytes = reinterpret_cast<const std::byte*>(event);
        std::copy(bytes, bytes + offsetof(EventRecord32, attachment), reinterpret_cast<std::byte*>(&r.event));
        r.event.attachment = 0;
        if (const auto* text = static_cast<const char16_t*>(event->attachment)) {
            std::size_t n = 0;
            for (; n < Event::kMostAttachedUnits && text[n]; ++n) r.attached[n] = text[n];
            r.attached[n] = 0;
            r.event.attachment = c.address(r.attached);
        }
        return c.address(&r.event);
    }
};

template <class D>
std::uint32_t onArm(ArmCall& c, Phone& phone) {
    const auto values = arguments<D>(c, std::make_index_sequence<D::kArity>{});
    checkOverlap<D>(values);
    std::array<std::uint64_t, D::kArity> raws{};
    for (std::size_t i = 0; i < D::kArity; ++i) raws[i] = c.word(i);
    const auto toWord = [&](auto result) -> std::uint64_t { return ToWord<typename D::Result>::of(c, result, values); };
    if constexpr (std::is_void_v<Return<typename D::Function>>) {
        perform<D>(phone, values, raws, toWord);
        return 0;
    } else {
        return static_cast<std::uint32_t>(toWord(perform<D>(phone, values, raws, toWord)));
    }
}

// clang-format off
const PlatformFunction kFunctions[] = {
#define PLATFORM_FUNCTION(name, ...) \
    {#name, &onArm<described::name>, described::name::kReenters, described::name::kArity},
#define PLATFORM_FUNCTION_OF_C_LIBRARY PLATFORM_FUNCTION
#include "platform_functions.def"
#undef PLATFORM_FUNCTION
#undef PLATFORM_FUNCTION_OF_C_LIBRARY
};
// clang-format on

}  // namespace

const PlatformFunction* findPlatformFunction(std::string_view name) {
    const auto found =
        std::find_if(std::begin(kFunctions), std::end(kFunctions), [&](const auto& f) { return f.name == name; });
    return found == std::end(kFunctions) ? nullptr : found;
}

}  // namespace sim::arm
