// Which kind of module a file holds: the phone's own 32-bit ARM module runs on the emulated
// CPU; anything else goes to the host's dynamic loader.
#include "arm/arm_module.hpp"
#include "host/host_module.hpp"
#include "phone.hpp"

namespace sim {

Result<std::unique_ptr<Module>, LoadError> openModule(const std::filesystem::path& file, Phone& phone) {
    if (arm::ElfImage::isArm(file)) return arm::ArmModule::load(file, phone);
    return HostModule::open(file, phone.watchdog());
}

bool isPhoneModule(const std::filesystem::path& file) { return arm::ElfImage::isArm(file); }

}  // namespace sim
