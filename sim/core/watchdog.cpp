#include "watchdog.hpp"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace sim {

namespace {
// Whether a debugger (gdb on the simulator, for a host module) holds the process: a call stopped
// at its breakpoint is no call that does not return.
bool debugged() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("TracerPid:", 0) == 0) return std::stol(line.substr(10)) != 0;
    return false;
}

std::string duration(std::chrono::milliseconds ms) {
    return ms.count() % 1000 ? std::to_string(ms.count()) + " ms" : std::to_string(ms.count() / 1000) + " s";
}
}  // namespace

Watchdog::~Watchdog() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

Watchdog::Scope::Scope(Watchdog& watchdog, std::function<std::string()> what) {
    if (!what || watchdog.budget_.count() <= 0) return;
    armed_ = &watchdog;
    outermost_ = !watchdog.inside_;
    if (outermost_) {
        watchdog.inside_ = true;
        watchdog.arm(std::move(what));
    } else {
        outer_ = watchdog.tell(std::move(what));
    }
}

Watchdog::Scope::~Scope() {
    if (!armed_) return;
    if (!outermost_) {
        armed_->tell(std::move(outer_));
        return;
    }
    armed_->disarm();
    armed_->inside_ = false;
}

void Watchdog::arm(std::function<std::string()> what) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) thread_ = std::thread([this] { watch(); });
        what_ = std::move(what);
        armedAt_ = SteadyClock::now();
        wake = sleeping_;
    }
    if (wake) wake_.notify_one();
}

std::function<std::string()> Watchdog::tell(std::function<std::string()> what) {
    std::lock_guard lock(mutex_);
    std::swap(what, what_);
    return what;
}

void Watchdog::disarm() {
    std::lock_guard lock(mutex_);
    armedAt_.reset();
}

void Watchdog::watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!armedAt_) {
            sleeping_ = true;
            wake_.wait(lock, [this] { return stopping_ || armedAt_; });
            sleeping_ = false;
            continue;
        }
        // The grace leaves a check of the call's own (see Graphics) the time to say more.
        const SteadyClock::time_point deadline = *armedAt_ + budget_ + std::min(budget_, std::chrono::milliseconds(1000));
        if (SteadyClock::now() >= deadline) {
            if (!debugged()) bite();
            armedAt_ = SteadyClock::now();  // timed afresh once the debugger lets it go
            continue;
        }
        wake_.wait_until(lock, deadline);
    }
}

// With the lock held: the call cannot return, and be disarmed, while the message is written.
void Watchdog::bite() {
    const std::string report = "nuv-oka-sim: the application crashed: it spent more than " + duration(budget_) +
                               " in " + (what_ ? what_() : std::string("one call")) + "\n";
    // Straight to the file: the stream may be held by the thread that does not return.
    for (std::size_t done = 0; done < report.size();) {
        const ssize_t n = ::write(STDERR_FILENO, report.data() + done, report.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::_exit(kFaultStatus);
}

}  // namespace sim
