#pragma once
// A module file's SHA-256, by which a recording names the module it was made with.
#include <filesystem>
#include <string>

#include "result.hpp"

namespace runner {

// The file's SHA-256 in lower-case hexadecimal, or why it cannot be read.
sim::Result<std::string> sha256Of(const std::filesystem::path& file);

}  // namespace runner
