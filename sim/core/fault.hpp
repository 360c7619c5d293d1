#pragma once
#include <cstdint>

namespace sim {

// Decides whether the next call of one platform operation fails, so that tests can
// make any chosen call fail: "the 3rd call from now", "every call", or none.
class FaultPlan {
public:
    // n counts from 1, the next call; 0 fails nothing.
    void failNth(std::uint32_t n) {
        mode_ = n ? Mode::Nth : Mode::Never;
        countdown_ = n;
    }
    void failAlways() { mode_ = Mode::Always; }
    void clear() { mode_ = Mode::Never; }

    // Counts one call; true when this call must fail.
    bool nextCallFails() {
        const bool fails = decide();
        failed_ += fails;
        return fails;
    }
    std::uint32_t calls() const { return calls_; }
    // The calls made to fail so far.
    std::uint32_t failed() const { return failed_; }

private:
    bool decide() {
        ++calls_;
        switch (mode_) {
        case Mode::Never: return false;
        case Mode::Always: return true;
        case Mode::Nth:
            if (--countdown_ == 0) {
                mode_ = Mode::Never;
                return true;
            }
            return false;
        }
        return false;
    }

    enum class Mode { Never, Nth, Always };
    Mode mode_ = Mode::Never;
    std::uint32_t countdown_ = 0;
    std::uint32_t calls_ = 0, failed_ = 0;
};

}  // namespace sim
