#include "png.hpp"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace sim {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool writePng(const Surface& surface, const std::filesystem::path& file, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(surface.width());
    image.height = static_cast<png_uint_32>(surface.height());
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb;
    rgb.reserve(surface.pixels().size() * 3);
    for (Rgb565 p : surface.pixels()) {
        const Rgb888 c = toRgb888(p);
        rgb.insert(rgb.end(), {c.r, c.g, c.b});
    }
    if (file.has_parent_path()) {
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
    }
    if (!png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr)) {
        error = "cannot write " + file.string() + ": " + image.message;
        return false;
    }
    return true;
}

std::optional<Surface> readPng(const std::filesystem::path& file, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) {
        error = "cannot read " + file.string() + ": " + image.message;
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        error = "cannot decode " + file.string() + ": " + image.message;
        return std::nullopt;
    }
    Surface surface(static_cast<int>(image.width), static_cast<int>(image.height));
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x) {
            const png_byte* p = &rgb[static_cast<std::size_t>((y * surface.width() + x) * 3)];
            surface.set(x, y, toRgb565(p[0], p[1], p[2]));
        }
    return surface;
}

}  // namespace sim
