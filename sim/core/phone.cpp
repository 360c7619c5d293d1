#include "phone.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "call_screen.hpp"

namespace sim {

Phone::Phone(PhoneOptions options)
    : limits_(options.limits),
      files_(options.root),
      resources_(options.language),
      dialogs_(options.typing),
      watchdog_(limits_.callTime) {
    // What the application does wrong inside a platform function halts it.
    const auto halt = [this](const std::string& what) { framework_.fault(what); };
    memory_.onMisdeed(halt);
    graphics_.limitCallTime(limits_.callTime, halt);
    std::filesystem::create_directories(files_.sandbox().root());
    active_ = this;
}

Phone::~Phone() {
    // The module's last calls, as it unloads, reach this phone.
    activate();
    unloadModule();
    active_ = nullptr;
}

Result<void, LoadError> Phone::boot(const std::filesystem::path& module, const std::string& appPath) {
    return load(module).and_then([&] { return start(appPath); });
}

Result<void, LoadError> Phone::load(const std::filesystem::path& module) {
    const auto loaded = loader_.load(module, *this);
    if (!loaded) return tl::unexpected(loaded.error());
    framework_.useCode(loader_.module()->code());
    return {};
}

Result<void, LoadError> Phone::start(const std::string& appPath) {
    const auto failed = [](LoadError::Kind kind, std::string why) { return tl::unexpected(LoadError{kind, why}); };
    const auto faulted = [&] { return failed(LoadError::Kind::Faulted, framework_.fault()); };
    const std::uint32_t registered = loader_.callEntry(appPath, kEvcodeBase);
    if (!framework_.fault().empty()) return faulted();
    if (registered != 0 || !framework_.registered())
        return failed(LoadError::Kind::NotRegistered,
                      "the application did not register (its entry returned " + std::to_string(registered) + ")");
    const bool started =
        framework_.startRequested() && framework_.runStart() == 0 && framework_.lifecycle() != Lifecycle::NotStarted;
    if (!framework_.fault().empty()) return faulted();
    if (!started) return failed(LoadError::Kind::NotStarted, "the application did not start");
    deliver(EV_TOKEN_GRANTED);
    tick();
    if (!framework_.fault().empty()) return faulted();
    return {};
}

void Phone::settle() {
    framework_.run();
    if (loader_.unloadRequested()) unloadModule();
}

void Phone::unloadModule() {
    framework_.forgetModule();
    loader_.unload();
}

void Phone::deliver(std::uint32_t code) {
    framework_.post(code);
    settle();
}

void Phone::tick() { deliver(EV_TICK); }

CharacterEditor* Phone::editor() { return calling_ ? nullptr : dialogs_.topEditor(); }

bool Phone::interrupt() {
    if (calling_ || lifecycle() != Lifecycle::Running) return false;
    calling_ = callOnScreen_ = true;
    framework_.revokeToken();
    settle();
    return true;
}

// The token first, as at start: the application's grant handling resumes its state (and in the
// init state makes its list screen), so the repaint that follows finds something to paint on.
bool Phone::resume() {
    if (!calling_) return false;
    calling_ = false;
    deliver(EV_TOKEN_GRANTED);
    callOnScreen_ = !framework_.tokenHeld();
    tick();
    return true;
}

void Phone::press(std::uint8_t key) {
    if (calling_) {
        // The call screen's keys: the end key declines the call, the others do nothing.
        if (key == KEY_END) resume();
        return;
    }
    if (CharacterEditor* editor = dialogs_.topEditor()) {
        switch (key) {
        case KEY_OK:
        case KEY_SELECT:
        case KEY_SOFT_LEFT: framework_.post(EV_EDITOR_OK); break;
        case KEY_END: framework_.post(EV_EDITOR_BACK); break;
        case KEY_LEFT: editor->edit(EditKey::Left); break;
        case KEY_RIGHT: editor->edit(EditKey::Right); break;
        default: editor->tap(key, phoneLanguage(resources_.language()), clock_.now()); break;
        }
        settle();
        return;
    }
    framework_.post(std::make_unique<Event>(EV_KEY_PRESS, key));
    settle();
}

void Phone::setEditorText(std::u16string text) {
    if (CharacterEditor* editor = this->editor()) editor->setText(std::move(text));
}

void Phone::editorBack() {
    if (!editorOpen()) return;
    framework_.post(EV_EDITOR_BACK);
    settle();
}

std::uint32_t Phone::injectedFaults() {
    std::uint32_t failed =
        memory_.faults().failed() + dialogs_.creationFaults().failed() + resources_.creationFaults().failed();
    for (int op = 0; op < kFileOpCount; ++op) failed += files_.faults(static_cast<FileOp>(op)).failed();
    return failed;
}

bool Phone::advance(Clock::Duration by) {
    clock_.advance(by);
    CharacterEditor* editor = dialogs_.topEditor();
    return editor && editor->passTime(clock_.now());
}

std::optional<Clock::Duration> Phone::untilDue() {
    const CharacterEditor* editor = dialogs_.topEditor();
    const auto at = editor ? editor->letterTakenAt() : std::nullopt;
    if (!at) return std::nullopt;
    return std::max(*at - clock_.now(), Clock::Duration{0});
}

Surface Phone::screen() {
    if (callOnScreen_) {
        Surface call;
        drawCallScreen(call, phoneLanguage(resources_.language()));
        return call;
    }
    Dialogs::Dialog* top = dialogs_.top();
    if (const auto* editor = top ? std::get_if<CharacterEditor>(top) : nullptr) {
        Surface picture;
        editor->render(picture, phoneLanguage(resources_.language()));
        return picture;
    }
    // The display shows through a canvas only: with no dialog the screen stays dark.
    return top ? graphics_.display() : Surface();
}

}  // namespace sim
