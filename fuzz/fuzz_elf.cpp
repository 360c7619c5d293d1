// Module files from the fuzzer's bytes: the loader reads them, places and relocates what it
// accepts, and a phone loads and starts each module that relocates on the emulated CPU with a small budget of
// instructions. Whatever comes, the simulator must neither crash nor touch memory it does not own,
// and the phone's verdict must be one it documents.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "arm/elf_image.hpp"
#include "arm/platform_calls.hpp"
#include "phone.hpp"
#include "scratch_folder.hpp"

namespace {

const std::filesystem::path kRoot = scratchFolder("nuv-oka-fuzz-elf");

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> bytes(size);
    if (size) std::memcpy(bytes.data(), data, size);
    auto image = sim::arm::ElfImage::parse(std::move(bytes));
    if (!image) return 0;
    check(image->imageBytes() <= sim::arm::ElfImage::kMostImageBytes && image->entry() < image->imageBytes());
    std::vector<std::byte> placed(image->imageBytes());
    image->place(placed);
    const auto relocated = image->relocate(placed, sim::arm::kImageBase, [](const std::string& name) {
        check(name.size() <= sim::arm::ElfImage::kMostNameBytes);
        return sim::arm::findPlatformFunction(name) ? std::optional<sim::arm::Address>(0xF0000001) : std::nullopt;
    });
    if (!relocated) {
        // The phone's loader reads and relocates the same way and would refuse it with this
        // message: no phone is made for it.
        check(relocated.error().message.size() < 8 * 300);
        return 0;
    }

    // The whole load and start, as the runner does it.
    std::filesystem::remove_all(kRoot);
    std::filesystem::create_directories(kRoot / "elf");
    const auto file = kRoot / "module.elf";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    {
        sim::Phone phone(
            {kRoot, LANGUAGE_ENGLISH, nullptr, {.instructions = 1'000'000, .callTime = std::chrono::seconds(2)}});
        const auto booted = phone.boot(file, "/elf/module.elf");
        if (booted)
            phone.press(KEY_DOWN);
        else
            check(booted.error().message.size() <=
                  sim::Framework::kMostFaultBytes + 200 + file.string().size() + 8 * 300);
    }
    std::filesystem::remove_all(kRoot);
    return 0;
}
