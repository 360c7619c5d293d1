#include "emulation.hpp"

#include <cstdlib>

#include "application.hpp"

namespace bench {

namespace {

// The simulator's tiny misbehaving modules (tests/arm/), built beside the phone's module.
const std::filesystem::path kTestModules = std::filesystem::path(NUV_ARM_MODULE_PATH).parent_path() / "tests" / "arm";

// 300 actions a user makes: a move down the list, the menu opened and closed, a hundred times.
void session(sim::Phone& phone) {
    for (int i = 0; i < 100; ++i)
        for (std::uint8_t key : {KEY_DOWN, KEY_SOFT_LEFT, KEY_SOFT_LEFT}) phone.press(key);
}

std::unique_ptr<BenchPhone> started(ModuleKind kind) {
    auto phone = std::make_unique<BenchPhone>(255, kind);
    if (!(**phone).start(nuvoka::kAppPath)) std::abort();
    return phone;
}

// A start of a tiny module that must fail saying `expected`.
void failingStart(sim::Phone& phone, const char* appPath, const char* expected) {
    const auto started = phone.start(appPath);
    if (started || started.error().message.find(expected) == std::string::npos) std::abort();
}

}  // namespace

const std::vector<Measure>& emulationMeasures() {
    static const std::vector<Measure> table = {
        {"session-host",
         "300 actions (down, the menu opened and closed) on 255 records, the module built for this computer",
         [] { return started(ModuleKind::Host); }, session},
        {"session-arm", "the same 300 actions, the phone's own module on the emulated CPU",
         [] { return started(ModuleKind::Arm); }, session},
        {"endless-loop",
         "a module that loops for ever in Lib, stopped at the default budget of 200,000,000 instructions",
         [] { return std::make_unique<BenchPhone>(0, kTestModules / "calls.elf"); },
         [](sim::Phone& p) { failingStart(p, "/spin.elf", "did not return within 200000000 instructions"); }},
        {"zero-byte-blocks", "262,144 allocations of 0 bytes (as many blocks as the heap holds), on the emulated CPU",
         [] { return std::make_unique<BenchPhone>(0, kTestModules / "memory.elf"); },
         [](sim::Phone& p) { failingStart(p, "/blocks-0.elf", "returned 262144"); }},
    };
    return table;
}

}  // namespace bench
