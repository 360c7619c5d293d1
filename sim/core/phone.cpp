#include "phone.hpp"

#include <stdexcept>

namespace sim {

namespace {
Phone* activePhone = nullptr;
}

Phone::Phone(PhoneOptions options) : files(options.root), resources(options.language) {
    if (activePhone) throw std::logic_error("only one phone can be active at a time");
    std::filesystem::create_directories(files.sandbox().root());
    activePhone = this;
}

Phone::~Phone() {
    loader.unload();
    activePhone = nullptr;
}

Phone& Phone::active() {
    if (!activePhone) throw std::logic_error("no phone is active");
    return *activePhone;
}

bool Phone::hasActive() { return activePhone != nullptr; }

BootResult Phone::boot(const std::filesystem::path& module, const std::string& appPath) {
    std::string error;
    if (!loader.load(module, error)) return {BootStatus::ModuleNotLoaded, error};
    const std::uint32_t registered = loader.callEntry(appPath, kEvcodeBase);
    if (registered != 0 || !framework.registered())
        return {BootStatus::NotRegistered,
                "the application did not register (its entry returned " + std::to_string(registered) + ")"};
    if (!framework.startRequested() || framework.runStart() != 0 || framework.state() != AppState::Init)
        return {BootStatus::NotStarted, "the application did not start in its init state"};
    deliver(EV_TOKEN_GRANTED);
    tick();
    return {BootStatus::Started, {}};
}

void Phone::settle() {
    framework.run();
    if (loader.unloadRequested()) loader.unload();
}

void Phone::deliver(std::uint32_t code) {
    framework.post(code);
    settle();
}

void Phone::tick() { deliver(EV_TICK); }

bool Phone::editorOpen() { return dialogs.topEditor() != nullptr; }

void Phone::press(std::uint8_t key) {
    if (CharacterEditor* editor = dialogs.topEditor()) {
        switch (key) {
        case kKeyOk:
        case kKeySelect:
        case kKeySoftLeft: framework.post(EV_EDITOR_OK); break;
        case kKeyEnd: framework.post(EV_EDITOR_BACK); break;
        case kKeyLeft: editor->moveCursor(-1); break;
        case kKeyRight: editor->moveCursor(+1); break;
        default: break;
        }
        settle();
        return;
    }
    framework.post(std::make_unique<Event>(EV_KEY_PRESS, key));
    settle();
}

void Phone::setEditorText(std::u16string text) {
    if (CharacterEditor* editor = dialogs.topEditor()) editor->setText(std::move(text));
}

void Phone::editorBack() {
    if (!editorOpen()) return;
    framework.post(EV_EDITOR_BACK);
    settle();
}

Surface Phone::screen() {
    if (const CharacterEditor* editor = dialogs.topEditor()) {
        Surface picture;
        editor->render(picture, resources.language() == kLanguageRussian);
        return picture;
    }
    return graphics.display();
}

}  // namespace sim
