#include "app_test.hpp"

#include <iconv.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

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

AppTest::AppTest() { phone_ = std::make_unique<sim::Phone>(sim::PhoneOptions{root_.path(), LANGUAGE_ENGLISH}); }

AppTest::~AppTest() = default;

void AppTest::restartPhone(std::uint8_t language) {
    phone_.reset();
    phone_ = std::make_unique<sim::Phone>(sim::PhoneOptions{root_.path(), language});
}

void AppTest::boot(std::uint8_t language, const std::string& appPath) {
    phone_->resources.setLanguage(language);
    std::filesystem::create_directories(root_.path() / "elf");
    const sim::BootResult result = phone_->boot(NUV_MODULE_PATH, appPath);
    ASSERT_TRUE(result) << result.message;
}

void AppTest::bootWith(const std::string& bytes, std::uint8_t language) {
    writeRecords(bytes);
    boot(language);
}

std::string AppTest::records() const {
    std::ifstream in(recordFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void AppTest::writeRecords(const std::string& bytes) const {
    std::filesystem::create_directories(recordFile().parent_path());
    std::ofstream(recordFile(), std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace nuvtest
