// Which kind of module a file holds.
#include "host/host_module.hpp"

namespace sim {

std::unique_ptr<Module> openModule(const std::filesystem::path& file, Phone&, LoadError& error) {
    return HostModule::open(file, error);
}

}  // namespace sim
