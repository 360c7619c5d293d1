#include "loader.hpp"

namespace sim {

Result<void, LoadError> Loader::load(const std::filesystem::path& file, Phone& phone) {
    module_.reset();
    unloadRequested_ = false;
    auto opened = openModule(file, phone);
    if (!opened) return tl::unexpected(std::move(opened.error()));
    module_ = std::move(*opened);
    return {};
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
