#pragma once
// The one application the simulator runs, as far as the simulator knows it: its name, its module
// and file, the names of its states, and how it reads typed text. The simulated phone knows none
// of this; the runner hands it in.
#include <cstdint>
#include <filesystem>
#include <span>

#include "editor.hpp"

namespace runner {

struct StateName {
    const char* name;
    std::uint32_t id;
};

struct Profile {
    const char* name;                   // the application's own name
    const char* moduleFile;             // its module built for this computer, beside the simulator
    const char* defaultAppPath;         // its file's path on the phone unless --app says otherwise
    std::span<const StateName> states;  // as scripts name them; the framework knows only their ids
    sim::TypingFilter typing;           // what the editor enters for a typed character
};

const Profile& application();

// The application's module beside the running program (or in the current folder when the
// program cannot tell where it lies).
std::filesystem::path moduleBesideThisProgram();
// The phone's own module of the same build (build-arm/nuv-oka.elf), which --arm runs.
std::filesystem::path phoneModuleOfThisBuild();

}  // namespace runner
