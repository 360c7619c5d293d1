#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "phone.hpp"
#include "application.hpp"
#include "platform/app_framework.h"
#include "platform/resources.h"

namespace nuvtest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// CP1251 bytes of UTF-8 text (through the host's iconv), so tests can write Cyrillic readably.
std::string cp1251(const std::string& utf8);
// The records of the golden screens (tests/golden/): Latin, Cyrillic, digits, punctuation and the
// characters the list shows as look-alikes (Ё, «», the en dash), as CP1251 lines.
std::string goldenRecords();
// Bytes as a readable string for failure messages: printable ASCII as is, others \xNN.
std::string visible(const std::string& bytes);
// "R1" CR LF "R2" ... up to "R<last>", from record `first`.
std::string numbered(int last, int first = 1);
std::string readFile(const std::filesystem::path& file);
std::string utf8(const std::u16string& text);  // characters of the basic plane only

// Runs nuv-oka-sim with `args` in `folder`, `script` on its standard input; its exit status and
// what it said.
struct SimRun {
    int status;
    std::string output;
};
SimRun runSimulator(const std::filesystem::path& folder, const std::string& args, const std::string& script = "");

// Whether a sanitizer watches the memory: it stops a test that writes out of bounds on purpose.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
inline constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(memory_sanitizer);
#else
inline constexpr bool kSanitized = false;
#endif

inline constexpr const char* kDefaultRecord = "+80501234567 info";
inline constexpr int kPageRows = 12;
inline constexpr int kRecordChars = 50;
enum MenuItem { kEdit = 0, kDelete = 1, kAdd = 2, kAbout = 3, kExit = 4 };

// The selection as the soft-key bar shows it: "selected/count".
struct Position {
    int selected = 0, count = 0;
    friend bool operator==(const Position&, const Position&) = default;
};
std::ostream& operator<<(std::ostream& out, const Position& p);

// The module the tests boot: the one NUV_MODULE names in the environment (the phone's own ARM
// module, say), else the host build.
std::filesystem::path moduleUnderTest();

// A phone with a fresh root folder; the application is booted into it by `boot`.
// The record file lies at <root>/elf/BlackList.txt.
class AppTest : public ::testing::Test {
protected:
    AppTest();
    ~AppTest() override;

    // Starts the application; `bootWith` writes the records to the file first.
    void boot(std::uint8_t language = LANGUAGE_ENGLISH, const std::string& appPath = nuvoka::kAppPath);
    void bootWith(const std::string& records, std::uint8_t language = LANGUAGE_ENGLISH);
    // Ends the current phone and makes a new one on the same folder.
    void restartPhone(std::uint8_t language = LANGUAGE_ENGLISH);

    const std::filesystem::path& root() const { return root_.path(); }
    std::filesystem::path recordFile() const { return root() / "elf" / "BlackList.txt"; }
    std::filesystem::path tempFile() const { return root() / "elf" / "BlackList.tmp"; }
    std::string records() const { return readFile(recordFile()); }
    void writeRecords(const std::string& bytes) const;

    sim::Phone& phone() { return *phone_; }
    sim::Surface screen() { return phone_->screen(); }
    void press(std::uint8_t key, int times = 1) {
        for (int i = 0; i < times; ++i) phone_->press(key);
    }
    // The state's name as scripts give it: init, main, edit or ended.
    std::string state();

    // What the user reads on the list screen (the display, also behind the editor).
    Position position();
    // The highlighted menu item, or -1 while the menu is closed.
    int menuItem();
    // The error window's title, or "" when none is shown.
    std::string message();

    // Opens the menu and moves its highlight to `item`; `choose` confirms it as well.
    void highlight(int item);
    void choose(int item);
    // Moves the selection down to `record`.
    void selectRecord(int record);

    // Nothing held: no memory block, no open file.
    ::testing::AssertionResult nothingHeld();

    // A global or function of the loaded application, by name, for what no screen shows.
    template <class T>
    T& global(const char* name) {
        T* found = phone().loader().symbol<T>(name);
        if (!found) throw std::runtime_error(std::string("the application has no symbol ") + name);
        return *found;
    }
    template <class Fn>
    Fn* function(const char* name) {
        return &global<Fn>(name);
    }

private:
    TempFolder root_;
    std::unique_ptr<sim::Phone> phone_;
};

// RGB565 of 8-bit components, the colour the application's painters produce.
constexpr sim::Rgb565 rgb(int r, int g, int b) { return sim::toRgb565(r, g, b); }

}  // namespace nuvtest
