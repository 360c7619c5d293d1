#include "description.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <istream>
#include <string_view>

namespace runner {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBlanks = " \t\r";
// A description is a few lines; a longer file is no description.
constexpr std::uintmax_t kMostBytes = 64 * 1024;
constexpr std::string_view kStatePrefix = "state.";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A module that reads U+0080 to U+00FF as the CP1251 bytes of the same value is handed "?" for a
// typed character that CP1251 holds at another place ("é" would be its "й"), as the phone's
// keypad could never give it; the rest are entered as they are.
char16_t typedAsCp1251Reads(char16_t c) {
    // CP1251's bytes from 0x80 that stand for the character of the same code.
    static constexpr std::u16string_view kSameInCp1251 =
        u"\u00A0\u00A4\u00A6\u00A7\u00A9\u00AB\u00AC\u00AD\u00AE\u00B0\u00B1\u00B5\u00B6\u00B7\u00BB";
    if (c < 0x80 || c > 0xFF || kSameInCp1251.find(c) != std::u16string_view::npos) return c;
    return u'?';
}

std::optional<std::uint32_t> stateNumber(std::string_view text) {
    std::uint32_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return n;
}

// One `key = value` line taken into `description`; what is wrong with it otherwise.
std::optional<std::string> take(std::string_view key, std::string_view value, ModuleDescription& description) {
    if (key == "typing") {
        if (value == "as-typed")
            description.typing = Typing::AsTyped;
        else if (value == "cp1251")
            description.typing = Typing::Cp1251;
        else
            return "typing takes as-typed or cp1251, not \"" + std::string(value) + "\"";
        return std::nullopt;
    }
    if (key.substr(0, kStatePrefix.size()) != kStatePrefix)
        return "the keys are state.N and typing, not \"" + std::string(key) + "\"";
    const auto id = stateNumber(key.substr(kStatePrefix.size()));
    if (!id) return "a state is named as state.N, N its number, not \"" + std::string(key) + "\"";
    const std::string name(value);
    if (!isStateName(name) || name == "ended")
        return "a state's name is letters, digits, - and _, not starting with a digit, and not ended: \"" + name + "\"";
    if (description.nameOf(*id)) return "state " + std::to_string(*id) + " is named twice";
    if (description.idOf(name)) return "two states are named " + name;
    description.states.push_back({name, *id});
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ModuleDescription::nameOf(std::uint32_t id) const {
    for (const StateName& s : states)
        if (s.id == id) return s.name;
    return std::nullopt;
}

std::optional<std::uint32_t> ModuleDescription::idOf(const std::string& name) const {
    for (const StateName& s : states)
        if (s.name == name) return s.id;
    return std::nullopt;
}

bool isStateName(const std::string& word) {
    const auto allowed = [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '_'; };
    return !word.empty() && !std::isdigit(static_cast<unsigned char>(word[0])) &&
           std::all_of(word.begin(), word.end(), allowed);
}

fs::path descriptionFileOf(const fs::path& module) { return fs::path(module).replace_extension(".desc"); }

sim::Result<ModuleDescription> parseDescription(std::istream& in, const std::string& source) {
    ModuleDescription description;
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        const std::string_view line = trimmed(raw);
        if (line.empty() || line[0] == '#') continue;
        const auto equals = line.find('=');
        const auto problem = equals == std::string_view::npos
                                 ? std::optional<std::string>("a line is key = value")
                                 : take(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)), description);
        if (problem) return sim::failure(source + " line " + std::to_string(number) + ": " + *problem);
    }
    return description;
}

sim::Result<ModuleDescription> readDescription(const fs::path& module) {
    const fs::path file = descriptionFileOf(module);
    std::error_code ec;
    const auto status = fs::status(file, ec);
    if (!fs::exists(status)) return ModuleDescription{};
    if (!fs::is_regular_file(status)) return sim::failure("the module's description " + file.string() + " is no file");
    if (fs::file_size(file, ec) > kMostBytes)
        return sim::failure("the module's description " + file.string() + " is larger than " +
                            std::to_string(kMostBytes) + " bytes");
    std::ifstream in(file);
    if (!in) return sim::failure("cannot read the module's description " + file.string());
    auto description = parseDescription(in, file.string());
    if (description) description->file = file;
    return description;
}

sim::TypingFilter typingFilter(Typing typing) { return typing == Typing::Cp1251 ? typedAsCp1251Reads : nullptr; }

}  // namespace runner
