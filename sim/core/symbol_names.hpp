#pragma once
// Names of a module's functions as a person reads them: a C++ symbol demangled
// ("_ZL9count_keyP13event_contextP12app_record_t" becomes "count_key(event_context*, app_record_t*)"),
// any other name as it is.
#include <string>
#include <string_view>

namespace sim {

std::string readableSymbol(std::string_view symbol);

}  // namespace sim
