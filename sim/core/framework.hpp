#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "module.hpp"
#include "platform/app_framework.h"

namespace sim {
class Framework;
}

// The framework's per-event context, opaque to the application.
struct event_context {
    sim::Framework* framework;
};

namespace sim {

// One event on its way through the framework. It owns the data it carries, so the
// pointer in its record stays valid while a handler looks at it.
struct Event {
    // The most text an event carries: a longer text is cut there, for every kind of module.
    static constexpr std::size_t kMostAttachedUnits = 4095;
    Event(std::uint32_t code, std::uint8_t key = 0, std::u16string attached = {});
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    event_record_t record{};
    std::u16string attached;  // zero-terminated copy lives in `attached`
    bool consumed = false;
};

// One delivered event, for front ends that trace the event loop: its code and key, the state
// it is delivered in, and the handler that takes it (0 for none), as the module addresses it.
struct Delivery {
    std::uint32_t code;
    std::uint8_t key;
    std::uint32_t state;
    ModuleAddress handler;
};

// Where the application is in its life: the framework knows no more of its states than
// their ids.
enum class Lifecycle { NotStarted, Running, Ended };

// The application framework: registration, the application record, the state machine
// and the event queue that one event thread delivers in order. It reads the module's tables
// and calls its functions through the module's ModuleCode, whichever CPU runs it; every call
// into the module gets the framework's own context and application record.
class Framework {
public:
    Framework();
    ~Framework();

    // Registration and lifetime.
    // The module whose code the framework calls; registration needs one.
    void useCode(ModuleCode& code) { code_ = &code; }
    std::uint32_t registerApp(const std::uint32_t* evcodes, std::uint32_t count, ModuleAddress states,
                              std::uint32_t stateCount, ModuleAddress startFn);
    void requestStart(std::uint32_t evcodeBase);
    bool startRequested() const { return startRequested_; }
    std::uint32_t runStart();  // calls the application's start callback
    app_record_t* initAppData(ModuleAddress dispatcher, std::uint32_t size, std::uint32_t registration);
    std::uint32_t start(app_record_t* app, std::uint32_t state, ModuleAddress states, ModuleAddress exitRoutine,
                        const std::uint8_t* name);
    std::uint32_t exit(app_record_t* app);

    // Routing.
    std::uint32_t handleEvent(app_record_t* app);
    // The framework's own handling of the UI token, which the application calls for 0x1E and
    // 0x1F: a loss suspends the current state (its exit routine with STATE_EXIT_SUSPEND), a
    // grant after it resumes the state (its entry routine with STATE_ENTER_RESUME).
    std::uint32_t tokenGranted(app_record_t* app);
    std::uint32_t tokenRevoked(app_record_t* app);
    // The platform takes the UI token from the application: event 0x1F is queued. The token is
    // the application's again once its grant handling has taken it (tokenGranted).
    void revokeToken();
    bool tokenHeld() const { return tokenHeld_; }
    std::uint32_t changeState(std::uint32_t state, app_record_t* app);
    std::uint32_t consume();
    event_record_t* currentEvent();

    // The queue. `post` adds an event; `run` delivers every queued event in order. One
    // delivery may queue at most kMostEventsPerRun events in all: past that the loop
    // stops, drops the rest and records a fault (a handler that keeps posting). The queue holds
    // at most kMostEventsPerRun events at once: one more is a fault too.
    static constexpr std::size_t kMostEventsPerRun = 10000;
    void post(std::unique_ptr<Event> event);
    void post(std::uint32_t code) { post(std::make_unique<Event>(code)); }
    void run();
    // Why the framework stopped serving the application, empty while all is well.
    const std::string& fault() const { return fault_; }
    bool halted() const { return halted_; }
    // The application crashed: the framework records why (cut to kMostFaultBytes), drops what is
    // queued and calls nothing of the module again.
    static constexpr std::size_t kMostFaultBytes = 1000;
    void halt(std::string why);
    // The application did wrong (`what` follows "it"): it is halted with its module's report.
    void fault(const std::string& what);

    // Calls into the module nest (a handler that hands an event on, an entry routine that changes
    // the state) at most this deep: deeper is a fault, not a host stack overflow.
    static constexpr int kMostNestedCalls = 64;

    // Called as each event is delivered, before it is handled.
    void observeDeliveries(std::function<void(const Delivery&)> observer) { observer_ = std::move(observer); }

    // The module is gone: nothing that pointed into it may be called or read again.
    void forgetModule();

    // What tests and front ends look at.
    Lifecycle lifecycle() const;
    bool started() const { return started_; }
    std::uint32_t stateId() const { return state_; }
    bool registered() const { return states_ != 0; }
    bool ended() const { return ended_; }
    app_record_t* record() { return app_; }
    std::string appName() const { return name_; }

    // Test hooks: what the next grant does, and entering the current state again with
    // any entry kind, as the framework does when the application is resumed.
    void setGrantOutcome(std::uint32_t result, std::uint8_t tokenStatus) {
        grantResult_ = result, grantStatus_ = tokenStatus;
    }
    std::uint32_t reenter(std::uint32_t kind);
    std::uint32_t leave(std::uint32_t kind);

private:
    std::optional<StateRow> row(std::uint32_t state) const;
    ModuleAddress findHandler(std::uint32_t state, std::uint32_t code) const;
    // The handler of the current state for the event, else the any-state one; 0 for none.
    ModuleAddress handlerFor(std::uint32_t code) const;
    std::uint32_t callRoutine(ModuleAddress routine, std::uint32_t kind);
    // Runs `call` into the module unless the framework is halted or the calls nest too deep.
    template <class Call>
    std::uint32_t intoModule(Call&& call);

    event_context_t context_{};
    ModuleCode* code_ = nullptr;
    ModuleAddress states_ = 0;
    std::uint32_t stateCount_ = 0;
    ModuleAddress start_ = 0;
    std::uint32_t evcodeBase_ = 0;
    bool startRequested_ = false;
    app_record_t* app_ = nullptr;  // in the module's code's room for it
    ModuleAddress dispatcher_ = 0;
    std::uint32_t state_ = 0;
    bool started_ = false, ended_ = false, halted_ = false;
    std::string name_;
    std::uint32_t grantResult_ = 0;
    std::uint8_t grantStatus_ = UI_TOKEN_HELD;
    bool tokenHeld_ = false, suspended_ = false;
    std::deque<std::unique_ptr<Event>> queue_;
    std::unique_ptr<Event> current_;
    std::string fault_;
    int nested_ = 0;
    std::function<void(const Delivery&)> observer_;
};

}  // namespace sim
