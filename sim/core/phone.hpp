#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "call_trace.hpp"
#include "clock.hpp"
#include "dialogs.hpp"
#include "filesystem.hpp"
#include "framework.hpp"
#include "graphics.hpp"
#include "loader.hpp"
#include "memory.hpp"
#include "platform/resources.h"
#include "resources.hpp"
#include "watchdog.hpp"
#include "result.hpp"

namespace sim {

inline constexpr std::uint32_t kEvcodeBase = 0x00010000;

// What one call into the module may take before it is a fault. The defaults are far above what a
// call of a working module takes (a few hundred thousand ARM instructions and a millisecond or so
// for the largest change of a full record file), and low enough that a module that never returns
// is told so within a second or two.
struct Limits {
    // ARM instructions that one call into an emulated module may run, calls it makes back into
    // the module included.
    std::uint64_t instructions = 200'000'000;
    // The time a single platform call (on any module), or a call into a host module, may take;
    // 0 for no limit.
    std::chrono::milliseconds callTime{10'000};
};

struct PhoneOptions {
    std::filesystem::path root;  // the host folder that stands for the phone's root "/"
    std::uint8_t language = kDefaultLanguage;
    TypingFilter typing = nullptr;  // what the character editor enters for a typed character
    Limits limits = {};
};

// One simulated phone: every platform service, and the application loaded into it.
// A platform function was called while no phone runs (before the first is made or after the
// last is gone): the call fails.
struct NoPhoneRunning : std::logic_error {
    using std::logic_error::logic_error;
};

// The platform functions that the application calls reach the phone that is active: the one
// made last, or the one made active since (two phones side by side take turns).
class Phone {
public:
    explicit Phone(PhoneOptions options);
    ~Phone();
    Phone(const Phone&) = delete;
    Phone& operator=(const Phone&) = delete;

    // The active phone; with none it throws NoPhoneRunning, which fails the call.
    static Phone& active() {
        if (!active_) throw NoPhoneRunning("a platform function was called with no phone running");
        return *active_;
    }
    static bool hasActive() { return active_ != nullptr; }
    // The power went in a write: every platform call fails from now on.
    bool poweredOff() const { return files_.poweredOff(); }
    // The platform functions reach this phone from now on.
    void activate() { active_ = this; }

    // Loads the module, calls its entry with the application file's path on the phone, starts
    // it, grants it the UI token and delivers one tick.
    Result<void, LoadError> boot(const std::filesystem::path& module, const std::string& appPath);
    // The two halves of boot: the loader places the module; its entry runs and it starts.
    Result<void, LoadError> load(const std::filesystem::path& module);
    Result<void, LoadError> start(const std::string& appPath);

    // Input as a user gives it. A key goes to the character editor while it is open.
    void press(std::uint8_t key);
    void tick();
    void deliver(std::uint32_t code);
    bool editorOpen() { return editor() != nullptr; }
    // The character editor that takes keys and text: the one on top, unless a call covers it.
    CharacterEditor* editor();
    void setEditorText(std::u16string text);
    void editorBack();

    // An incoming call. `interrupt` revokes the application's UI token (0x1F) and puts the
    // platform's call screen in its place, which takes the keys until `resume` (or the end key
    // there, which declines the call) grants the token back (0x1E) and asks for a repaint (0x14).
    // The display stays the platform's until the application has taken the token back. False when
    // the application is not running, or is already interrupted, or not interrupted.
    bool interrupt();
    bool resume();
    bool interrupted() const { return calling_; }

    // Time passes on the phone; true when that changed what it shows (a pending letter was taken).
    bool advance(Clock::Duration by);
    // How long until time changes something by itself; none while nothing waits for it.
    std::optional<Clock::Duration> untilDue();

    // The picture the user sees: the platform's call screen while it holds the display, the
    // editor while it is on top, the display through a canvas, and a dark screen while the
    // application has no dialog at all.
    Surface screen();
    Lifecycle lifecycle() const { return framework_.lifecycle(); }
    std::uint32_t stateId() const { return framework_.stateId(); }

    // The calls made to fail by the fault plans of every service, so far.
    std::uint32_t injectedFaults();

    // The platform's services, one small class each, as the platform functions' service code, the
    // kinds of module and the front ends reach them. The clock is the phone's own: only advance()
    // moves it.
    const Limits& limits() const { return limits_; }
    Graphics& graphics() { return graphics_; }
    FileSystem& files() { return files_; }
    Memory& memory() { return memory_; }
    Resources& resources() { return resources_; }
    Dialogs& dialogs() { return dialogs_; }
    Framework& framework() { return framework_; }
    Watchdog& watchdog() { return watchdog_; }
    Loader& loader() { return loader_; }
    const Loader& loader() const { return loader_; }
    CallTrace& calls() { return calls_; }

private:
    static inline Phone* active_ = nullptr;

    const Limits limits_;
    Clock clock_;
    Graphics graphics_;
    FileSystem files_;
    Memory memory_;
    Resources resources_;
    Dialogs dialogs_;
    Framework framework_;
    Watchdog watchdog_;
    Loader loader_;
    CallTrace calls_;

    void settle();
    void unloadModule();

    bool calling_ = false;       // the call screen is up and takes the keys
    bool callOnScreen_ = false;  // the display is the platform's: the application has no token yet
};

}  // namespace sim
