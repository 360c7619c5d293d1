#pragma once
// What the simulator knows of a module beyond what the module itself tells the platform: the
// names of its states and how it reads typed text. It lies in a small file beside the module
// (NAME.desc beside NAME.so and NAME.elf), read when present; without one, states are known by
// their numbers and typed text reaches the module as typed.
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "editor.hpp"
#include "result.hpp"

namespace runner {

// How the module reads the characters a person types into the character editor.
enum class Typing {
    AsTyped,  // each character as its 16-bit code
    Cp1251,   // U+0080 to U+00FF are read as the CP1251 bytes of the same value: see typingFilter
};

struct StateName {
    std::string name;
    std::uint32_t id;
};

struct ModuleDescription {
    std::vector<StateName> states;
    Typing typing = Typing::AsTyped;
    std::optional<std::filesystem::path> file;  // where it was read from; none when there is no file

    // The state's name, or none where the description names none.
    std::optional<std::string> nameOf(std::uint32_t id) const;
    std::optional<std::uint32_t> idOf(const std::string& name) const;
};

// The description file of a module: its name with the ending .desc.
std::filesystem::path descriptionFileOf(const std::filesystem::path& module);

// The description of lines `in`; a bad line is refused with its number (`source` names the file
// in the message).
sim::Result<ModuleDescription> parseDescription(std::istream& in, const std::string& source);
// The description beside `module`: an empty one when there is no file, an error when the file is
// there but cannot be read or is not a description.
sim::Result<ModuleDescription> readDescription(const std::filesystem::path& module);

// What the character editor enters for a typed character under a rule; none enters it as typed.
sim::TypingFilter typingFilter(Typing typing);

// A word that may name a state: letters, digits, '-' and '_', not starting with a digit.
bool isStateName(const std::string& word);

}  // namespace runner
