#pragma once
// The platform's functions as platform_functions.def describes them: for each, a type in
// sim::described that holds its name, its C signature, the kinds of its result and parameters
// and its service code, the function in sim::service that does what it does.
#include <cstddef>
#include <cstring>  // before the platform's own declaration of strlen, which it then matches
#include <tuple>
#include <type_traits>

#include "call_kinds.hpp"
#include "platform/app_framework.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/resources.h"
#include "platform/text.h"

// The service code: what each function does, with its C signature, for every kind of module.
// A function of the C library is its own service code.
namespace sim::service {
#define PLATFORM_FUNCTION(name, ...) decltype(::name) name;
#define PLATFORM_FUNCTION_OF_C_LIBRARY(...)
#include "platform_functions.def"
#undef PLATFORM_FUNCTION
#undef PLATFORM_FUNCTION_OF_C_LIBRARY
}  // namespace sim::service

namespace sim::call {

template <class F>
struct Signature;
template <class R, class... A>
struct Signature<R(A...)> {
    using Return = R;
    using Params = std::tuple<A...>;
    static constexpr std::size_t kArity = sizeof...(A);
};
// The C library declares its functions noexcept.
template <class R, class... A>
struct Signature<R(A...) noexcept> : Signature<R(A...)> {};
template <class F, std::size_t I>
using Param = std::tuple_element_t<I, typename Signature<F>::Params>;
template <class F>
using Return = typename Signature<F>::Return;

// A kind as the marshalling and the checks take it: byte buffers in one form.
template <class K>
struct Canonical {
    using type = K;
};
template <int S>
struct Canonical<BytesIn<S>> {
    using type = BytesOf<Access::Reads, S, -1>;
};
template <int S>
struct Canonical<BytesOut<S>> {
    using type = BytesOf<Access::Writes, S, -1>;
};
template <class K>
struct Canonical<OrNull<K>> {
    using type = OrNull<typename Canonical<K>::type>;
};

template <class R>
struct ResultOf {
    using type = R;
    static constexpr bool kReenters = false;
};
template <class R>
struct ResultOf<Reenters<R>> {
    using type = R;
    static constexpr bool kReenters = true;
};

// One described function: `CFunction` is its declaration, `Service` its code.
template <auto& CFunction, auto& Service, class ResultKind, class... Kinds>
struct Described {
    using Function = std::remove_reference_t<decltype(CFunction)>;
    using Result = typename ResultOf<ResultKind>::type;
    using Parameters = std::tuple<typename Canonical<Kinds>::type...>;
    static constexpr bool kReenters = ResultOf<ResultKind>::kReenters;
    static constexpr std::size_t kArity = Signature<Function>::kArity;
    static constexpr auto& service = Service;
    static_assert(sizeof...(Kinds) == kArity, "one kind for each parameter");
    static_assert(std::is_same_v<decltype(Service), decltype(CFunction)>, "the service takes the C signature");
};

}  // namespace sim::call

namespace sim::described {
using namespace sim::call;
#define PLATFORM_FUNCTION(name, result, ...)                                     \
    struct name : Described<::name, ::sim::service::name, result, __VA_ARGS__> { \
        static constexpr const char* kName = #name;                              \
    };
#define PLATFORM_FUNCTION_OF_C_LIBRARY(name, result, ...)          \
    struct name : Described<::name, ::name, result, __VA_ARGS__> { \
        static constexpr const char* kName = #name;                \
    };
#include "platform_functions.def"
#undef PLATFORM_FUNCTION
#undef PLATFORM_FUNCTION_OF_C_LIBRARY
}  // namespace sim::described
