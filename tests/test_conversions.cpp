// The application's character conversions: the editor's 16-bit text back to CP1251
// bytes (checked against the host's iconv over every code unit), and the byte-to-glyph
// mapping of the list screen.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "app_test.hpp"
#include "platform/types.h"

using namespace nuvtest;

namespace {

constexpr std::size_t kRecordChars = 50;  // what `buf` holds besides its zero
constexpr char kGuard = static_cast<char>(0xA5);
constexpr char kUnmappable = '?';

// The host's own CP1251 encoder, one code unit at a time.
class Cp1251Oracle {
public:
    Cp1251Oracle() : cd_(::iconv_open("CP1251", "UTF-16LE")) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no CP1251");
    }
    ~Cp1251Oracle() { ::iconv_close(cd_); }
    Cp1251Oracle(const Cp1251Oracle&) = delete;
    Cp1251Oracle& operator=(const Cp1251Oracle&) = delete;

    // The byte CP1251 has for the code unit, or nothing when it has none.
    std::optional<std::uint8_t> encode(char16_t unit) {
        char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        char out[8] = {};
        char* inp = in;
        char* outp = out;
        std::size_t inLeft = sizeof in, outLeft = sizeof out;
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        const std::size_t r = ::iconv(cd_, &inp, &inLeft, &outp, &outLeft);
        if (r == static_cast<std::size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 1) return std::nullopt;
        return static_cast<std::uint8_t>(out[0]);
    }

private:
    iconv_t cd_;
};

// UTF-8 text as 16-bit code units, so cases read as the text they stand for.
std::u16string utf16(const std::string& utf8) {
    iconv_t cd = ::iconv_open("UTF-16LE", "UTF-8");
    std::string in = utf8, out(utf8.size() * 4, '\0');
    char* inp = in.data();
    char* outp = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const std::size_t r = ::iconv(cd, &inp, &inLeft, &outp, &outLeft);
    ::iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("not UTF-8: " + utf8);
    std::u16string units;
    for (std::size_t i = 0; i + 1 < out.size() - outLeft; i += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(out[i]) | static_cast<unsigned char>(out[i + 1]) << 8));
    return units;
}

std::string hexUnits(const std::u16string& units) {
    std::ostringstream text;
    text << std::hex;
    for (char16_t u : units) text << "U+" << static_cast<unsigned>(u) << ' ';
    return text.str();
}

// The glyph code the list screen draws for a byte of the record file.
std::uint8_t glyphFor(std::uint8_t byte) {
    switch (byte) {
    case 0xA8: return 'E';  // Ё
    case 0xB8: return 'e';  // ё
    case 0x96: return '-';  // en dash
    case 0xAB:              // «
    case 0xBB: return '"';  // »
    default: break;
    }
    const bool printableAscii = byte >= 0x20 && byte <= 0x7E;
    const bool cyrillicLetter = byte >= 0xC0;
    return printableAscii || cyrillicLetter ? byte : ' ';
}

class Conversions : public AppTest {
protected:
    void SetUp() override {
        boot();
        toCp1251 = function<void(const WCHAR*, char*)>("UCS2toCP1251");
        newWin = function<UINT8(UINT8)>("new_win");
    }

    // Converts `units` (a zero is appended) into a guarded buffer. The result is the bytes
    // before the first zero; every byte after that zero must still be the guard.
    std::string convert(const std::u16string& units) {
        std::array<WCHAR, 128> source{};
        if (units.size() >= source.size()) throw std::logic_error("source too long for the test buffer");
        for (std::size_t i = 0; i < units.size(); ++i) source[i] = units[i];
        std::array<char, 128> destination;
        destination.fill(kGuard);
        toCp1251(source.data(), destination.data());
        const std::size_t end = static_cast<std::size_t>(std::find(destination.begin(), destination.end(), '\0') - destination.begin());
        EXPECT_LT(end, destination.size()) << "no terminating zero for " << hexUnits(units);
        for (std::size_t i = end + 1; i < destination.size(); ++i) {
            if (destination[i] != kGuard) {
                ADD_FAILURE() << "byte " << i << " written beyond the terminating zero at " << end << " for "
                              << hexUnits(units);
                break;
            }
        }
        return std::string(destination.data(), std::min(end, destination.size()));
    }

    void (*toCp1251)(const WCHAR*, char*) = nullptr;
    UINT8 (*newWin)(UINT8) = nullptr;
};

TEST_F(Conversions, WidenedFileBytesComeBackAsTheSameBytes) {
    // Every non-zero byte widened as u_atou does, in record-sized pieces.
    for (int first = 1; first <= 0xFF; first += static_cast<int>(kRecordChars)) {
        std::u16string units;
        std::string bytes;
        for (int b = first; b <= 0xFF && units.size() < kRecordChars; ++b) {
            units.push_back(static_cast<char16_t>(b));
            bytes.push_back(static_cast<char>(b));
        }
        EXPECT_EQ(visible(convert(units)), visible(bytes)) << "from byte " << first;
    }
}

TEST_F(Conversions, EveryOtherCodeUnitGivesItsCp1251ByteOrAQuestionMark) {
    Cp1251Oracle oracle;
    int mapped = 0, failures = 0;
    for (std::uint32_t unit = 0x0100; unit <= 0xFFFF; ++unit) {
        const char16_t u = static_cast<char16_t>(unit);
        // Lone surrogates are no characters at all: CP1251 cannot hold them either.
        const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
        const std::optional<std::uint8_t> byte = surrogate ? std::nullopt : oracle.encode(u);
        const std::string expected(1, byte ? static_cast<char>(*byte) : kUnmappable);
        mapped += byte.has_value();
        const std::string got = convert(std::u16string(1, u));
        if (got != expected && ++failures <= 20)
            ADD_FAILURE() << "U+" << std::hex << unit << " gave " << visible(got) << ", CP1251 has "
                          << visible(expected);
    }
    EXPECT_EQ(failures, 0);
    // А to я, and the 48 letters and signs of 0x80-0xBF that lie above U+00FF.
    EXPECT_EQ(mapped, 64 + 48) << "the host's CP1251 table is not the standard one";
}

TEST_F(Conversions, NoCharacterEndsTheTextEarly) {
    // Runs of 50 consecutive code units over the whole range each give 50 bytes and a zero.
    for (std::uint32_t first = 1; first <= 0xFFFF; first += kRecordChars) {
        std::u16string units;
        for (std::uint32_t u = first; u <= 0xFFFF && units.size() < kRecordChars; ++u)
            units.push_back(static_cast<char16_t>(u));
        const std::string got = convert(units);
        ASSERT_EQ(got.size(), units.size()) << "the run from U+" << std::hex << first << " was cut short";
    }
}

TEST_F(Conversions, TypedTextBecomesTheFileBytes) {
    struct Case {
        std::u16string units;
        std::string bytes;
    };
    const Case cases[] = {
        {u"Ab\u0410\u044F\u0401\u0451", "\x41\x62\xC0\xFF\xA8\xB8"},
        {u"\u00C0\u00A8", "\xC0\xA8"},     // widened bytes of the file
        {u"\u0450x", "?x"},                // ѐ is not in CP1251, and the text goes on
        {u"\u2116 5", "\xB9 5"},           // №
        {u"\u0100\u0150\u1DC6", "???"},    // Latin letters outside CP1251
        {u"\u20AC\u2122\u2026", "\x88\x99\x85"},
    };
    for (const Case& c : cases) EXPECT_EQ(visible(convert(c.units)), visible(c.bytes)) << hexUnits(c.units);

    // Russian, Ukrainian, Belarusian and Serbian letters and the typographic signs a user
    // may type, against the host's CP1251 of the same text.
    const char* texts[] = {
        "Привет, мир! Ёлка и ёжик",
        "Їжак, Єва, Ґанок, ґава, Іван, і, ї, є",
        "Ўсё, ў",
        "Ђорђе Љиљана Њива Ћуприја Џеп",
        "ђ љ њ ћ џ Ѓ ѓ Ќ ќ Ѕ ѕ Ј ј",
        "№ 5 — «цитата» – „так“ ‘да’ … • † ‡ ‰ ‹ › € ™",
    };
    for (const char* text : texts) {
        const std::u16string units = utf16(text);
        ASSERT_LE(units.size(), kRecordChars) << text;
        EXPECT_EQ(visible(convert(units)), visible(cp1251(text))) << text;
    }
}

TEST_F(Conversions, NeverWritesMoreThanARecordAndItsZero) {
    // Sources of 0 to 60 characters: at most 50 bytes come out, always zero-terminated,
    // and nothing lands after the zero (the guard bytes of `convert` stay).
    for (std::size_t length = 0; length <= 60; ++length) {
        std::u16string units;
        std::string expected;
        for (std::size_t i = 0; i < length; ++i) {
            const bool cyrillic = i % 2;
            units.push_back(cyrillic ? static_cast<char16_t>(0x0410 + i) : static_cast<char16_t>('a' + i % 26));
            if (i < kRecordChars)
                expected.push_back(cyrillic ? static_cast<char>(0xC0 + i) : static_cast<char>('a' + i % 26));
        }
        EXPECT_EQ(visible(convert(units)), visible(expected)) << length << " characters";
    }
}

TEST_F(Conversions, FillsTheEditBufferWithoutOverrunningIt) {
    // The application's own `buf` is 51 bytes: a 60-character source fills it exactly.
    char& buf = global<char>("buf");
    char* const edit = &buf;
    std::array<WCHAR, 61> source{};
    for (std::size_t i = 0; i < 60; ++i) source[i] = static_cast<WCHAR>(0x0430 + i % 32);
    std::array<char, 64> destination;
    destination.fill(kGuard);
    toCp1251(source.data(), destination.data());
    for (std::size_t i = 0; i < kRecordChars; ++i)
        EXPECT_EQ(static_cast<unsigned char>(destination[i]), 0xE0 + i % 32) << "byte " << i;
    EXPECT_EQ(destination[kRecordChars], '\0');
    for (std::size_t i = kRecordChars + 1; i < destination.size(); ++i) EXPECT_EQ(destination[i], kGuard) << "byte " << i;

    toCp1251(source.data(), edit);
    EXPECT_EQ(std::strlen(edit), kRecordChars);
}

TEST_F(Conversions, EmptyTextGivesASingleZero) { EXPECT_EQ(convert(u""), ""); }

TEST_F(Conversions, EveryByteGetsTheGlyphTheFontCanDraw) {
    for (int byte = 0; byte <= 0xFF; ++byte)
        EXPECT_EQ(newWin(static_cast<UINT8>(byte)), glyphFor(static_cast<std::uint8_t>(byte)))
            << "byte 0x" << std::hex << byte;
    // The cases a reader checks first.
    for (int blank : {0, 9, 10, 13, 0x7F, 0x80, 0xBF}) EXPECT_EQ(newWin(static_cast<UINT8>(blank)), ' ') << blank;
}

}  // namespace
