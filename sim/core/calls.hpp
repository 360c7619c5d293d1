#pragma once
// What every call of a platform function goes through, whichever kind of module makes it: the
// checks of what the module hands over, the service code, and the call trace. The kinds of its
// parameters and result (described.hpp) decide each step.
#include <array>
#include <cstdint>
#include <tuple>
#include <utility>

#include "call_reach.hpp"
#include "call_shown.hpp"

namespace sim::call {

// What a failed call returns: the kind of result says.
template <class D, class V>
Return<typename D::Function> failedResult(const V& values) {
    using R = typename D::Result;
    using T = Return<typename D::Function>;
    if constexpr (std::is_void_v<T>)
        return;
    else if constexpr (SameAsIndex<R>::value >= 0)
        return std::get<SameAsIndex<R>::value>(values);
    else if constexpr (std::is_pointer_v<T>)
        return nullptr;
    else
        return static_cast<T>(FailedValue<R>::value);
}

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
    // Once the power has gone, the phone does nothing: the call fails and changes nothing.
    if (phone.poweredOff()) return failedResult<D>(values);
    CallTrace& trace = phone.calls();
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
