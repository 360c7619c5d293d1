// Benchmarks of what a user waits for: a full repaint of the list screen, a move of the
// menu's highlight, a move of the selection, and a record added and deleted again.
// Counters report the file opens and the peak memory of one operation.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "phone.hpp"

namespace {

// A phone with the application booted on a file of `records` records of 40 bytes.
class BootedPhone {
public:
    explicit BootedPhone(int records) {
        std::string pattern = (std::filesystem::temp_directory_path() / "nuv-oka-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        root_ = pattern;
        std::filesystem::create_directories(root_ / "elf");
        std::ofstream file(root_ / "elf" / "BlackList.txt", std::ios::binary);
        for (int i = 0; i < records; ++i)
            file << (i ? "\r\n" : "") << "+7900" << 1000000 + i << " record number " << i << " ok";
        file.close();
        phone_ = std::make_unique<sim::Phone>(sim::PhoneOptions{root_, LANGUAGE_RUSSIAN});
        if (!phone_->boot(NUV_MODULE_PATH)) std::abort();
    }
    ~BootedPhone() {
        phone_.reset();
        std::filesystem::remove_all(root_);
    }
    sim::Phone& operator*() { return *phone_; }

private:
    std::filesystem::path root_;
    std::unique_ptr<sim::Phone> phone_;
};

void reportPerIteration(benchmark::State& state, sim::Phone& phone, std::uint32_t opensBefore) {
    const auto opens = phone.files.faults(sim::FileOp::Open).calls() - opensBefore;
    state.counters["file_opens_per_op"] = static_cast<double>(opens) / static_cast<double>(state.iterations());
    state.counters["peak_bytes"] = static_cast<double>(phone.memory.peakBytes());
}

void FullRepaint(benchmark::State& state) {
    BootedPhone booted(static_cast<int>(state.range(0)));
    sim::Phone& phone = *booted;
    phone.memory.resetPeak();
    const auto opens = phone.files.faults(sim::FileOp::Open).calls();
    for (auto _ : state) phone.tick();
    reportPerIteration(state, phone, opens);
}
BENCHMARK(FullRepaint)->Arg(1)->Arg(40)->Arg(255)->Unit(benchmark::kMicrosecond);

void MenuHighlightMove(benchmark::State& state) {
    BootedPhone booted(255);
    sim::Phone& phone = *booted;
    phone.press(KEY_SOFT_LEFT);
    phone.memory.resetPeak();
    const auto opens = phone.files.faults(sim::FileOp::Open).calls();
    for (auto _ : state) phone.press(KEY_DOWN);
    reportPerIteration(state, phone, opens);
}
BENCHMARK(MenuHighlightMove)->Unit(benchmark::kMicrosecond);

void SelectionMove(benchmark::State& state) {
    BootedPhone booted(255);
    sim::Phone& phone = *booted;
    const auto opens = phone.files.faults(sim::FileOp::Open).calls();
    for (auto _ : state) phone.press(KEY_DOWN);
    reportPerIteration(state, phone, opens);
}
BENCHMARK(SelectionMove)->Unit(benchmark::kMicrosecond);

// Adds a record through the editor, then deletes it (it is selected after the add).
void AddThenDelete(benchmark::State& state) {
    BootedPhone booted(static_cast<int>(state.range(0)));
    sim::Phone& phone = *booted;
    phone.memory.resetPeak();
    const auto opens = phone.files.faults(sim::FileOp::Open).calls();
    for (auto _ : state) {
        phone.press(KEY_SOFT_LEFT);
        for (int i = 0; i < 2; ++i) phone.press(KEY_DOWN);
        phone.press(KEY_OK);
        phone.setEditorText(u"+79001234567 added");
        phone.press(KEY_OK);
        phone.press(KEY_SOFT_LEFT);
        phone.press(KEY_UP);
        phone.press(KEY_OK);
        phone.press(KEY_SOFT_LEFT);  // back to the first item for the next round
        phone.press(KEY_UP);
        phone.press(KEY_SOFT_LEFT);
    }
    reportPerIteration(state, phone, opens);
}
BENCHMARK(AddThenDelete)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
