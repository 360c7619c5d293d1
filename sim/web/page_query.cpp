#include "page_query.hpp"

#include <charconv>
#include <optional>
#include <string>

#include "options.hpp"

namespace web {

namespace {

using runner::FaultOptions;

struct Count {
    const char* name;
    std::optional<std::uint32_t> FaultOptions::*count;
};

constexpr Count kCounts[] = {
    {"fail-alloc", &FaultOptions::alloc},
    {"fail-open", &FaultOptions::open},
    {"fail-read", &FaultOptions::read},
    {"fail-write", &FaultOptions::write},
    {"fail-rename", &FaultOptions::rename},
    {"fail-close", &FaultOptions::close},
    {"fail-size", &FaultOptions::size},
    {"fail-dialog", &FaultOptions::dialog},
    {"power-loss-at-write", &FaultOptions::powerLossAtWrite},
};

template <class T>
std::optional<T> number(std::string_view text, T lowest) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest) return std::nullopt;
    return value;
}

}  // namespace

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
        if (key == "disk-limit") {
            settings.faults.diskLimit = number<std::uint64_t>(value, 0);
            if (!settings.faults.diskLimit) return bad();
            continue;
        }
        for (const Count& count : kCounts) {
            if (key != count.name) continue;
            settings.faults.*count.count = number<std::uint32_t>(value, 1);
            if (!(settings.faults.*count.count)) return bad();
        }
    }
    return settings;
}

}  // namespace web
