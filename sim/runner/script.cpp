#include "script.hpp"

#include <charconv>
#include <istream>
#include <ostream>

#include "png.hpp"

namespace runner {

namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

struct KeyName {
    const char* name;
    std::uint8_t code;
};
constexpr KeyName kKeys[] = {
    {"soft-left", KEY_SOFT_LEFT}, {"ok", KEY_OK},     {"select", KEY_SELECT}, {"end", KEY_END}, {"up", KEY_UP},
    {"down", KEY_DOWN},           {"left", KEY_LEFT}, {"right", KEY_RIGHT},
};

// The names scripts give the application's states; the framework knows only their ids.
struct StateName {
    const char* name;
    std::uint32_t id;
};
constexpr StateName kStates[] = {{"init", 1}, {"main", 2}, {"edit", 3}};
constexpr const char* kEnded = "ended";

std::optional<Action> parseAction(const std::string& line, std::string& why) {
    const auto blank = line.find_first_of(" \t");
    const std::string verb = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : trim(line.substr(blank + 1));
    if (verb == "press") {
        if (auto key = parseKey(rest)) return Press{*key};
        why = "press takes a key: soft-left, ok, select, end, up, down, left, right or a code from 0 to 255";
    } else if (verb == "tick" && rest.empty()) {
        return Tick{};
    } else if (verb == "text") {
        bool valid = true;
        // Everything after the first blank is the text, inner blanks included.
        std::u16string text = utf16FromUtf8(blank == std::string::npos ? std::string() : line.substr(blank + 1), valid);
        if (valid) return Text{std::move(text)};
        why = "the text is not valid UTF-8";
    } else if (verb == "back" && rest.empty()) {
        return Back{};
    } else if (verb == "shot" && !rest.empty()) {
        return Shot{rest};
    } else if (verb == "expect") {
        if (rest.rfind("state ", 0) == 0) {
            const std::string name = trim(rest.substr(6));
            if (name == kEnded) return ExpectState{name};
            for (const auto& s : kStates)
                if (name == s.name) return ExpectState{name};
        }
        why = "expect takes: state init|main|edit|ended";
    } else {
        why = "unknown action";
    }
    return std::nullopt;
}

bool needsRunningApp(const Action& action) {
    return !std::holds_alternative<Shot>(action) && !std::holds_alternative<ExpectState>(action);
}

}  // namespace

std::optional<std::uint8_t> parseKey(const std::string& name) {
    for (const auto& k : kKeys)
        if (name == k.name) return k.code;
    unsigned code = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), code);
    if (name.empty() || ec != std::errc() || end != name.data() + name.size() || code > 255) return std::nullopt;
    return static_cast<std::uint8_t>(code);
}

std::u16string utf16FromUtf8(const std::string& text, bool& valid) {
    std::u16string out;
    valid = true;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) + 1 > text.size()) {
            valid = false;
            return {};
        }
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                return {};
            }
            c = (c << 6) | (next & 0x3F);
        }
        const bool overlong = (extra == 1 && c < 0x80) || (extra == 2 && c < 0x800) || (extra == 3 && c < 0x10000);
        if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            valid = false;
            return {};
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string stateName(const sim::Phone& phone) {
    switch (phone.lifecycle()) {
    case sim::Lifecycle::NotStarted: return "not started";
    case sim::Lifecycle::Ended: return kEnded;
    case sim::Lifecycle::Running: break;
    }
    for (const auto& s : kStates)
        if (s.id == phone.stateId()) return s.name;
    return "state " + std::to_string(phone.stateId());
}

std::variant<std::vector<ScriptLine>, ScriptError> parseScript(std::istream& in) {
    std::vector<ScriptLine> lines;
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        std::string why;
        auto action = parseAction(line, why);
        if (!action) return ScriptError{"script line " + std::to_string(number) + ": " + why + ": " + line};
        lines.push_back({number, line, std::move(*action)});
    }
    return lines;
}

int runScript(sim::Phone& phone, const std::vector<ScriptLine>& lines, std::ostream& err) {
    for (const ScriptLine& line : lines) {
        const std::string where = "script line " + std::to_string(line.number) + " (" + line.text + "): ";
        if (phone.lifecycle() == sim::Lifecycle::Ended && needsRunningApp(line.action)) {
            err << "nuv-oka-sim: " << where << "the application has ended\n";
            return 2;
        }
        const bool needsEditor = std::holds_alternative<Text>(line.action) || std::holds_alternative<Back>(line.action);
        if (needsEditor && !phone.editorOpen()) {
            err << "nuv-oka-sim: " << where << "no character editor is open\n";
            return 2;
        }
        if (const auto* press = std::get_if<Press>(&line.action)) {
            phone.press(press->key);
        } else if (std::holds_alternative<Tick>(line.action)) {
            phone.tick();
        } else if (const auto* text = std::get_if<Text>(&line.action)) {
            phone.setEditorText(text->text);
        } else if (std::holds_alternative<Back>(line.action)) {
            phone.editorBack();
        } else if (const auto* shot = std::get_if<Shot>(&line.action)) {
            std::string error;
            if (!sim::writePng(phone.screen(), shot->file, error)) {
                err << "nuv-oka-sim: " << where << error << "\n";
                return 2;
            }
        } else if (const auto* expect = std::get_if<ExpectState>(&line.action)) {
            if (stateName(phone) != expect->state) {
                err << "nuv-oka-sim: " << where << "expected state " << expect->state << ", found " << stateName(phone)
                    << "\n";
                return 1;
            }
        }
        if (!phone.framework.fault().empty()) {
            err << "nuv-oka-sim: " << where << phone.framework.fault() << "\n";
            return 4;
        }
    }
    return 0;
}

}  // namespace runner
