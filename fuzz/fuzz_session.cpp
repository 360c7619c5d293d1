// A record file and a session of keys, edits, calls and faults from the fuzzer's bytes: the first
// two bytes give the file's length, the file follows, then each byte is one step. Whatever comes,
// the application must not crash, fault, release a block it does not hold, write past a block's
// end, or hold a block or a file after a step.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "module_snapshot.hpp"
#include "phone.hpp"
#include "scratch_folder.hpp"
#include "application.hpp"

namespace {

const std::filesystem::path kRoot = scratchFolder("nuv-oka-fuzz");
const ModuleSnapshot kModule(NUV_MODULE_PATH);

constexpr std::uint8_t kKeys[] = {KEY_SOFT_LEFT, KEY_OK, KEY_SELECT, KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_END};

void check(bool ok) {
    if (!ok) std::abort();
}

// One step: a key, a text for an open editor, a tick, a call, or a fault some calls ahead.
void step(sim::Phone& phone, std::uint8_t byte, const std::uint8_t*& rest, const std::uint8_t* end) {
    switch (byte >> 5) {
    case 0:
    case 1:
    case 2: phone.press(kKeys[byte % std::size(kKeys)]); break;
    case 3: {
        std::u16string text;
        for (int i = 0; i < (byte & 31) && rest + 1 < end; ++i, rest += 2)
            text += static_cast<char16_t>(rest[0] | rest[1] << 8);
        phone.setEditorText(text);
        break;
    }
    case 4:
        // A tick, or an incoming call that comes or goes.
        if (byte & 16) {
            if (!phone.resume()) phone.interrupt();
        } else {
            phone.tick();
        }
        break;
    case 5: phone.memory().faults().failNth((byte & 7) + 1); break;
    case 6:
        phone.files().faults(static_cast<sim::FileOp>((byte >> 2) % sim::kFileOpCount)).failNth((byte & 3) + 1);
        break;
    default: phone.dialogs().creationFaults().failNth((byte & 3) + 1); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t fileBytes = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    std::filesystem::remove_all(kRoot);
    std::filesystem::create_directories(kRoot / "elf");
    std::ofstream(kRoot / "elf" / "BlackList.txt", std::ios::binary)
        .write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(fileBytes));
    kModule.restore();
    {
        sim::Phone phone(
            {kRoot, static_cast<std::uint8_t>(data[0] & 1 ? LANGUAGE_RUSSIAN : LANGUAGE_ENGLISH), nuvoka::typing()});
        check(static_cast<bool>(phone.boot(NUV_MODULE_PATH, nuvoka::kAppPath)));
        const std::uint8_t* rest = data + 2 + fileBytes;
        const std::uint8_t* end = data + size;
        while (rest < end && phone.lifecycle() == sim::Lifecycle::Running) {
            step(phone, *rest++, rest, end);
            check(phone.files().openHandles() == 0 && phone.memory().outstandingBlocks() == 0);
            check(phone.memory().badReleases() == 0 && phone.memory().overruns() == 0);
            check(phone.framework().fault().empty());
        }
    }
    std::filesystem::remove_all(kRoot);
    return 0;
}
