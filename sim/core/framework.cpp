#include "framework.hpp"

#include <cstring>
#include <string>
#include <utility>

namespace sim {

Event::Event(std::uint32_t code, std::uint8_t key, std::u16string text) : attached(std::move(text)) {
    record.code = code;
    record.key = key;
    if (code == EV_EDITOR_DATA) {
        if (attached.size() > kMostAttachedUnits) attached.resize(kMostAttachedUnits);
        attached.push_back(u'\0');
        record.attachment = attached.data();
    }
}

Framework::Framework() { context_.framework = this; }
Framework::~Framework() = default;

std::uint32_t Framework::registerApp(const std::uint32_t* evcodes, std::uint32_t count, ModuleAddress states,
                                     std::uint32_t stateCount, ModuleAddress startFn) {
    if (!code_ || !evcodes || count == 0 || !states || stateCount == 0 || !startFn || registered()) return 1;
    evcodeBase_ = evcodes[0];
    states_ = states;
    stateCount_ = stateCount;
    start_ = startFn;
    return 0;
}

void Framework::requestStart(std::uint32_t evcodeBase) {
    if (registered() && evcodeBase == evcodeBase_) startRequested_ = true;
}

template <class Call>
std::uint32_t Framework::intoModule(Call&& call) {
    if (halted_ || !code_) return 1;
    if (nested_ == kMostNestedCalls) {
        fault("re-entered the framework too deep: " + std::to_string(kMostNestedCalls) +
              " calls into it were under way (a handler or state routine that calls back into itself)");
        return 1;
    }
    ++nested_;
    const std::uint32_t result = call();
    --nested_;
    return result;
}

std::uint32_t Framework::runStart() {
    if (!startRequested_ || started_ || !start_) return 1;
    startRequested_ = false;
    return intoModule([&] { return code_->callStart(start_, &context_, 1); });
}

app_record_t* Framework::initAppData(ModuleAddress dispatcher, std::uint32_t size, std::uint32_t) {
    if (size != sizeof(app_record_t) || app_ || !code_) return nullptr;
    app_ = &code_->appRecordRoom();
    std::memset(app_, 0, sizeof(app_record_t));
    app_->port = 0x00000A11;
    dispatcher_ = dispatcher;
    return app_;
}

// The exit routine is the application's own: the platform never calls it.
std::uint32_t Framework::start(app_record_t* app, std::uint32_t state, ModuleAddress states, ModuleAddress,
                               const std::uint8_t* name) {
    if (app != app_ || !app || states != states_ || started_) return 1;
    // A name, not a text: the first 64 bytes at most.
    const auto* text = reinterpret_cast<const char*>(name);
    name_ = name ? std::string(text, ::strnlen(text, 64)) : "";
    started_ = true;
    state_ = state;
    if (const auto r = row(state)) callRoutine(r->entry, STATE_CHANGE_PLAIN);
    return 0;
}

std::uint32_t Framework::exit(app_record_t* app) {
    if (app != app_ || !started_) return 1;
    ended_ = true;
    queue_.clear();
    return 0;
}

std::optional<StateRow> Framework::row(std::uint32_t state) const {
    for (std::uint32_t i = 0; states_ && i < stateCount_; ++i) {
        const auto r = code_->stateRow(states_, i);
        if (!r) break;
        if (r->id == state) return r;
    }
    return std::nullopt;
}

ModuleAddress Framework::findHandler(std::uint32_t state, std::uint32_t code) const {
    const auto r = row(state);
    if (!r || !r->handlers) return 0;
    // A table ends at its end marker; nothing after it is read.
    for (std::uint32_t i = 0;; ++i) {
        const auto entry = code_->handlerEntry(r->handlers, i);
        if (!entry || entry->code == EVENT_TABLE_END) return 0;
        if (entry->code == code) return entry->handler;
    }
}

std::uint32_t Framework::callRoutine(ModuleAddress routine, std::uint32_t kind) {
    return routine ? intoModule([&] { return code_->callStateRoutine(routine, &context_, app_, kind); }) : 0;
}

ModuleAddress Framework::handlerFor(std::uint32_t code) const {
    const ModuleAddress handler = findHandler(state_, code);
    return handler ? handler : findHandler(0, code);
}

std::uint32_t Framework::handleEvent(app_record_t*) {
    if (!current_) return 1;
    const ModuleAddress handler = handlerFor(current_->record.code);
    if (!handler) return 1;
    return intoModule([&] { return code_->callHandler(handler, &context_, app_); });
}

std::uint32_t Framework::tokenGranted(app_record_t* app) {
    if (app != app_ || !app) return 1;
    if (grantResult_ != 0) return grantResult_;
    app->token_status = grantStatus_;
    tokenHeld_ = grantStatus_ == UI_TOKEN_HELD;
    if (tokenHeld_ && std::exchange(suspended_, false)) reenter(STATE_ENTER_RESUME);
    return 0;
}

std::uint32_t Framework::tokenRevoked(app_record_t* app) {
    if (app != app_ || !app) return 1;
    app->token_status = 0;
    tokenHeld_ = false;
    if (started_ && !std::exchange(suspended_, true)) leave(STATE_EXIT_SUSPEND);
    return 0;
}

void Framework::revokeToken() {
    tokenHeld_ = false;
    post(EV_TOKEN_REVOKED);
}

std::uint32_t Framework::changeState(std::uint32_t state, app_record_t* app) {
    const auto entered = row(state);
    if (app != app_ || !entered || ended_) return 1;
    if (const auto old = row(state_)) callRoutine(old->exit, STATE_CHANGE_PLAIN);
    const std::uint32_t previous = state_;
    state_ = state;
    if (callRoutine(entered->entry, STATE_CHANGE_PLAIN) != 0) {
        // The state refused itself: stay where the application was.
        state_ = previous;
        return 1;
    }
    return 0;
}

std::uint32_t Framework::reenter(std::uint32_t kind) {
    const auto r = row(state_);
    return r ? callRoutine(r->entry, kind) : 0;
}

std::uint32_t Framework::leave(std::uint32_t kind) {
    const auto r = row(state_);
    return r ? callRoutine(r->exit, kind) : 0;
}

std::uint32_t Framework::consume() {
    if (!current_) return 1;
    current_->consumed = true;
    return 0;
}

event_record_t* Framework::currentEvent() { return current_ ? &current_->record : nullptr; }

void Framework::post(std::unique_ptr<Event> event) {
    if (ended_ || halted_) return;
    if (queue_.size() == kMostEventsPerRun) {
        fault("queued more than " + std::to_string(kMostEventsPerRun) + " events at once");
        return;
    }
    queue_.push_back(std::move(event));
}

void Framework::halt(std::string why) {
    if (halted_) return;
    if (why.size() > kMostFaultBytes) why = why.substr(0, kMostFaultBytes - 3) + "...";
    fault_ = std::move(why);
    halted_ = true;
    queue_.clear();
}

void Framework::fault(const std::string& what) {
    if (!halted_) halt(code_ ? code_->crashed(what) : "the application crashed: it " + what);
}

void Framework::run() {
    std::size_t delivered = 0;
    while (!queue_.empty() && !ended_) {
        if (++delivered > kMostEventsPerRun) {
            halt("the application kept queueing events: " + std::to_string(kMostEventsPerRun) +
                 " were delivered in one run and " + std::to_string(queue_.size()) + " more were dropped");
            break;
        }
        current_ = std::move(queue_.front());
        queue_.pop_front();
        // The observer hears of the event before it is handled, so that what the handler does
        // follows it in a trace.
        const bool dispatched = started_ && dispatcher_ && app_;
        const Delivery delivery{current_->record.code, current_->record.key, state_,
                                dispatched ? handlerFor(current_->record.code) : 0};
        if (observer_) observer_(delivery);
        if (dispatched) intoModule([&] { return code_->callHandler(dispatcher_, &context_, app_); });
        current_.reset();
    }
}

Lifecycle Framework::lifecycle() const {
    if (ended_) return Lifecycle::Ended;
    return started_ ? Lifecycle::Running : Lifecycle::NotStarted;
}

void Framework::forgetModule() {
    code_ = nullptr;
    states_ = 0;
    stateCount_ = 0;
    start_ = 0;
    app_ = nullptr;
    dispatcher_ = 0;
    queue_.clear();
}

}  // namespace sim
