// fontsheet: draws the built-in font (the generated table font_bits) into PNG pictures, so the
// glyphs can be judged by eye.
//
//   fontsheet OUT_DIR
//
// writes
//   OUT_DIR/font.png         all 224 glyphs, 16 to a row, at 1:1: white ink on black, each cell framed
//                            by a 1-pixel grid line, with the codes along the top and left edges;
//   OUT_DIR/font-x4.png      the same sheet magnified four times, for judging single pixels;
//   OUT_DIR/font-sample.png  sample texts in English and Russian and a few box-drawing figures,
//                            first at 1:1, then magnified three times, set with the application's
//                            5-pixel advance and 12-pixel line pitch.

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "draw/font.h"

namespace {

struct Rgb {
    UINT8 r, g, b;
};
static_assert(sizeof(Rgb) == 3, "image rows are handed to libpng as packed RGB bytes");

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGridLine{40, 48, 72};
constexpr Rgb kLabel{150, 150, 150};

class Image {
public:
    Image(int width, int height, Rgb background)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, background) {}

    int width() const { return width_; }
    int height() const { return height_; }

    void set(int x, int y, Rgb colour) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[static_cast<size_t>(y) * width_ + x] = colour;
    }
    Rgb at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

    void fillRect(int x, int y, int w, int h, Rgb colour) {
        for (int row = y; row < y + h; ++row)
            for (int column = x; column < x + w; ++column) set(column, row, colour);
    }

    // Copies `source` with its top-left corner at (x, y), each pixel as a scale x scale square.
    void paste(const Image& source, int x, int y, int scale) {
        for (int row = 0; row < source.height(); ++row)
            for (int column = 0; column < source.width(); ++column)
                fillRect(x + column * scale, y + row * scale, scale, scale, source.at(column, row));
    }

    const Rgb* row(int y) const { return &pixels_[static_cast<size_t>(y) * width_]; }

private:
    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

Image magnified(const Image& source, int scale) {
    Image result(source.width() * scale, source.height() * scale, kBlack);
    result.paste(source, 0, 0, scale);
    return result;
}

bool glyphInk(UINT8 code, int row, int column) {
    if (code < FONT_FIRST_CODE) return false;
    const UINT8* glyph = font_bits + (code - FONT_FIRST_CODE) * FONT_GLYPH_BYTES;
    const int bit = row * FONT_CELL_WIDTH + column;
    return (glyph[bit / 8] >> (7 - bit % 8)) & 1;
}

// Paints the ink of one character cell; background pixels are left as they are, as on the phone.
void drawChar(Image& image, int x, int y, UINT8 code, Rgb ink) {
    for (int row = 0; row < FONT_CELL_HEIGHT; ++row)
        for (int column = 0; column < FONT_CELL_WIDTH; ++column)
            if (glyphInk(code, row, column)) image.set(x + column, y + row, ink);
}

void drawText(Image& image, int x, int y, const std::string& text, Rgb ink) {
    for (unsigned char c : text) {
        drawChar(image, x, y, c, ink);
        x += FONT_CELL_WIDTH;
    }
}

// Code page 437 at 0xB0-0xDF, the order of the font's box pieces at 0x90-0xBF.
constexpr char32_t kBoxPieces[48] = {
    U'░', U'▒', U'▓', U'│', U'┤', U'╡', U'╢', U'╖', U'╕', U'╣', U'║', U'╗', U'╝', U'╜', U'╛', U'┐',
    U'└', U'┴', U'┬', U'├', U'─', U'┼', U'╞', U'╟', U'╚', U'╔', U'╩', U'╦', U'╠', U'═', U'╬', U'╧',
    U'╨', U'╤', U'╥', U'╙', U'╘', U'╒', U'╓', U'╫', U'╪', U'┘', U'┌', U'█', U'▄', U'▌', U'▐', U'▀',
};

UINT8 fontCode(char32_t c) {
    if (c >= 0x20 && c < 0x7F) return static_cast<UINT8>(c);
    if (c >= U'А' && c <= U'я') return static_cast<UINT8>(0xC0 + (c - U'А'));
    if (c == U'Ё') return 0xC5;  // the font has no Ё; Е stands in for it
    if (c == U'ё') return 0xE5;
    for (int i = 0; i < 48; ++i)
        if (kBoxPieces[i] == c) return static_cast<UINT8>(0x90 + i);
    return '?';
}

// UTF-8 text to the font's 8-bit codes (CP1251 letters, box pieces at 0x90-0xBF).
std::string toFontCodes(const std::string& utf8) {
    std::string codes;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        codes.push_back(static_cast<char>(fontCode(c)));
        i += length;
    }
    return codes;
}

bool writePng(const std::filesystem::path& path, const Image& image) {
    FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(image.height());
    for (int y = 0; y < image.height(); ++y)
        rows[y] = const_cast<png_bytep>(reinterpret_cast<const png_byte*>(image.row(y)));
    bool written = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, image.width(), image.height(), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

// The 224 glyphs in a 16-column grid; the column's low hex digit is written above it and the code
// of each row's first glyph to its left.
Image fontSheet() {
    constexpr int kColumns = 16;
    constexpr int kRows = (0x100 - FONT_FIRST_CODE) / kColumns;
    constexpr int kPitchX = FONT_CELL_WIDTH + 1;
    constexpr int kPitchY = FONT_CELL_HEIGHT + 1;
    constexpr int kLeft = 2 * FONT_CELL_WIDTH + 2;
    constexpr int kTop = FONT_CELL_HEIGHT + 2;
    Image sheet(kLeft + kColumns * kPitchX + 1, kTop + kRows * kPitchY + 1, kBlack);
    for (int k = 0; k <= kColumns; ++k) sheet.fillRect(kLeft + k * kPitchX, kTop, 1, kRows * kPitchY + 1, kGridLine);
    for (int k = 0; k <= kRows; ++k) sheet.fillRect(kLeft, kTop + k * kPitchY, kColumns * kPitchX + 1, 1, kGridLine);
    const char* digits = "0123456789ABCDEF";
    for (int column = 0; column < kColumns; ++column)
        drawChar(sheet, kLeft + 1 + column * kPitchX, 0, static_cast<UINT8>(digits[column]), kLabel);
    for (int row = 0; row < kRows; ++row) {
        const int first = FONT_FIRST_CODE + row * kColumns;
        drawChar(sheet, 0, kTop + 1 + row * kPitchY, static_cast<UINT8>(digits[first >> 4]), kLabel);
        drawChar(sheet, FONT_CELL_WIDTH, kTop + 1 + row * kPitchY, static_cast<UINT8>(digits[first & 15]), kLabel);
        for (int column = 0; column < kColumns; ++column)
            drawChar(sheet, kLeft + 1 + column * kPitchX, kTop + 1 + row * kPitchY, static_cast<UINT8>(first + column),
                     kWhite);
    }
    return sheet;
}

const char* const kSampleLines[] = {
    "BlackList.txt  +80501234567 info",
    "The quick brown fox jumps over the lazy dog 0123456789",
    "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG",
    "Съешь же ещё этих мягких французских булок, да выпей чаю.",
    "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ",
    "абвгдежзийклмнопрстуфхцчшщъыьэюя",
    "Изменить|Удалить|Добавить|Справка|Выйти",
    "Edit line|Delete|Add line|About|Exit",
    "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~",
    "Ш Щ Ь Ъ Ы Б б 6 З з 3 О о 0 l 1 I | И Й и й",
    "╔═══╦═══╗ ┌───┬───┐ ╒══╤══╕ ╓──╥──╖ ░░▒▒▓▓██",
    "║ab ║ cd║ │ef │ gh│ │  │  │ ║  ║  ║ ░░▒▒▓▓██",
    "╠═══╬═══╣ ├───┼───┤ ╞══╪══╡ ╟──╫──╢ ▄▄▀▀▌▐▌▐",
    "╚═══╩═══╝ └───┴───┘ ╘══╧══╛ ╙──╨──╜ ▀▀▄▄▌▐▌▐",
};

Image sampleSheet() {
    constexpr int kMargin = 4;
    constexpr int kScale = 3;
    std::vector<std::string> lines;
    int longest = 0;
    for (const char* line : kSampleLines) {
        lines.push_back(toFontCodes(line));
        longest = std::max(longest, static_cast<int>(lines.back().size()));
    }
    Image text(longest * FONT_CELL_WIDTH, static_cast<int>(lines.size()) * FONT_CELL_HEIGHT, kBlack);
    for (size_t i = 0; i < lines.size(); ++i)
        drawText(text, 0, static_cast<int>(i) * FONT_CELL_HEIGHT, lines[i], kWhite);

    Image sheet(text.width() * kScale + 2 * kMargin, text.height() * (1 + kScale) + 3 * kMargin, kBlack);
    sheet.paste(text, kMargin, kMargin, 1);
    sheet.paste(text, kMargin, 2 * kMargin + text.height(), kScale);
    return sheet;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fontsheet OUT_DIR\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::error_code error;
    std::filesystem::create_directories(directory, error);

    const Image sheet = fontSheet();
    const struct {
        const char* name;
        Image image;
    } outputs[] = {
        {"font.png", sheet},
        {"font-x4.png", magnified(sheet, 4)},
        {"font-sample.png", sampleSheet()},
    };
    for (const auto& output : outputs) {
        if (!writePng(directory / output.name, output.image)) {
            std::fprintf(stderr, "fontsheet: cannot write %s\n", (directory / output.name).string().c_str());
            return 1;
        }
    }
    return 0;
}
