#include "calls.hpp"

#include <cstdio>

#include "utf.hpp"

namespace sim::call {

namespace {

bool overlap(const Reach& a, const Reach& b) {
    const auto start = [](const Reach& r) { return reinterpret_cast<std::uintptr_t>(r.host); };
    return a.bytes && b.bytes && start(a) < start(b) + b.bytes && start(b) < start(a) + a.bytes;
}

std::string argument(std::size_t index) { return "its " + ordinal(index) + " argument"; }

// At most this many characters of a text in the trace.
constexpr std::size_t kMostShownUnits = 80;

void escapeInto(std::string& out, char32_t c) {
    char escaped[8];
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\r': out += "\\r"; return;
    case '\n': out += "\\n"; return;
    default: break;
    }
    if (c < 0x20 || c == 0x7F) {
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
        out += escaped;
        return;
    }
    out += utf8FromUtf16(std::u16string(1, static_cast<char16_t>(c)));
}

}  // namespace

std::span<const char* const> functionNames() {
    static const char* const kNames[] = {
#define PLATFORM_FUNCTION(name, ...) #name,
#define PLATFORM_FUNCTION_OF_C_LIBRARY PLATFORM_FUNCTION
#include "platform_functions.def"
#undef PLATFORM_FUNCTION
#undef PLATFORM_FUNCTION_OF_C_LIBRARY
    };
    return kNames;
}

std::string ordinal(std::size_t index) {
    static const char* const kOrdinals[] = {"first", "second",  "third",  "fourth", "fifth",
                                            "sixth", "seventh", "eighth", "ninth"};
    return index < std::size(kOrdinals) ? kOrdinals[index] : std::to_string(index + 1) + "th";
}

void checkNoOverlap(const char* function, std::span<const Reach> reaches) {
    for (std::size_t w = 0; w < reaches.size(); ++w) {
        if (reaches[w].role != Reach::Role::Writes) continue;
        for (std::size_t r = 0; r < reaches.size(); ++r) {
            if (reaches[r].role != Reach::Role::Reads || !overlap(reaches[w], reaches[r])) continue;
            throw Misdeed{std::string("handed ") + function + " overlapping arguments: what it writes (" + argument(w) +
                              ") overlaps what it reads (" + argument(r) + ")",
                          reinterpret_cast<std::uintptr_t>(reaches[w].host), static_cast<int>(w)};
        }
    }
}

std::size_t decimalUnits(std::int64_t number) {
    std::size_t units = number < 0 ? 2 : 1;
    for (std::uint64_t magnitude = number < 0 ? 0 - static_cast<std::uint64_t>(number) : number; magnitude >= 10;
         magnitude /= 10)
        ++units;
    return units;
}

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string address(std::uint64_t raw) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(raw));
    return text;
}

std::string quotedText(std::u16string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < kMostShownUnits; ++i) escapeInto(out, text[i]);
    return out + (text.size() > kMostShownUnits ? "\"..." : "\"");
}

std::string quotedBytes(std::string_view text) {
    std::u16string wide;
    for (unsigned char c : text.substr(0, kMostShownUnits + 1)) wide.push_back(c);
    return quotedText(wide);
}

std::string shownRecord(const ahi_point_t& p) {
    return std::string("{") + std::to_string(p.x) + "," + std::to_string(p.y) + "}";
}

std::string shownRecord(const ahi_rect_t& r) {
    return std::string("{") + std::to_string(r.x1) + "," + std::to_string(r.y1) + "," + std::to_string(r.x2) + "," +
           std::to_string(r.y2) + "}";
}

std::string shownRecord(const UINT32& word) { return hex(word); }
std::string shownRecord(const UINT16& half) { return std::to_string(half); }

}  // namespace sim::call
