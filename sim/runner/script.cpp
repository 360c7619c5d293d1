#include "script.hpp"

#include <algorithm>
#include <charconv>
#include <istream>
#include <sstream>

#include "options.hpp"
#include "description.hpp"

namespace runner {

namespace {

constexpr const char* kBlanks = " \t\r";

constexpr KeyName kKeys[] = {
    {"soft-left", KEY_SOFT_LEFT},
    {"ok", KEY_OK},
    {"select", KEY_SELECT},
    {"end", KEY_END},
    {"up", KEY_UP},
    {"down", KEY_DOWN},
    {"left", KEY_LEFT},
    {"right", KEY_RIGHT},
    {"key-0", KEY_0},
    {"key-1", KEY_0 + 1},
    {"key-2", KEY_0 + 2},
    {"key-3", KEY_0 + 3},
    {"key-4", KEY_0 + 4},
    {"key-5", KEY_0 + 5},
    {"key-6", KEY_0 + 6},
    {"key-7", KEY_0 + 7},
    {"key-8", KEY_0 + 8},
    {"key-9", KEY_9},
    {"key-star", KEY_STAR},
    {"key-hash", KEY_HASH},
};

constexpr const char* kEnded = "ended";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kMostRepeats = 10000;

std::optional<int> parseNumber(const std::string& text, int least, int most) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < least || n > most)
        return std::nullopt;
    return n;
}

// The first word of `text` and the rest after the blanks that follow it.
std::pair<std::string, std::string> splitWord(const std::string& text) {
    const auto blank = text.find_first_of(kBlanks);
    if (blank == std::string::npos) return {text, {}};
    return {text.substr(0, blank), trim(text.substr(blank))};
}

// An action that takes nothing after its verb.
template <class A>
sim::Result<A> alone(std::string_view verb, const std::string& rest) {
    if (rest.empty()) return A{};
    return sim::failure(std::string(verb) + " takes nothing after it, not \"" + rest + "\"");
}

// Each alternative of Action in turn, until one of its forms has the line's verb.
template <std::size_t I = 0>
std::optional<sim::Result<Action>> parseAs(std::string_view verb, const std::string& rest, const std::string& line) {
    if constexpr (I == std::variant_size_v<Action>) {
        return std::nullopt;
    } else {
        using A = std::variant_alternative_t<I, Action>;
        for (const ActionForm& form : A::kForms)
            if (verb == form.verb) return A::parse(verb, rest, line).map([](A a) { return Action(std::move(a)); });
        return parseAs<I + 1>(verb, rest, line);
    }
}

template <class A>
void addForms(std::vector<ActionForm>& forms) {
    forms.insert(forms.end(), std::begin(A::kForms), std::end(A::kForms));
}

template <class... A>
std::vector<ActionForm> formsOf(std::variant<A...>*) {
    std::vector<ActionForm> forms;
    (addForms<A>(forms), ...);
    return forms;
}

sim::Result<Action> parseAction(const std::string& line) {
    auto [verb, rest] = splitWord(line);
    // "expect" and its second word name the action.
    if (verb == "expect") {
        auto [what, argument] = splitWord(rest);
        if (auto parsed = parseAs(verb + " " + what, argument, line)) return std::move(*parsed);
        std::string kinds;
        for (const ActionForm& form : actionForms())
            if (std::string_view(form.verb).rfind("expect ", 0) == 0)
                kinds += (kinds.empty() ? "" : ", ") + std::string(form.verb + 7);
        const auto last = kinds.rfind(", ");
        if (last != std::string::npos) kinds.replace(last, 2, " or ");
        return sim::failure("expect takes " + kinds + ", not \"" + what + "\"");
    }
    if (auto parsed = parseAs(verb, rest, line)) return std::move(*parsed);
    return sim::failure("unknown action");
}

}  // namespace

std::vector<ActionForm> actionForms() { return formsOf(static_cast<Action*>(nullptr)); }

sim::Result<Press> Press::parse(std::string_view, const std::string& rest, const std::string&) {
    const auto [name, count] = splitWord(rest);
    const auto key = parseKey(name);
    const auto times = count.empty() ? std::optional<int>(1) : parseNumber(count, 1, kMostRepeats);
    if (key && times) return Press{*key, *times};
    if (!key) return sim::failure("press takes a key name (see --help) or a code from 0 to 255, not \"" + name + "\"");
    return sim::failure("press repeats a key from 1 to " + std::to_string(kMostRepeats) + " times, not \"" + count +
                        "\"");
}

sim::Result<Tick> Tick::parse(std::string_view verb, const std::string& rest, const std::string&) {
    return alone<Tick>(verb, rest);
}
sim::Result<Back> Back::parse(std::string_view verb, const std::string& rest, const std::string&) {
    return alone<Back>(verb, rest);
}
sim::Result<Interrupt> Interrupt::parse(std::string_view verb, const std::string& rest, const std::string&) {
    return alone<Interrupt>(verb, rest);
}
sim::Result<Resume> Resume::parse(std::string_view verb, const std::string& rest, const std::string&) {
    return alone<Resume>(verb, rest);
}

sim::Result<Text> Text::parse(std::string_view, const std::string&, const std::string& line) {
    // Everything after the first blank is the text, blanks at either end included.
    const auto blank = line.find_first_of(kBlanks);
    bool valid = true;
    std::u16string text = utf16FromUtf8(blank == std::string::npos ? std::string() : line.substr(blank + 1), valid);
    if (valid) return Text{std::move(text)};
    return sim::failure("the text is not valid UTF-8");
}

sim::Result<Shot> Shot::parse(std::string_view, const std::string& rest, const std::string&) {
    if (!rest.empty()) return Shot{rest};
    return sim::failure("shot takes a file name");
}

sim::Result<ExpectState> ExpectState::parse(std::string_view, const std::string& argument, const std::string&) {
    // A name is looked up in the module's description when the line runs: the script's own
    // options may name the module.
    std::uint32_t id = 0;
    const auto [end, ec] = std::from_chars(argument.data(), argument.data() + argument.size(), id);
    if (!argument.empty() && ec == std::errc() && end == argument.data() + argument.size())
        return ExpectState{argument, id};
    if (isStateName(argument)) return ExpectState{argument, std::nullopt};
    return sim::failure("expect state takes the module's state number, its name or ended, not \"" + argument + "\"");
}

sim::Result<ExpectScreen> ExpectScreen::parse(std::string_view, const std::string& argument, const std::string&) {
    if (!argument.empty()) return ExpectScreen{argument};
    return sim::failure("expect screen takes a PNG file");
}

sim::Result<ExpectFile> ExpectFile::parse(std::string_view, const std::string& argument, const std::string&) {
    const auto [phonePath, hostFile] = splitWord(argument);
    if (!hostFile.empty()) return ExpectFile{phonePath, hostFile};
    return sim::failure("expect file takes the phone's path and a host file");
}

sim::Result<ExpectBudget> ExpectBudget::parse(std::string_view verb, const std::string& argument, const std::string&) {
    const Measure measure = verb == "expect heap"           ? Measure::Heap
                            : verb == "expect open-files" ? Measure::OpenFiles
                                                          : Measure::Instructions;
    std::uint64_t most = 0;
    const auto [end, ec] = std::from_chars(argument.data(), argument.data() + argument.size(), most);
    if (!argument.empty() && ec == std::errc() && end == argument.data() + argument.size())
        return ExpectBudget{measure, most};
    return sim::failure(std::string(verb) + " takes a whole number, not \"" + argument + "\"");
}

sim::Result<Restart> Restart::parse(std::string_view, const std::string& rest, const std::string&) {
    if (rest.empty()) return Restart{};
    if (const auto language = parseLanguage(rest)) return Restart{language};
    return sim::failure("restart takes ru, en or a language number, not \"" + rest + "\"");
}

sim::Result<Wait> Wait::parse(std::string_view, const std::string& rest, const std::string&) {
    if (const auto time = parseNumber(rest, 0, Defaults::longestWait)) return Wait{std::chrono::milliseconds(*time)};
    return sim::failure("wait takes milliseconds from 0 to " + std::to_string(Defaults::longestWait) + ", not \"" +
                        rest + "\"");
}

sim::Result<SetOptions> SetOptions::parse(std::string_view, const std::string& rest, const std::string&) {
    std::vector<std::string> args;
    for (std::string left = rest; !left.empty();) {
        auto [word, after] = splitWord(left);
        args.push_back(std::move(word));
        left = std::move(after);
    }
    if (!args.empty()) return SetOptions{std::move(args)};
    return sim::failure("options takes the options that shape the run, such as --lang en");
}

sim::Result<Put> Put::parse(std::string_view, const std::string& rest, const std::string&) {
    const auto [phonePath, encoded] = splitWord(rest);
    auto bytes = fromBase64(encoded);
    if (!phonePath.empty() && bytes) return Put{phonePath, std::move(*bytes)};
    if (phonePath.empty()) return sim::failure("put takes the phone's path and the file's bytes in base64");
    return sim::failure("put takes the file's bytes in base64, not \"" + encoded + "\"");
}

bool startsTheRun(const Action& action) {
    return std::visit([](const auto& a) { return std::decay_t<decltype(a)>::kRules.startsTheRun; }, action);
}

namespace {
constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

std::string base64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kBase64[group >> (18 - 6 * k) & 63] : '=';
    }
    return out;
}

std::optional<std::string> fromBase64(std::string_view text) {
    if (text.size() % 4) return std::nullopt;
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    std::string out;
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto at = i >= text.size() - padding ? 0 : kBase64.find(text[i]);
        if (at == std::string_view::npos) return std::nullopt;
        group = group << 6 | static_cast<std::uint32_t>(at);
        if (i % 4 != 3) continue;
        for (int k = 0; k < 3; ++k) out += static_cast<char>(group >> (16 - 8 * k) & 0xFF);
        group = 0;
    }
    out.resize(out.size() - padding);
    return out;
}

std::span<const KeyName> keyNames() { return kKeys; }

std::optional<std::uint8_t> parseKey(const std::string& name) {
    for (const auto& k : kKeys)
        if (name == k.name) return k.code;
    unsigned code = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), code);
    if (name.empty() || ec != std::errc() || end != name.data() + name.size() || code > 255) return std::nullopt;
    return static_cast<std::uint8_t>(code);
}

std::string keyName(std::uint8_t code) {
    for (const auto& k : kKeys)
        if (code == k.code) return k.name;
    return std::to_string(code);
}

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

std::string stateName(std::uint32_t id, const ModuleDescription& description) {
    return description.nameOf(id).value_or(std::to_string(id));
}

std::string stateName(const sim::Phone& phone, const ModuleDescription& description) {
    switch (phone.lifecycle()) {
    case sim::Lifecycle::NotStarted: return "not started";
    case sim::Lifecycle::Ended: return kEnded;
    case sim::Lifecycle::Running: break;
    }
    return stateName(phone.stateId(), description);
}

std::string excerpt(std::string_view text, std::size_t most) {
    std::size_t end = std::min(text.size(), most);
    while (end < text.size() && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    std::string out;
    for (unsigned char c : text.substr(0, end)) {
        if (c < 0x20 || c == 0x7F) {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            out += {'\\', 'x', kDigits[c >> 4], kDigits[c & 15]};
        } else {
            out += static_cast<char>(c);
        }
    }
    if (end < text.size()) out += "... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

bool skipped(const std::string& raw) {
    std::string line = trim(raw);
    if (line.rfind(kByteOrderMark, 0) == 0) line = trim(line.substr(kByteOrderMark.size()));
    return line.empty() || line[0] == '#';
}

sim::Result<std::optional<ScriptLine>> parseLine(const std::string& raw, int number) {
    if (skipped(raw)) return std::nullopt;
    std::string line = raw;
    if (line.back() == '\r') line.pop_back();  // a script saved with CR LF
    // A script saved by an editor that marks UTF-8 with a byte order mark.
    if (number == 1 && line.rfind(kByteOrderMark, 0) == 0) line.erase(0, kByteOrderMark.size());
    line.erase(0, line.find_first_not_of(kBlanks));
    auto action = parseAction(line);
    if (!action)
        return sim::failure("script line " + std::to_string(number) + ": " + excerpt(action.error().message, 240) +
                            ": " + excerpt(trim(line)));
    return ScriptLine{number, trim(line), std::move(*action)};
}

sim::Result<std::vector<ScriptLine>> parseScript(std::istream& in) {
    std::vector<ScriptLine> lines;
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        auto parsed = parseLine(raw, number);
        if (!parsed) return tl::unexpected(std::move(parsed.error()));
        if (*parsed) lines.push_back(std::move(**parsed));
    }
    return lines;
}

std::string scriptHelp() {
    std::ostringstream out;
    out << "Script actions, one a line (a line starting with # is a comment):\n";
    for (const ActionForm& form : actionForms()) {
        std::string help = form.help;
        for (std::size_t at = 0; (at = help.find('\n', at)) != std::string::npos; at += 28) help.insert(at + 1, 27, ' ');
        out << "  " << form.syntax << std::string(std::max<std::size_t>(1, 25 - std::string(form.syntax).size()), ' ')
            << help << "\n";
    }
    out << "Keys, with their codes:\n ";
    int column = 1;
    for (const auto& k : kKeys) {
        const std::string key = std::string(" ") + k.name + " " + std::to_string(k.code);
        if (column + key.size() > 96) out << "\n ", column = 1;
        out << key;
        column += static_cast<int>(key.size());
    }
    out << "\n  or a code from 0 to 255.\n"
           "Exit statuses:\n";
    for (const sim::ExitStatusMeaning& s : sim::kExitStatuses)
        out << "  " << sim::exitCode(s.status) << "  " << s.meaning << "\n";
    out << "With --script - each line is answered on standard output once it is done: ok, or error: and\n"
           "why; a bad line or a failed expect is skipped, and the status at the end is 1 when an expect\n"
           "failed, else 2 when a line was bad.\n";
    return out.str();
}

}  // namespace runner
