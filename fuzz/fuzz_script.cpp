// The runner's script parser on any text: it parses or names the bad line, never more.
#include <cstdint>
#include <sstream>
#include <string>

#include "script.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    (void)runner::parseScript(in);
    return 0;
}
