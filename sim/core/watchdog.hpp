#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "exit_status.hpp"

namespace sim {

// Ends the process when one call takes longer than its time budget (given a grace of as much
// again, at most a second, for the call's own checks to stop it first): what cannot be stopped
// safely (a host module's code, a platform function without a check of its own) is ended by a
// thread of its own, which prints the fault on standard error and exits with kFaultStatus.
// A Scope arms it for as long as it lives; a scope inside it keeps the time running and only
// says what runs now (the handler inside the dispatcher, say). A budget of 0 arms nothing, and a
// process that a debugger holds is not timed.
//
// Arming is on the path of every platform call of an emulated module, so it takes no lock and
// reads no clock: it counts the call in an atomic word, and the thread looks at that word a few
// times in each budget; a call it finds armed and unchanged for longer than the budget and its
// grace does not return. The thread starts at the first arming and goes to sleep after a second
// without one; the arming that finds it asleep wakes it (under a lock).
class Watchdog {
public:
    static constexpr int kFaultStatus = exitCode(ExitStatus::Faulted);
    using What = std::function<std::string()>;

    explicit Watchdog(std::chrono::milliseconds budget) : budget_(budget) {}
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    std::chrono::milliseconds budget() const { return budget_; }

    class Scope {
    public:
        // `what` says what did not return ("its handler Tim"); it is asked only when the time is up.
        // An empty one arms nothing.
        Scope(Watchdog& watchdog, What what);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Watchdog* armed_ = nullptr;
        bool outermost_ = false;
        What what_;
        const What* outer_ = nullptr;
    };

private:
    using SteadyClock = std::chrono::steady_clock;
    void arm(const What* what);
    void disarm();
    // Puts `what` in the place of what the armed watchdog tells, and returns the one it told.
    const What* tell(const What* what);
    // Waits, while the thread ends the process, for a call that returned just as it was found late.
    void holdIfBiting();
    void wakeWatcher();
    void watch();
    bool sleepUntilArmed(std::unique_lock<std::mutex>& lock);
    [[noreturn]] void bite();

    const std::chrono::milliseconds budget_;
    // Odd while a call is armed; one more at each arming and each disarming.
    std::atomic<std::uint64_t> calls_{0};
    std::atomic<const What*> told_{nullptr};
    std::atomic<bool> watching_{false}, biting_{false};
    bool inside_ = false;  // a scope is open: only the thread that calls the module touches it

    std::mutex mutex_;  // guards what follows, and is held while the thread ends the process
    std::condition_variable wake_;
    std::thread thread_;
    bool wakeAsked_ = false, stopping_ = false;
};

}  // namespace sim
