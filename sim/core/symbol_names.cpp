#include "symbol_names.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace sim {

std::string readableSymbol(std::string_view symbol) {
    if (symbol.substr(0, 2) != "_Z") return std::string(symbol);
    const std::string mangled(symbol);
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status), &std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : mangled;
}

}  // namespace sim
