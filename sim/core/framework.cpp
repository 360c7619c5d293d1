#include "framework.hpp"

#include <cstring>
#include <string>
#include <utility>

namespace sim {

using Stage = FrameworkState::Stage;
using Token = FrameworkState::Token;

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
    // A request after the start has nothing left to ask for.
    if (registered() && evcodeBase == evcodeBase_ && state_.stage == Stage::Waiting)
        state_.stage = Stage::StartRequested;
}

template <class Call>
std::uint32_t Framework::intoModule(Call&& call) {
    if (state_.halted || !code_) return 1;
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
    if (state_.stage != Stage::StartRequested || !start_) return 1;
    state_.stage = Stage::Waiting;  // until the callback starts the application
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
    if (app != app_ || !app || states != states_ || state_.started()) return 1;
    // A name, not a text: the first 64 bytes at most.
    const auto* text = reinterpret_cast<const char*>(name);
    name_ = name ? std::string(text, ::strnlen(text, 64)) : "";
    state_.stage = Stage::Running;
    stateId_ = state;
    if (const auto r = row(state)) callRoutine(r->entry, STATE_CHANGE_PLAIN);
    return 0;
}

std::uint32_t Framework::exit(app_record_t* app) {
    if (app != app_ || !state_.started()) return 1;
    state_.stage = Stage::Ended;
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
    const ModuleAddress handler = findHandler(stateId_, code);
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
    if (grantStatus_ != UI_TOKEN_HELD) {
        // Not the application's: a suspended state stays suspended.
        if (state_.token == Token::Held) state_.token = Token::Away;
        return 0;
    }
    if (std::exchange(state_.token, Token::Held) == Token::Suspended) reenter(STATE_ENTER_RESUME);
    return 0;
}

std::uint32_t Framework::tokenRevoked(app_record_t* app) {
    if (app != app_ || !app) return 1;
    app->token_status = 0;
    if (!state_.started())
        state_.token = Token::Away;
    else if (std::exchange(state_.token, Token::Suspended) != Token::Suspended)
        leave(STATE_EXIT_SUSPEND);
    return 0;
}

void Framework::revokeToken() {
    if (state_.token == Token::Held) state_.token = Token::Away;
    post(EV_TOKEN_REVOKED);
}

std::uint32_t Framework::changeState(std::uint32_t state, app_record_t* app) {
    const auto entered = row(state);
    if (app != app_ || !entered || state_.stage == Stage::Ended) return 1;
    if (const auto old = row(stateId_)) callRoutine(old->exit, STATE_CHANGE_PLAIN);
    const std::uint32_t previous = stateId_;
    stateId_ = state;
    if (callRoutine(entered->entry, STATE_CHANGE_PLAIN) != 0) {
        // The state refused itself: stay where the application was.
        stateId_ = previous;
        return 1;
    }
    return 0;
}

std::uint32_t Framework::reenter(std::uint32_t kind) {
    const auto r = row(stateId_);
    return r ? callRoutine(r->entry, kind) : 0;
}

std::uint32_t Framework::leave(std::uint32_t kind) {
    const auto r = row(stateId_);
    return r ? callRoutine(r->exit, kind) : 0;
}

std::uint32_t Framework::consume() {
    if (!current_) return 1;
    current_->consumed = true;
    return 0;
}

event_record_t* Framework::currentEvent() { return current_ ? &current_->record : nullptr; }

void Framework::post(std::unique_ptr<Event> event) {
    if (state_.stage == Stage::Ended || state_.halted) return;
    if (queue_.size() == kMostEventsPerRun) {
        fault("queued more than " + std::to_string(kMostEventsPerRun) + " events at once");
        return;
    }
    queue_.push_back(std::move(event));
}

void Framework::halt(std::string why) {
    if (state_.halted) return;
    if (why.size() > kMostFaultBytes) why = why.substr(0, kMostFaultBytes - 3) + "...";
    fault_ = std::move(why);
    state_.halted = true;
    queue_.clear();
}

void Framework::fault(const std::string& what) {
    if (!state_.halted) halt(code_ ? code_->crashed(what) : "the application crashed: it " + what);
}

void Framework::run() {
    std::size_t delivered = 0;
    while (!queue_.empty() && state_.stage != Stage::Ended) {
        if (++delivered > kMostEventsPerRun) {
            halt("the application kept queueing events: " + std::to_string(kMostEventsPerRun) +
                 " were delivered in one run and " + std::to_string(queue_.size()) + " more were dropped");
            break;
        }
        current_ = std::move(queue_.front());
        queue_.pop_front();
        // The observer hears of the event before it is handled, so that what the handler does
        // follows it in a trace.
        const bool dispatched = state_.started() && dispatcher_ && app_;
        const Delivery delivery{current_->record.code, current_->record.key, stateId_,
                                dispatched ? handlerFor(current_->record.code) : 0};
        if (observer_) observer_(delivery);
        if (dispatched) intoModule([&] { return code_->callHandler(dispatcher_, &context_, app_); });
        current_.reset();
    }
}

Lifecycle Framework::lifecycle() const {
    switch (state_.stage) {
    case Stage::Running: return Lifecycle::Running;
    case Stage::Ended: return Lifecycle::Ended;
    default: return Lifecycle::NotStarted;
    }
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
