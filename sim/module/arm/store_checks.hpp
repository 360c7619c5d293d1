#pragma once
// The emulator's check of every store for translated code, and its flushes of unmapped pages
// (store_checks.cpp).

namespace sim::arm {

// Whether the emulated CPUs' stores skip the emulator's search for translated code on the page
// they write: true with the Unicorn this was made for, while no CPU of the process has memory
// that the module may both write and run.
bool storesSkipCodeSearch();

// Held while a CPU has memory that its module may both write and run: every store then searches,
// so that code the module changes is translated anew.
class WritableCode {
public:
    WritableCode();
    ~WritableCode();
    WritableCode(const WritableCode&) = delete;
    WritableCode& operator=(const WritableCode&) = delete;
};

// Held while a CPU unmaps all its memory on this thread: the emulator flushes its whole TLB once
// at the end instead of each page as it goes.
class UnmappingAll {
public:
    UnmappingAll();
    ~UnmappingAll();
    UnmappingAll(const UnmappingAll&) = delete;
    UnmappingAll& operator=(const UnmappingAll&) = delete;
};

}  // namespace sim::arm
