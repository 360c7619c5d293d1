#pragma once
// A platform function as a module built for this computer calls it: its arguments are host
// values, checked as far as the host can check them (no null where the function needs memory, no
// text copied onto itself), traced, and handed to the service code. No exception leaves it.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <type_traits>

#include "calls.hpp"
#include "phone.hpp"

namespace sim::call {

// Ends the run as the module's fault: the framework is halted with a report naming what the
// module did, where it called from, and the function (with no phone running it is only said).
void reportHostMisdeed(const char* function, const Misdeed& misdeed, const void* caller);

template <class D, class V, std::size_t... I>
void checkNulls(const V& values, std::index_sequence<I...>) {
    const auto one = [&](auto kind, const auto& value, std::size_t index) {
        using K = typename decltype(kind)::type;
        if constexpr (Reaches<K>::kPointer && !kNullable<K>)
            if (!value)
                throw Misdeed{
                    std::string("handed ") + D::kName + " a null pointer as its " + ordinal(index) + " argument", 0,
                    static_cast<int>(index)};
    };
    (one(std::type_identity<std::tuple_element_t<I, typename D::Parameters>>{}, std::get<I>(values), I), ...);
}

template <class T>
std::uint64_t rawOf(T value) {
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<std::uintptr_t>(value);
    else
        return static_cast<std::uint64_t>(value);
}

// The call of `D` with `args`, made by the module's code at `caller`.
template <class D, class... A>
Return<typename D::Function> onHost(const void* caller, A... args) {
    const std::tuple<A...> values{args...};
    try {
        checkNulls<D>(values, std::index_sequence_for<A...>{});
        checkOverlap<D>(values);
        // A text function needs no phone; the others find out when they ask for it.
        Phone* phone = Phone::hasActive() ? &Phone::active() : nullptr;
        if (!phone) return std::apply(D::service, values);
        return perform<D>(*phone, values, {rawOf(args)...}, [](auto result) { return rawOf(result); });
    } catch (const Misdeed& misdeed) {
        reportHostMisdeed(D::kName, misdeed, caller);
        return failedResult<D>(values);
    } catch (const std::bad_alloc&) {
        // The simulator ran out of memory: the call fails, as the platform reports a failure.
        return failedResult<D>(values);
    } catch (const NoPhoneRunning& e) {
        std::fprintf(stderr, "nuv-oka-sim: %s: %s\n", D::kName, e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nuv-oka-sim: %s failed inside the simulator: %s\n", D::kName, e.what());
    } catch (...) {
        std::fprintf(stderr, "nuv-oka-sim: %s failed inside the simulator\n", D::kName);
    }
    // Nothing may cross into the module, which knows no exceptions: the call fails.
    return failedResult<D>(values);
}

}  // namespace sim::call
