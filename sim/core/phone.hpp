#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "dialogs.hpp"
#include "filesystem.hpp"
#include "framework.hpp"
#include "graphics.hpp"
#include "loader.hpp"
#include "memory.hpp"
#include "resources.hpp"

namespace sim {

inline constexpr std::uint8_t kLanguageRussian = 0x23;
inline constexpr std::uint8_t kLanguageEnglish = 0x01;
inline constexpr std::uint32_t kEvcodeBase = 0x00010000;
inline constexpr const char* kDefaultAppPath = "/elf/nuv-oka.elf";

// Keys of the phone's keypad, by the codes that key presses carry.
enum Key : std::uint8_t {
    kKeySoftLeft = 14,
    kKeyOk = 15,
    kKeyEnd = 17,
    kKeyUp = 44,
    kKeyDown = 45,
    kKeyLeft = 46,
    kKeyRight = 47,
    kKeySelect = 61,
};

struct PhoneOptions {
    std::filesystem::path root = "phone";
    std::uint8_t language = kLanguageEnglish;
};

enum class BootStatus { Started, ModuleNotLoaded, NotRegistered, NotStarted };

struct BootResult {
    BootStatus status;
    std::string message;
    explicit operator bool() const { return status == BootStatus::Started; }
};

// One simulated phone: every platform service, and the application loaded into it.
// The platform functions that the application calls reach the phone that is active;
// a phone is active from its construction to its destruction, one at a time.
class Phone {
public:
    explicit Phone(PhoneOptions options);
    ~Phone();
    Phone(const Phone&) = delete;
    Phone& operator=(const Phone&) = delete;

    static Phone& active();
    static bool hasActive();

    // Loads the module, calls its entry with the application's path, starts it, grants
    // it the UI token and delivers one tick.
    BootResult boot(const std::filesystem::path& module, const std::string& appPath = kDefaultAppPath);

    // Input as a user gives it. A key goes to the character editor while it is open.
    void press(std::uint8_t key);
    void tick();
    void deliver(std::uint32_t code);
    bool editorOpen();
    void setEditorText(std::u16string text);
    void editorBack();

    // The picture the user sees: the editor while it is on top, else the display.
    Surface screen();
    AppState state() const { return framework.state(); }

    Graphics graphics;
    FileSystem files;
    Memory memory;
    Resources resources;
    Dialogs dialogs;
    Framework framework;
    Loader loader;

private:
    void settle();
};

}  // namespace sim
