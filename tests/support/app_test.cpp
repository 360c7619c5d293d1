#include "app_test.hpp"

#include <iconv.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "screen_text.hpp"
#include "script.hpp"

namespace nuvtest {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nuv-oka-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string cp1251(const std::string& utf8) {
    iconv_t cd = ::iconv_open("CP1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no CP1251");
    std::string in = utf8, out(utf8.size() * 2 + 1, '\0');
    char* inp = in.data();
    char* outp = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const std::size_t r = ::iconv(cd, &inp, &inLeft, &outp, &outLeft);
    ::iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("not CP1251 text: " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

std::string goldenRecords() {
    const char* const records[] = {
        "+80501234567 info",
        "+79161234567 Иван Петров",
        "+380441234567 Мама",
        "112 Emergency",
        "+74951112233 Работа, офис",
        "Ёлка «Новый год» – дача",
        "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ",
        "абвгдежзийклмнопрстуфхцчшщъыьэюя",
        "0123456789 !\"#$%&'()*+,-./:;<=>?@[]_",
    };
    std::string out;
    for (const char* record : records) out += (out.empty() ? "" : "\r\n") + cp1251(record);
    return out;
}

std::string visible(const std::string& bytes) {
    std::ostringstream out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out << c;
        } else {
            static const char* hex = "0123456789ABCDEF";
            out << "\\x" << hex[c >> 4] << hex[c & 15];
        }
    }
    return out.str();
}

std::string numbered(int last, int first) {
    std::string bytes;
    for (int i = first; i <= last; ++i) bytes += (i > first ? "\r\n" : "") + std::string("R") + std::to_string(i);
    return bytes;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string utf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6), out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12), out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

SimRun runSimulator(const std::filesystem::path& folder, const std::string& args, const std::string& script) {
    const auto scriptFile = folder / "script.txt";
    std::ofstream(scriptFile) << script;
    const std::string command =
        "cd '" + folder.string() + "' && '" NUV_RUNNER_PATH "' " + args + " < '" + scriptFile.string() + "' 2>&1";
    SimRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe)) run.output += chunk;
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::ostream& operator<<(std::ostream& out, const Position& p) { return out << p.selected << "/" << p.count; }

std::filesystem::path moduleUnderTest() {
    const char* chosen = std::getenv("NUV_MODULE");
    return chosen && *chosen ? chosen : NUV_MODULE_PATH;
}

AppTest::AppTest() { restartPhone(); }

AppTest::~AppTest() = default;

void AppTest::restartPhone(std::uint8_t language) {
    phone_.reset();
    phone_ = std::make_unique<sim::Phone>(sim::PhoneOptions{root(), language, nuvoka::typing()});
}

void AppTest::boot(std::uint8_t language, const std::string& appPath) {
    phone_->resources().setLanguage(language);
    std::filesystem::create_directories(root() / "elf");
    const auto booted = phone_->boot(moduleUnderTest(), appPath);
    ASSERT_TRUE(booted) << booted.error().message;
}

void AppTest::bootWith(const std::string& bytes, std::uint8_t language) {
    writeRecords(bytes);
    boot(language);
}

void AppTest::writeRecords(const std::string& bytes) const {
    std::filesystem::create_directories(recordFile().parent_path());
    std::ofstream(recordFile(), std::ios::binary | std::ios::trunc) << bytes;
}

std::string AppTest::state() { return runner::stateName(phone(), nuvoka::description()); }

Position AppTest::position() {
    const std::string text = readText(phone().graphics().display(), 40, 209, 16, rgb(170, 170, 170));
    Position p;
    if (std::sscanf(text.c_str(), "%d/%d", &p.selected, &p.count) != 2) return {};
    return p;
}

int AppTest::menuItem() {
    // The highlight covers 11 rows 12 apart from row 148 in the default five-item menu.
    const sim::Surface s = phone().graphics().display();
    for (int item = 0; item < 5; ++item)
        if (s.at(30, 149 + 12 * item) == rgb(85, 68, 102)) return item;
    return -1;
}

std::string AppTest::message() {
    // The error window's title bar; its last row lies under the body, so it is left out.
    const sim::Surface s = phone().graphics().display();
    if (s.at(9, 100) != rgb(120, 120, 255)) return "";  // the error window's left frame
    std::string title = readText(s, 10, 49, 31, rgb(250, 250, 0), {0, 49, 175, 59});
    title.erase(title.find_last_not_of(' ') + 1);
    return title;
}

void AppTest::highlight(int item) {
    press(KEY_SOFT_LEFT);
    for (int guard = 0; menuItem() != item && guard < 5; ++guard) press(KEY_DOWN);
    ASSERT_EQ(menuItem(), item);
}

void AppTest::choose(int item) {
    highlight(item);
    press(KEY_OK);
}

void AppTest::selectRecord(int record) {
    for (int guard = 0; position().selected != record && guard < 256; ++guard) press(KEY_DOWN);
    ASSERT_EQ(position().selected, record);
}

::testing::AssertionResult AppTest::nothingHeld() {
    const sim::Memory& memory = phone().memory();
    const auto blocks = memory.outstandingBlocks(), handles = phone().files().openHandles();
    if (blocks == 0 && handles == 0 && memory.badReleases() == 0 && memory.overruns() == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << blocks << " blocks and " << handles << " files held, "
                                         << memory.badReleases() << " bad releases, " << memory.overruns()
                                         << " blocks written past their end";
}

}  // namespace nuvtest
