// The platform's functions as a module built for this computer calls them: each is made from
// its description (platform_functions.def) and hands its arguments to the service code through
// the checks and the trace (host_calls.hpp). The C library's functions stay the C library's.
#include "host_calls.hpp"

namespace sim::call {

void reportHostMisdeed(const char* function, const Misdeed& misdeed, const void* caller) {
    if (!Phone::hasActive()) {
        // No phone runs to halt: the call fails, and the misdeed is said.
        std::fprintf(stderr, "nuv-oka-sim: a caller %s\n", misdeed.what.c_str());
        return;
    }
    Phone& phone = Phone::active();
    std::string report = "the application crashed: it " + misdeed.what + " (";
    if (const Module* module = phone.loader().module()) {
        const std::string place = module->nameOf(reinterpret_cast<ModuleAddress>(caller));
        if (!place.empty()) report += "called from " + place + ", ";
    }
    report += std::string("last platform call ") + function + ")";
    phone.framework().halt(report);
}

}  // namespace sim::call

// The parameters p0, p1, ... of a function F with `n` of them, and the arguments that pass them on.
#define NUV_COUNT(...) NUV_COUNT_(__VA_ARGS__, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define NUV_COUNT_(_1, _2, _3, _4, _5, _6, _7, _8, _9, N, ...) N
#define NUV_CAT(a, b) NUV_CAT_(a, b)
#define NUV_CAT_(a, b) a##b
#define NUV_P(F, i) ::sim::call::Param<F, i> p##i
#define NUV_PARAMS_1(F) NUV_P(F, 0)
#define NUV_PARAMS_2(F) NUV_PARAMS_1(F), NUV_P(F, 1)
#define NUV_PARAMS_3(F) NUV_PARAMS_2(F), NUV_P(F, 2)
#define NUV_PARAMS_4(F) NUV_PARAMS_3(F), NUV_P(F, 3)
#define NUV_PARAMS_5(F) NUV_PARAMS_4(F), NUV_P(F, 4)
#define NUV_PARAMS_6(F) NUV_PARAMS_5(F), NUV_P(F, 5)
#define NUV_PARAMS_7(F) NUV_PARAMS_6(F), NUV_P(F, 6)
#define NUV_PARAMS_8(F) NUV_PARAMS_7(F), NUV_P(F, 7)
#define NUV_PARAMS_9(F) NUV_PARAMS_8(F), NUV_P(F, 8)
#define NUV_ARGS_1 p0
#define NUV_ARGS_2 NUV_ARGS_1, p1
#define NUV_ARGS_3 NUV_ARGS_2, p2
#define NUV_ARGS_4 NUV_ARGS_3, p3
#define NUV_ARGS_5 NUV_ARGS_4, p4
#define NUV_ARGS_6 NUV_ARGS_5, p5
#define NUV_ARGS_7 NUV_ARGS_6, p6
#define NUV_ARGS_8 NUV_ARGS_7, p7
#define NUV_ARGS_9 NUV_ARGS_8, p8

#define PLATFORM_FUNCTION(name, result, ...)                                                            \
    PLATFORM_API ::sim::call::Return<decltype(::name)> name(                                            \
        NUV_CAT(NUV_PARAMS_, NUV_COUNT(__VA_ARGS__))(decltype(::name))) {                               \
        return ::sim::call::onHost<::sim::described::name>(__builtin_return_address(0),                 \
                                                           NUV_CAT(NUV_ARGS_, NUV_COUNT(__VA_ARGS__))); \
    }
#define PLATFORM_FUNCTION_OF_C_LIBRARY(...)
#include "platform_functions.def"
