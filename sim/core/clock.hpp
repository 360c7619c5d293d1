#pragma once
#include <chrono>

namespace sim {

// The phone's time since it was switched on. Nothing moves it but its owner: the window moves it
// with real time, a headless run only when a script says so, so that what depends on time (a
// multi-tapped letter taken after a second of rest) goes the same way in both and is tested
// without waiting.
class Clock {
public:
    using Duration = std::chrono::milliseconds;
    using Time = Duration;  // since the phone was switched on

    Time now() const { return now_; }
    void advance(Duration by) { now_ += by; }

private:
    Time now_{0};
};

}  // namespace sim
