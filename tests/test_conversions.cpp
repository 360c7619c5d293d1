// The application's conversion of the editor's 16-bit text back to CP1251 bytes: widened file
// bytes come back unchanged, every other code unit is checked against the host's iconv, and no
// text writes past a record and its zero.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <string>

#include "app_test.hpp"
#include "platform/types.h"

using namespace nuvtest;

namespace {

constexpr char kGuard = static_cast<char>(0xA5);

class Conversions : public AppTest {
protected:
    void SetUp() override {
        boot();
        toCp1251 = function<void(const WCHAR*, char*)>("UCS2toCP1251");
    }

    // The bytes before the zero that `units` give; every byte after the zero must keep its guard.
    std::string convert(const std::u16string& units) {
        std::array<WCHAR, 80> source{};
        std::copy(units.begin(), units.end(), source.begin());
        std::array<char, 80> out;
        out.fill(kGuard);
        toCp1251(source.data(), out.data());
        const auto zero = std::find(out.begin(), out.end(), '\0');
        EXPECT_TRUE(zero != out.end() && std::all_of(zero + 1, out.end(), [](char c) { return c == kGuard; }))
            << "no zero, or bytes written after it, for " << units.size() << " units from U+" << std::hex
            << static_cast<int>(units.empty() ? 0 : units[0]);
        return std::string(out.begin(), zero);
    }

    void (*toCp1251)(const WCHAR*, char*) = nullptr;
};

TEST_F(Conversions, WidenedFileBytesComeBackAsTheSameBytes) {
    for (int first = 1; first <= 0xFF; first += kRecordChars) {
        std::u16string units;
        std::string bytes;
        for (int b = first; b <= 0xFF && units.size() < std::size_t{kRecordChars}; ++b) {
            units.push_back(static_cast<char16_t>(b));
            bytes.push_back(static_cast<char>(b));
        }
        EXPECT_EQ(visible(convert(units)), visible(bytes)) << "from byte " << first;
    }
}

TEST_F(Conversions, EveryOtherCodeUnitGivesItsCp1251ByteOrAQuestionMark) {
    iconv_t host = ::iconv_open("CP1251", "UTF-16LE");
    ASSERT_NE(host, reinterpret_cast<iconv_t>(-1));
    int mapped = 0;
    for (std::uint32_t unit = 0x0100; unit <= 0xFFFF; ++unit) {
        char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)}, out[4];
        char *inp = in, *outp = out;
        std::size_t inLeft = sizeof in, outLeft = sizeof out;
        ::iconv(host, nullptr, nullptr, nullptr, nullptr);
        // Lone surrogates are no characters: CP1251 cannot hold them either.
        const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
        const bool ok = !surrogate && ::iconv(host, &inp, &inLeft, &outp, &outLeft) == 0 && outLeft == sizeof out - 1;
        mapped += ok;
        const std::string got = convert(std::u16string(1, static_cast<char16_t>(unit)));
        ASSERT_EQ(visible(got), visible(std::string(1, ok ? out[0] : '?'))) << "U+" << std::hex << unit;
    }
    ::iconv_close(host);
    // А to я, and the 48 letters and signs of 0x80-0xBF that lie above U+00FF.
    EXPECT_EQ(mapped, 64 + 48) << "the host's CP1251 table is not the standard one";
}

TEST_F(Conversions, NeverWritesMoreThanARecordAndItsZero) {
    // Sources of 0 to 60 characters give at most 50 bytes and a zero, and nothing after it.
    for (std::size_t length = 0; length <= 60; ++length) {
        std::u16string units;
        std::string expected;
        for (std::size_t i = 0; i < length; ++i) {
            const bool cyrillic = i % 2;
            units.push_back(static_cast<char16_t>(cyrillic ? 0x0410 + i : 'a' + i % 26));
            if (i < std::size_t{kRecordChars})
                expected.push_back(static_cast<char>(cyrillic ? 0xC0 + i : 'a' + i % 26));
        }
        EXPECT_EQ(visible(convert(units)), visible(expected)) << length << " characters";
    }
}

}  // namespace
