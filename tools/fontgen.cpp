// fontgen: turns the readable glyph source tools/font/glyphs.txt into a C++ table of the glyphs.
//
//   fontgen <glyphs.txt> <out.cpp>              the application's table font_bits
//   fontgen --platform <glyphs.txt> <out.cpp>   the platform's own copy, sim::kPlatformFont, which
//                                               the simulator's dialogs draw with
//
// The source holds one block per character code 0x20 to 0xFF, in ascending order: a header line
// "0xNN <character or name>" followed by exactly 12 rows of 5 characters, '#' for ink and '.' for
// background. Blank lines separate blocks; lines starting with ';' are comments and may appear
// anywhere. Anything else is an error, reported with the file name and line number.
//
// Each glyph becomes 8 bytes: the 60 pixels, row by row from the top and left to right within a row,
// as one bit stream starting at the most significant bit of byte 0; the last 4 bits are zero.
//
// The output is rewritten only when its content changes, so an unchanged font does not make the
// build recompile the table.

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kFirstCode = 0x20;
constexpr int kLastCode = 0xFF;
constexpr int kGlyphCount = kLastCode - kFirstCode + 1;
constexpr int kRows = 12;
constexpr int kColumns = 5;
constexpr int kGlyphBytes = 8;

struct Glyph {
    int code = 0;
    std::string label;
    std::array<std::uint8_t, kGlyphBytes> bytes{};
};

// Thrown with a message that already names the file and line.
struct SourceError {
    std::string message;
};

class GlyphSourceParser {
public:
    explicit GlyphSourceParser(std::string fileName) : fileName_(std::move(fileName)) {}

    std::vector<Glyph> parse(std::istream& in) {
        std::vector<Glyph> glyphs;
        std::string line;
        while (std::getline(in, line)) {
            ++lineNumber_;
            if (isComment(line)) continue;
            if (rowsRead_ >= 0) {
                readRow(line, glyphs.back());
                continue;
            }
            if (line.empty()) continue;
            if (static_cast<int>(glyphs.size()) == kGlyphCount)
                fail("unexpected text after the last glyph (0x" + hex(kLastCode) + ")");
            glyphs.push_back(readHeader(line, kFirstCode + static_cast<int>(glyphs.size())));
            rowsRead_ = 0;
        }
        if (rowsRead_ >= 0)
            fail("end of file inside the glyph 0x" + hex(glyphs.back().code) + ": it has " + std::to_string(rowsRead_) +
                 " of " + std::to_string(kRows) + " rows");
        if (static_cast<int>(glyphs.size()) != kGlyphCount)
            fail("end of file after " + std::to_string(glyphs.size()) + " glyphs; expected " +
                 std::to_string(kGlyphCount) + " (0x" + hex(kFirstCode) + " to 0x" + hex(kLastCode) + ")");
        return glyphs;
    }

private:
    static bool isComment(const std::string& line) { return !line.empty() && line[0] == ';'; }

    static std::string hex(int value) {
        char text[8];
        std::snprintf(text, sizeof text, "%02X", value);
        return text;
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    }

    [[noreturn]] void fail(const std::string& what) const {
        throw SourceError{fileName_ + ":" + std::to_string(lineNumber_) + ": " + what};
    }

    Glyph readHeader(const std::string& line, int expectedCode) const {
        const std::string expected = "0x" + hex(expectedCode);
        if (line.size() < 4 || line[0] != '0' || line[1] != 'x' || hexDigit(line[2]) < 0 || hexDigit(line[3]) < 0)
            fail("expected the header of glyph " + expected + " (\"" + expected + " <name>\"), found \"" + line + "\"");
        const int code = hexDigit(line[2]) * 16 + hexDigit(line[3]);
        if (code != expectedCode) fail("glyph 0x" + hex(code) + " is out of order: expected " + expected);
        if (line.size() < 6 || line[4] != ' ' || line[5] == ' ')
            fail("the header of glyph " + expected + " needs one space and a character or name after the code");
        Glyph glyph;
        glyph.code = code;
        glyph.label = line.substr(5);
        return glyph;
    }

    void readRow(const std::string& line, Glyph& glyph) {
        const std::string where = "row " + std::to_string(rowsRead_) + " of glyph 0x" + hex(glyph.code);
        if (line.empty())
            fail("glyph 0x" + hex(glyph.code) + " ends after " + std::to_string(rowsRead_) + " of " +
                 std::to_string(kRows) + " rows");
        if (line.size() != kColumns)
            fail(where + " must be exactly " + std::to_string(kColumns) + " characters of '#' or '.', found \"" + line +
                 "\"");
        for (int column = 0; column < kColumns; ++column) {
            const char c = line[column];
            if (c != '#' && c != '.')
                fail(where + " has '" + std::string(1, c) + "' at column " + std::to_string(column) +
                     "; only '#' and '.' are allowed");
            if (c == '#') {
                const int bit = rowsRead_ * kColumns + column;
                glyph.bytes[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
            }
        }
        if (++rowsRead_ == kRows) rowsRead_ = -1;
    }

    std::string fileName_;
    int lineNumber_ = 0;
    int rowsRead_ = -1;  // rows of the current glyph read so far; -1 between glyphs
};

std::string renderTable(const std::vector<Glyph>& glyphs, bool platform) {
    std::ostringstream out;
    out << "// Generated by tools/fontgen from tools/font/glyphs.txt: edit the glyphs there, never this table.\n";
    if (platform)
        out << "#include \"platform_font.hpp\"\n"
            << "const std::uint8_t sim::kPlatformFont[sim::kFontTableBytes] = {\n";
    else
        out << "#include \"draw/font.h\"\n"
            << "const UINT8 font_bits[FONT_TABLE_BYTES] = {\n";
    for (const Glyph& glyph : glyphs) {
        out << "   ";
        for (std::uint8_t byte : glyph.bytes) {
            char text[8];
            std::snprintf(text, sizeof text, " 0x%02X,", byte);
            out << text;
        }
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", glyph.code);
        out << " // " << code << ' ' << glyph.label;
        // A comment ending in a backslash would swallow the next line of the table.
        if (glyph.label.back() == '\\') out << " (backslash)";
        out << '\n';
    }
    out << "};\n";
    return out.str();
}

bool sameAsFile(const std::string& path, const std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string existing((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return existing == content;
}

}  // namespace

int main(int argc, char** argv) {
    const bool platform = argc == 4 && std::string(argv[1]) == "--platform";
    if (argc != 3 && !platform) {
        std::fprintf(stderr, "usage: fontgen [--platform] <glyphs.txt> <out.cpp>\n");
        return 2;
    }
    const std::string sourcePath = argv[argc - 2];
    const std::string outputPath = argv[argc - 1];

    std::ifstream source(sourcePath, std::ios::binary);
    if (!source) {
        std::fprintf(stderr, "fontgen: cannot open %s\n", sourcePath.c_str());
        return 1;
    }
    std::vector<Glyph> glyphs;
    try {
        glyphs = GlyphSourceParser(sourcePath).parse(source);
    } catch (const SourceError& error) {
        std::fprintf(stderr, "fontgen: %s\n", error.message.c_str());
        return 1;
    }

    const std::string table = renderTable(glyphs, platform);
    if (sameAsFile(outputPath, table)) return 0;

    // Write next to the target and rename, so an interrupted run never leaves half a table behind.
    std::error_code ignored;
    const std::filesystem::path target(outputPath);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ignored);
    const std::filesystem::path temporary = target.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << table;
        out.close();
        if (!out) {
            std::fprintf(stderr, "fontgen: cannot write %s\n", temporary.string().c_str());
            return 1;
        }
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, target, renameError);
    if (renameError) {
        std::fprintf(stderr, "fontgen: cannot replace %s: %s\n", outputPath.c_str(), renameError.message().c_str());
        return 1;
    }
    return 0;
}
