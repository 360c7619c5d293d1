#include "page_query.hpp"

#include <optional>
#include <string>

#include "options.hpp"

namespace web {

sim::Result<PageSettings> parseQuery(std::string_view query) {
    PageSettings settings;
    if (!query.empty() && query.front() == '?') query.remove_prefix(1);
    while (!query.empty()) {
        const std::string_view pair = query.substr(0, query.find('&'));
        query.remove_prefix(std::min(query.size(), pair.size() + 1));
        const auto equals = pair.find('=');
        const std::string_view key = pair.substr(0, equals);
        const std::string value(equals == std::string_view::npos ? "" : pair.substr(equals + 1));
        const auto bad = [&] { return sim::failure(std::string(key) + "=" + value + ": not a valid value"); };
        if (key == "lang") {
            const auto language = runner::parseLanguage(value);
            if (!language) return bad();
            settings.language = *language;
            continue;
        }
        // The runner's fault options without their dashes: fail-write=1, disk-limit=4096.
        for (const runner::FaultOption& fault : runner::faultOptions())
            if (key == std::string_view(fault.option).substr(2) && !settings.faults.set(fault, value)) return bad();
    }
    return settings;
}

}  // namespace web
