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

Watchdog::Scope::Scope(Watchdog& watchdog, What what) : what_(std::move(what)) {
    if (!what_ || watchdog.budget_.count() <= 0) return;
    armed_ = &watchdog;
    outermost_ = !watchdog.inside_;
    if (outermost_) {
        watchdog.inside_ = true;
        watchdog.arm(&what_);
    } else {
        outer_ = watchdog.tell(&what_);
    }
}

Watchdog::Scope::~Scope() {
    if (!armed_) return;
    if (!outermost_) {
        armed_->tell(outer_);
        return;
    }
    armed_->disarm();
    armed_->inside_ = false;
}

// The atomics are sequentially consistent: the thread that arms and the one that watches each
// store, then load what the other stored, so one of them always sees the other's change.
void Watchdog::arm(const What* what) {
    told_.store(what);
    calls_.store(calls_.load(std::memory_order_relaxed) + 1);
    if (!watching_.load()) wakeWatcher();
}

const Watchdog::What* Watchdog::tell(const What* what) {
    const What* before = told_.exchange(what);
    holdIfBiting();
    return before;
}

void Watchdog::disarm() {
    calls_.store(calls_.load(std::memory_order_relaxed) + 1);
    holdIfBiting();
}

// The thread found this call late and holds the lock while it says what did not return, which
// must outlive the saying: the process ends before the lock is let go.
void Watchdog::holdIfBiting() {
    if (biting_.load()) const std::lock_guard lock(mutex_);
}

void Watchdog::wakeWatcher() {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) thread_ = std::thread([this] { watch(); });
        wakeAsked_ = true;
    }
    wake_.notify_one();
}

void Watchdog::watch() {
    using namespace std::chrono;
    // The call's own checks have a grace of as much again, at most a second, to say more first.
    const auto late = budget_ + std::min(budget_, milliseconds(1000));
    const auto look = std::clamp(duration_cast<milliseconds>(budget_ / 8), milliseconds(1), milliseconds(100));
    std::unique_lock lock(mutex_);
    watching_.store(true);
    std::uint64_t seen = calls_.load() + 1;  // no call yet
    SteadyClock::time_point seenAt = SteadyClock::now();
    while (!stopping_) {
        const std::uint64_t now = calls_.load();
        if (now != seen) {
            seen = now;
            seenAt = SteadyClock::now();
        } else if (now % 2 == 0 && SteadyClock::now() - seenAt >= seconds(1)) {
            if (!sleepUntilArmed(lock)) continue;
        } else if (now % 2 == 1 && SteadyClock::now() - seenAt >= late) {
            biting_.store(true);
            if (calls_.load() == seen && !debugged()) bite();
            biting_.store(false);
            seenAt = SteadyClock::now();  // timed afresh once the debugger lets it go
        }
        wake_.wait_for(lock, look, [this] { return stopping_; });
    }
}

// Nothing was armed for a while: the thread sleeps until an arming wakes it. False when a call
// was armed as it was going to sleep, so it keeps watching.
bool Watchdog::sleepUntilArmed(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t before = calls_.load();
    watching_.store(false);
    if (calls_.load() != before) {
        watching_.store(true);
        return false;
    }
    wake_.wait(lock, [this] { return stopping_ || wakeAsked_; });
    wakeAsked_ = false;
    watching_.store(true);
    return true;
}

// With the lock held: a call that returns now waits (holdIfBiting) while the message is written.
void Watchdog::bite() {
    const std::string report = "nuv-oka-sim: the application crashed: it spent more than " + duration(budget_) +
                               " in " + (told_.load() && *told_.load() ? (*told_.load())() : std::string("one call")) +
                               "\n";
    // Straight to the file: the stream may be held by the thread that does not return.
    for (std::size_t done = 0; done < report.size();) {
        const ssize_t n = ::write(STDERR_FILENO, report.data() + done, report.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::_exit(kFaultStatus);
}

}  // namespace sim
