#pragma once
#include <cstdint>
#include <functional>
#include <utility>

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

    // Called with the call's number (from 1) each time a call is made to fail, before the
    // failure takes effect: a user sees which call a fault option hit.
    void whenFired(std::function<void(std::uint32_t call)> fired) { fired_ = std::move(fired); }

    // Counts one call; true when this call must fail.
    bool nextCallFails() {
        const bool fails = decide();
        failed_ += fails;
        if (fails && fired_) fired_(calls_);
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
    std::function<void(std::uint32_t)> fired_;
};

}  // namespace sim
