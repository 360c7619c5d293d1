#pragma once
// The page's settings from its URL's query, named as the runner's options are without their
// dashes: "lang=ru&fail-write=1&disk-limit=4096".
#include <cstdint>
#include <string_view>

#include "faults.hpp"
#include "result.hpp"

namespace web {

struct PageSettings {
    std::uint8_t language = sim::kDefaultLanguage;
    runner::FaultOptions faults;
};

// Keys the page itself reads ("file", the preset record file) are passed over; a fault or a
// language with a bad value is an error.
sim::Result<PageSettings> parseQuery(std::string_view query);

}  // namespace web
