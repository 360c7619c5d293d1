#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "exit_status.hpp"

namespace sim {

// Ends the process when one call takes longer than its time budget (given a grace of as much
// again, at most a second, for the call's own checks to stop it first): what cannot be stopped
// safely (a host module's code, a platform function without a check of its own) is ended by a
// thread of its own, which prints the fault on standard error and exits with kFaultStatus.
// A Scope arms it for as long as it lives; a scope inside it keeps the time running and only
// says what runs now (the handler inside the dispatcher, say). Arming costs a lock
// that nothing else holds; the thread starts at the first arming and sleeps while nothing is
// armed. A budget of 0 arms nothing, and a process that a debugger holds is not timed.
class Watchdog {
public:
    static constexpr int kFaultStatus = exitCode(ExitStatus::Faulted);

    explicit Watchdog(std::chrono::milliseconds budget) : budget_(budget) {}
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    std::chrono::milliseconds budget() const { return budget_; }

    class Scope {
    public:
        // `what` says what did not return ("its handler Tim"); it is asked only when the time is up.
        // An empty one arms nothing.
        Scope(Watchdog& watchdog, std::function<std::string()> what);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Watchdog* armed_ = nullptr;
        bool outermost_ = false;
        std::function<std::string()> outer_;
    };

private:
    using SteadyClock = std::chrono::steady_clock;
    void arm(std::function<std::string()> what);
    void disarm();
    // Puts `what` in the place of what the armed watchdog tells, and returns the one it told.
    std::function<std::string()> tell(std::function<std::string()> what);
    void watch();
    [[noreturn]] void bite();

    const std::chrono::milliseconds budget_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    // Guarded by mutex_.
    std::function<std::string()> what_;
    std::optional<SteadyClock::time_point> armedAt_;
    bool sleeping_ = false, stopping_ = false;
    bool inside_ = false;  // a scope is open: only the thread that calls the module touches it
};

}  // namespace sim
