#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "phone.hpp"

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

// CP1251 bytes of UTF-8 text (through the host's iconv), so tests can write
// Cyrillic expectations readably.
std::string cp1251(const std::string& utf8);

// Bytes as a readable string for failure messages: printable ASCII as is, others \xNN.
std::string visible(const std::string& bytes);

inline constexpr const char* kDefaultRecord = "+80501234567 info";

// A phone with a fresh root folder; the application is booted into it by `boot`.
// The record file lies at <root>/elf/BlackList.txt.
class AppTest : public ::testing::Test {
protected:
    AppTest();
    ~AppTest() override;

    // Starts the application; the records, when given, are written to the file first.
    void boot(std::uint8_t language = LANGUAGE_ENGLISH, const std::string& appPath = sim::kDefaultAppPath);
    void bootWith(const std::string& records, std::uint8_t language = LANGUAGE_ENGLISH);
    // Ends the current phone and makes a new one on the same folder.
    void restartPhone(std::uint8_t language = LANGUAGE_ENGLISH);

    std::filesystem::path recordFile() const { return root_.path() / "elf" / "BlackList.txt"; }
    std::string records() const;
    void writeRecords(const std::string& bytes) const;
    bool recordFileExists() const { return std::filesystem::exists(recordFile()); }

    // A global or function of the loaded application, by name.
    template <class T>
    T& global(const char* name) {
        T* found = phone().loader.symbol<T>(name);
        if (!found) throw std::runtime_error(std::string("the application has no symbol ") + name);
        return *found;
    }
    template <class Fn>
    Fn* function(const char* name) {
        return &global<Fn>(name);
    }

    // The paging model as the application holds it.
    int len() { return global<std::uint8_t>("len"); }
    int pg() { return global<std::uint8_t>("pg"); }
    int set() { return global<std::uint8_t>("set"); }
    int selected() { return 12 * pg() + set(); }

    sim::Phone& phone() { return *phone_; }
    sim::Surface screen() { return phone_->screen(); }
    sim::Rgb565 pixel(int x, int y) { return phone_->screen().at(x, y); }
    void press(std::uint8_t key) { phone_->press(key); }
    void pressTimes(std::uint8_t key, int times) {
        for (int i = 0; i < times; ++i) press(key);
    }

    const std::filesystem::path& root() const { return root_.path(); }

private:
    TempFolder root_;
    std::unique_ptr<sim::Phone> phone_;
};

// RGB565 of 8-bit components, the colour the application's painters produce.
constexpr sim::Rgb565 rgb(int r, int g, int b) { return sim::toRgb565(r, g, b); }

}  // namespace nuvtest
