#include "linked_module.hpp"

#include <algorithm>
#include <vector>

#include "phone.hpp"

namespace sim {

std::unique_ptr<Module> LinkedModule::open(const LinkedApplication& application, Watchdog& watchdog) {
    static const std::vector<std::byte> initial(application.globals.begin(), application.globals.end());
    std::copy(initial.begin(), initial.end(), application.globals.begin());
    return std::make_unique<LinkedModule>(application.entry, watchdog);
}

std::uint32_t LinkedModule::callEntry(const std::string& appPath, std::uint32_t evcodeBase) {
    const Watchdog::Scope timed(watchdog_, [] { return std::string("its entry"); });
    return entry_(appPath.c_str(), nullptr, evcodeBase);
}

// Whatever file is named, the module is the one linked in.
Result<std::unique_ptr<Module>, LoadError> openModule(const std::filesystem::path&, Phone& phone) {
    return LinkedModule::open(linkedApplication(), phone.watchdog());
}

// The module linked in runs as this program: there is no phone module to load.
bool isPhoneModule(const std::filesystem::path&) { return false; }

}  // namespace sim
