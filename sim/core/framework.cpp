#include "framework.hpp"

#include <cstring>
#include <string>

namespace sim {

Event::Event(std::uint32_t code, std::uint8_t key, std::u16string text) : attached(std::move(text)) {
    record.code = code;
    record.key = key;
    if (code == EV_EDITOR_DATA) {
        attached.push_back(u'\0');
        record.attachment = attached.data();
    }
}

Framework::Framework() { context_.framework = this; }
Framework::~Framework() = default;

std::uint32_t Framework::registerApp(const std::uint32_t* evcodes, std::uint32_t count, const state_row_t* states,
                                     std::uint32_t stateCount, app_start_fn startFn) {
    if (!evcodes || count == 0 || !states || stateCount == 0 || !startFn || registered()) return 1;
    evcodeBase_ = evcodes[0];
    states_ = states;
    stateCount_ = stateCount;
    start_ = startFn;
    return 0;
}

void Framework::requestStart(std::uint32_t evcodeBase) {
    if (registered() && evcodeBase == evcodeBase_) startRequested_ = true;
}

std::uint32_t Framework::runStart() {
    if (!startRequested_ || started_ || !start_) return 1;
    startRequested_ = false;
    return start_(&context_, 1);
}

app_record_t* Framework::initAppData(event_handler_fn dispatcher, std::uint32_t size, std::uint32_t) {
    if (size != sizeof(app_record_t) || app_) return nullptr;
    app_ = std::make_unique<app_record_t>();
    std::memset(app_.get(), 0, sizeof(app_record_t));
    app_->port = 0x00000A11;
    dispatcher_ = dispatcher;
    return app_.get();
}

std::uint32_t Framework::start(event_context_t* ev, app_record_t* app, std::uint32_t state, const state_row_t* states,
                               event_handler_fn exitRoutine, const std::uint8_t* name) {
    if (app != app_.get() || !app || states != states_ || started_) return 1;
    exitRoutine_ = exitRoutine;
    name_ = name ? reinterpret_cast<const char*>(name) : "";
    started_ = true;
    state_ = state;
    const state_row_t* r = row(state);
    if (r && r->entry) r->entry(ev, app, STATE_CHANGE_PLAIN);
    return 0;
}

std::uint32_t Framework::exit(app_record_t* app) {
    if (app != app_.get() || !started_) return 1;
    ended_ = true;
    queue_.clear();
    return 0;
}

const state_row_t* Framework::row(std::uint32_t state) const {
    for (std::uint32_t i = 0; i < stateCount_; ++i)
        if (states_[i].id == state) return &states_[i];
    return nullptr;
}

event_handler_fn Framework::findHandler(std::uint32_t state, std::uint32_t code) const {
    const state_row_t* r = row(state);
    if (!r || !r->handlers) return nullptr;
    // A table ends at its end marker; nothing after it is read.
    for (const event_handler_entry_t* e = r->handlers; e->code != EVENT_TABLE_END; ++e)
        if (e->code == code) return e->handler;
    return nullptr;
}

std::uint32_t Framework::handleEvent(event_context_t* ev, app_record_t* app) {
    if (!current_) return 1;
    const std::uint32_t code = current_->record.code;
    event_handler_fn handler = findHandler(state_, code);
    if (!handler) handler = findHandler(0, code);
    if (!handler) return 1;
    taken_ = handler;
    return handler(ev, app);
}

std::uint32_t Framework::tokenGranted(app_record_t* app) {
    if (app != app_.get() || !app) return 1;
    if (grantResult_ != 0) return grantResult_;
    app->token_status = grantStatus_;
    return 0;
}

std::uint32_t Framework::tokenRevoked(app_record_t* app) {
    if (app != app_.get() || !app) return 1;
    app->token_status = 0;
    return 0;
}

std::uint32_t Framework::changeState(std::uint32_t state, event_context_t* ev, app_record_t* app) {
    if (app != app_.get() || !row(state) || ended_) return 1;
    const state_row_t* old = row(state_);
    if (old && old->exit) old->exit(ev, app, STATE_CHANGE_PLAIN);
    const std::uint32_t previous = state_;
    state_ = state;
    const state_row_t* entered = row(state);
    if (entered->entry && entered->entry(ev, app, STATE_CHANGE_PLAIN) != 0) {
        // The state refused itself: stay where the application was.
        state_ = previous;
        return 1;
    }
    return 0;
}

std::uint32_t Framework::reenter(std::uint32_t kind) {
    const state_row_t* r = row(state_);
    return r && r->entry ? r->entry(&context_, app_.get(), kind) : 0;
}

std::uint32_t Framework::leave(std::uint32_t kind) {
    const state_row_t* r = row(state_);
    return r && r->exit ? r->exit(&context_, app_.get(), kind) : 0;
}

std::uint32_t Framework::consume() {
    if (!current_) return 1;
    current_->consumed = true;
    return 0;
}

event_record_t* Framework::currentEvent() { return current_ ? &current_->record : nullptr; }

void Framework::post(std::unique_ptr<Event> event) {
    if (!ended_) queue_.push_back(std::move(event));
}

void Framework::run() {
    std::size_t delivered = 0;
    while (!queue_.empty() && !ended_) {
        if (++delivered > kMostEventsPerRun) {
            fault_ = "the application kept queueing events: " + std::to_string(kMostEventsPerRun) +
                     " were delivered in one run and " + std::to_string(queue_.size()) + " more were dropped";
            queue_.clear();
            break;
        }
        current_ = std::move(queue_.front());
        queue_.pop_front();
        Delivery delivery{current_->record.code, current_->record.key, state_, nullptr};
        taken_ = nullptr;
        if (started_ && dispatcher_ && app_) dispatcher_(&context_, app_.get());
        delivery.handler = taken_;
        if (observer_) observer_(delivery);
        last_ = std::move(current_);
    }
}

Lifecycle Framework::lifecycle() const {
    if (ended_) return Lifecycle::Ended;
    return started_ ? Lifecycle::Running : Lifecycle::NotStarted;
}

void Framework::forgetModule() {
    states_ = nullptr;
    stateCount_ = 0;
    start_ = nullptr;
    dispatcher_ = nullptr;
    exitRoutine_ = nullptr;
    queue_.clear();
}

}  // namespace sim
