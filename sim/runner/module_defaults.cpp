#include "module_defaults.hpp"

// The build says which modules are its own: NUV_DEFAULT_MODULE (a file name beside the program)
// and NUV_ARM_MODULE_PATH (the phone's module of the same sources).
#if !defined(NUV_DEFAULT_MODULE) || !defined(NUV_ARM_MODULE_PATH)
#error "the build names its default modules: NUV_DEFAULT_MODULE and NUV_ARM_MODULE_PATH"
#endif

namespace runner {

std::filesystem::path moduleBesideThisProgram() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::current_path() : self.parent_path()) / NUV_DEFAULT_MODULE;
}

std::filesystem::path phoneModuleOfThisBuild() { return NUV_ARM_MODULE_PATH; }

std::string moduleFileName(const std::filesystem::path& module) { return module.stem().string(); }

std::string defaultAppPath(const std::filesystem::path& module) { return "/elf/" + moduleFileName(module) + ".elf"; }

}  // namespace runner
