#pragma once
// What a user waits for, as operations that the benchmarks time and the instruction counts
// measure alike: each prepares a phone, then does one thing.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "phone.hpp"

namespace bench {

// The phone's module built for this computer, or its own ARM module on the emulated CPU.
enum class ModuleKind { Host, Arm };

// A phone in a temporary folder whose record file holds `records` records of 50 bytes, removed
// with its folder at the end, with the application's module or another one loaded.
class BenchPhone {
public:
    explicit BenchPhone(int records, ModuleKind kind = ModuleKind::Host);
    BenchPhone(int records, const std::filesystem::path& module, sim::Limits limits = {});
    ~BenchPhone();
    BenchPhone(const BenchPhone&) = delete;
    BenchPhone& operator=(const BenchPhone&) = delete;
    sim::Phone& operator*() { return *phone_; }
    std::uintmax_t fileSize() const;

private:
    std::filesystem::path root_;
    std::unique_ptr<sim::Phone> phone_;
};

struct Operation {
    std::string name;         // as the command line and the table name it
    std::string description;  // what the user does
    int records;              // in the file before it
    bool changes;             // it changes the file or the state: each run needs a fresh phone
    std::function<void(sim::Phone&)> prepare;
    std::function<void(sim::Phone&)> measure;
};

const std::vector<Operation>& operations();
const Operation* findOperation(const std::string& name);

}  // namespace bench
