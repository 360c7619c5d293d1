#include "phone.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "call_screen.hpp"

namespace sim {

Phone::Phone(PhoneOptions options)
    : limits(options.limits),
      files(options.root),
      resources(options.language),
      dialogs(options.typing),
      watchdog(limits.callTime) {
    // What the application does wrong inside a platform function halts it.
    const auto halt = [this](const std::string& what) { framework.fault(what); };
    memory.onMisdeed(halt);
    graphics.limitCallTime(limits.callTime, halt);
    std::filesystem::create_directories(files.sandbox().root());
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
    const auto loaded = loader.load(module, *this);
    if (!loaded) return tl::unexpected(loaded.error());
    framework.useCode(loader.module()->code());
    return {};
}

Result<void, LoadError> Phone::start(const std::string& appPath) {
    const auto failed = [](LoadError::Kind kind, std::string why) { return tl::unexpected(LoadError{kind, why}); };
    const auto faulted = [&] { return failed(LoadError::Kind::Faulted, framework.fault()); };
    const std::uint32_t registered = loader.callEntry(appPath, kEvcodeBase);
    if (!framework.fault().empty()) return faulted();
    if (registered != 0 || !framework.registered())
        return failed(LoadError::Kind::NotRegistered,
                      "the application did not register (its entry returned " + std::to_string(registered) + ")");
    const bool started =
        framework.startRequested() && framework.runStart() == 0 && framework.lifecycle() != Lifecycle::NotStarted;
    if (!framework.fault().empty()) return faulted();
    if (!started) return failed(LoadError::Kind::NotStarted, "the application did not start");
    deliver(EV_TOKEN_GRANTED);
    tick();
    if (!framework.fault().empty()) return faulted();
    return {};
}

void Phone::settle() {
    framework.run();
    if (loader.unloadRequested()) unloadModule();
}

void Phone::unloadModule() {
    framework.forgetModule();
    loader.unload();
}

void Phone::deliver(std::uint32_t code) {
    framework.post(code);
    settle();
}

void Phone::tick() { deliver(EV_TICK); }

CharacterEditor* Phone::editor() { return calling_ ? nullptr : dialogs.topEditor(); }

bool Phone::interrupt() {
    if (calling_ || lifecycle() != Lifecycle::Running) return false;
    calling_ = callOnScreen_ = true;
    framework.revokeToken();
    settle();
    return true;
}

// The token first, as at start: the application's grant handling resumes its state (and in the
// init state makes its list screen), so the repaint that follows finds something to paint on.
bool Phone::resume() {
    if (!calling_) return false;
    calling_ = false;
    deliver(EV_TOKEN_GRANTED);
    callOnScreen_ = !framework.tokenHeld();
    tick();
    return true;
}

void Phone::press(std::uint8_t key) {
    if (calling_) {
        // The call screen's keys: the end key declines the call, the others do nothing.
        if (key == KEY_END) resume();
        return;
    }
    if (CharacterEditor* editor = dialogs.topEditor()) {
        switch (key) {
        case KEY_OK:
        case KEY_SELECT:
        case KEY_SOFT_LEFT: framework.post(EV_EDITOR_OK); break;
        case KEY_END: framework.post(EV_EDITOR_BACK); break;
        case KEY_LEFT: editor->edit(EditKey::Left); break;
        case KEY_RIGHT: editor->edit(EditKey::Right); break;
        default: editor->tap(key, phoneLanguage(resources.language()), clock.now()); break;
        }
        settle();
        return;
    }
    framework.post(std::make_unique<Event>(EV_KEY_PRESS, key));
    settle();
}

void Phone::setEditorText(std::u16string text) {
    if (CharacterEditor* editor = this->editor()) editor->setText(std::move(text));
}

void Phone::editorBack() {
    if (!editorOpen()) return;
    framework.post(EV_EDITOR_BACK);
    settle();
}

std::uint32_t Phone::injectedFaults() {
    std::uint32_t failed =
        memory.faults().failed() + dialogs.creationFaults().failed() + resources.creationFaults().failed();
    for (int op = 0; op < kFileOpCount; ++op) failed += files.faults(static_cast<FileOp>(op)).failed();
    return failed;
}

bool Phone::advance(Clock::Duration by) {
    clock.advance(by);
    CharacterEditor* editor = dialogs.topEditor();
    return editor && editor->passTime(clock.now());
}

std::optional<Clock::Duration> Phone::untilDue() {
    const CharacterEditor* editor = dialogs.topEditor();
    const auto at = editor ? editor->letterTakenAt() : std::nullopt;
    if (!at) return std::nullopt;
    return std::max(*at - clock.now(), Clock::Duration{0});
}

Surface Phone::screen() {
    if (callOnScreen_) {
        Surface call;
        drawCallScreen(call, phoneLanguage(resources.language()));
        return call;
    }
    Dialogs::Dialog* top = dialogs.top();
    if (const auto* editor = top ? std::get_if<CharacterEditor>(top) : nullptr) {
        Surface picture;
        editor->render(picture, phoneLanguage(resources.language()));
        return picture;
    }
    // The display shows through a canvas only: with no dialog the screen stays dark.
    return top ? graphics.display() : Surface();
}

}  // namespace sim
