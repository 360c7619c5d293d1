#pragma once
// Which module runs when the command line names none, and what a module is called on the phone
// and in the simulator's own labels. The build names the default modules; everything else comes
// from the module file itself.
#include <filesystem>
#include <string>

namespace runner {

// The build's default module beside the running program (or in the current folder when the
// program cannot tell where it lies).
std::filesystem::path moduleBesideThisProgram();
// The phone's own module of the same build, which --arm runs.
std::filesystem::path phoneModuleOfThisBuild();

// The module's file on the phone unless --app says otherwise: /elf/NAME.elf for DIR/NAME.so or
// DIR/NAME.elf.
std::string defaultAppPath(const std::filesystem::path& module);

// A name for the module in labels and file names until it registers one: its file's name without
// the ending.
std::string moduleFileName(const std::filesystem::path& module);

}  // namespace runner
