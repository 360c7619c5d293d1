#include "loader.hpp"

namespace sim {

bool Loader::load(const std::filesystem::path& file, Phone& phone, LoadError& error) {
    module_.reset();
    unloadRequested_ = false;
    module_ = openModule(file, phone, error);
    return module_ != nullptr;
}

std::uint32_t Loader::callEntry(const std::string& appPath, std::uint32_t evcodeBase) {
    return module_ ? module_->callEntry(appPath, evcodeBase) : 1;
}

bool Loader::requestUnload(ModuleAddress codeStart) {
    if (!module_ || codeStart != module_->entry()) return false;
    unloadRequested_ = true;
    return true;
}

void Loader::unload() {
    module_.reset();
    unloadRequested_ = false;
}

}  // namespace sim
