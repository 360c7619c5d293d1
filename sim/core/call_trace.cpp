#include "call_trace.hpp"

#include <fnmatch.h>

#include <algorithm>

namespace sim {

void CallTrace::start(Sink sink, std::vector<std::string> patterns) {
    sink_ = std::move(sink);
    patterns_ = std::move(patterns);
    decided_.clear();
    depth_ = 0;
}

bool CallTrace::wants(const char* function) {
    if (!sink_) return false;
    const auto [known, added] = decided_.try_emplace(function, patterns_.empty());
    if (added && !patterns_.empty())
        known->second = std::any_of(patterns_.begin(), patterns_.end(),
                                    [&](const std::string& p) { return ::fnmatch(p.c_str(), function, 0) == 0; });
    return known->second;
}

void CallTrace::write(std::string_view line) const {
    if (!sink_) return;
    sink_(std::string(static_cast<std::size_t>(std::max(depth_, 0)) * 2, ' ') + std::string(line));
}

}  // namespace sim
