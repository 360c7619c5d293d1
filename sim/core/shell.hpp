#pragma once
// What every platform function does around its body: the module that calls it is built
// without exceptions, so none may leave it.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "phone.hpp"

namespace sim {

// Runs `body`. When the simulator runs out of host memory the call fails as the platform
// reports a failure, with `failed`; any other exception is a fault of the simulator
// itself, which ends the process with a message naming the function.
template <class Result, class Body>
Result guarded(const char* function, Result failed, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return failed;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nuv-oka-sim: %s failed inside the simulator: %s\n", function, e.what());
    } catch (...) {
        std::fprintf(stderr, "nuv-oka-sim: %s failed inside the simulator\n", function);
    }
    std::abort();
}

}  // namespace sim
