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

// Where the framework is with the application. The stage only goes forward (a start asked for,
// the start taken, the application's exit), except that taking the start request waits again
// until the start callback starts the application. The UI token is the application's, away, or
// away with the current state suspended, which only a started application can be. A halt can
// come in any stage and is never undone.
struct FrameworkState {
    enum class Stage { Waiting, StartRequested, Running, Ended };
    enum class Token { Away, Held, Suspended };
    Stage stage = Stage::Waiting;
    Token token = Token::Away;
    bool halted = false;

    bool started() const { return stage == Stage::Running || stage == Stage::Ended; }
};

// The application framework: registration, the application record, the state machine
// and the event queue that one event thread delivers in order. It reads the module's tables
// and calls its functions through the module's ModuleCode, whichever CPU runs it; every call
// into the module gets the framework's own context and application record.
class Framework {
public:
    Framework();
    ~Framework();

    // Registration and lifetime, as the platform functions ask for them.
    // The module whose code the framework calls; registration needs one.
    void useCode(ModuleCode& code) { code_ = &code; }
    std::uint32_t registerApp(const std::uint32_t* evcodes, std::uint32_t count, ModuleAddress states,
                              std::uint32_t stateCount, ModuleAddress startFn);
    void requestStart(std::uint32_t evcodeBase);
    std::uint32_t runStart();  // calls the application's start callback
    app_record_t* initAppData(ModuleAddress dispatcher, std::uint32_t size, std::uint32_t registration);
    std::uint32_t start(app_record_t* app, std::uint32_t state, ModuleAddress states, ModuleAddress exitRoutine,
                        const std::uint8_t* name);
    std::uint32_t exit(app_record_t* app);
    // The module is gone: nothing that pointed into it may be called or read again.
    void forgetModule();

    // Routing.
    std::uint32_t handleEvent(app_record_t* app);
    std::uint32_t changeState(std::uint32_t state, app_record_t* app);
    std::uint32_t consume();
    event_record_t* currentEvent();
    // Calls into the module nest (a handler that hands an event on, an entry routine that changes
    // the state) at most this deep: deeper is a fault, not a host stack overflow.
    static constexpr int kMostNestedCalls = 64;

    // The UI token. The framework's own handling, which the application calls for 0x1E and
    // 0x1F: a loss suspends the current state (its exit routine with STATE_EXIT_SUSPEND), a
    // grant after it resumes the state (its entry routine with STATE_ENTER_RESUME).
    std::uint32_t tokenGranted(app_record_t* app);
    std::uint32_t tokenRevoked(app_record_t* app);
    // The platform takes the UI token from the application: event 0x1F is queued. The token is
    // the application's again once its grant handling has taken it (tokenGranted).
    void revokeToken();
    // What the framework's own handling of every later grant gives: its result, and the token's
    // status written to the application record when the result is 0. A platform that keeps the
    // token or fails the grant, which tests play.
    void setGrantOutcome(std::uint32_t result, std::uint8_t tokenStatus) {
        grantResult_ = result, grantStatus_ = tokenStatus;
    }

    // The queue. `post` adds an event; `run` delivers every queued event in order. One
    // delivery may queue at most kMostEventsPerRun events in all: past that the loop
    // stops, drops the rest and records a fault (a handler that keeps posting). The queue holds
    // at most kMostEventsPerRun events at once: one more is a fault too.
    static constexpr std::size_t kMostEventsPerRun = 10000;
    void post(std::unique_ptr<Event> event);
    void post(std::uint32_t code) { post(std::make_unique<Event>(code)); }
    void run();
    // Called as each event is delivered, before it is handled.
    void observeDeliveries(std::function<void(const Delivery&)> observer) { observer_ = std::move(observer); }

    // Faults. The application crashed: the framework records why (cut to kMostFaultBytes), drops
    // what is queued and calls nothing of the module again.
    static constexpr std::size_t kMostFaultBytes = 1000;
    void halt(std::string why);
    // The application did wrong (`what` follows "it"): it is halted with its module's report.
    void fault(const std::string& what);
    // Why the framework stopped serving the application, empty while all is well.
    const std::string& fault() const { return fault_; }

    // What the phone, its front ends and tests look at.
    Lifecycle lifecycle() const;
    bool registered() const { return states_ != 0; }
    bool startRequested() const { return state_.stage == FrameworkState::Stage::StartRequested; }
    bool tokenHeld() const { return state_.token == FrameworkState::Token::Held; }
    std::uint32_t stateId() const { return stateId_; }
    app_record_t* record() { return app_; }
    std::string appName() const { return name_; }

private:
    // Enters the current state again, or leaves it, with an entry or exit kind.
    std::uint32_t reenter(std::uint32_t kind);
    std::uint32_t leave(std::uint32_t kind);
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
    app_record_t* app_ = nullptr;  // in the module's code's room for it
    ModuleAddress dispatcher_ = 0;
    std::uint32_t stateId_ = 0;
    FrameworkState state_;
    std::string name_;
    std::uint32_t grantResult_ = 0;
    std::uint8_t grantStatus_ = UI_TOKEN_HELD;
    std::deque<std::unique_ptr<Event>> queue_;
    std::unique_ptr<Event> current_;
    std::string fault_;
    int nested_ = 0;
    std::function<void(const Delivery&)> observer_;
};

}  // namespace sim
