#include "png.hpp"

#include <png.h>

#include <cstring>
#include <vector>

namespace sim {

Result<> writePng(const Surface& surface, const std::filesystem::path& file) {
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
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr))
        return failure("cannot write " + file.string() + ": " + image.message);
    std::string encoded(size, '\0');
    if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr))
        return failure("cannot write " + file.string() + ": " + image.message);
    encoded.resize(size);
    return replaceHostFile(file, encoded);
}

Result<Surface> readPng(const std::filesystem::path& file, std::optional<Size> size) {
    // libpng's own messages ("Read Error") do not say why: the file is missing, or no PNG.
    const auto bytes = readHostFile(file);
    if (!bytes) return tl::unexpected(bytes.error());
    if (bytes->size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes->data()), 0, 8) != 0)
        return failure("cannot read " + file.string() + ": it is not a PNG file");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes->data(), bytes->size()))
        return failure("cannot read " + file.string() + ": " + image.message);
    // The header tells the size: a picture of another size, or one too large to hold, is refused
    // before anything is decoded.
    const Size wanted = size.value_or(Size{kMostPngSide, kMostPngSide});
    const bool fits = size ? image.width == static_cast<png_uint_32>(wanted.width) &&
                                 image.height == static_cast<png_uint_32>(wanted.height)
                           : image.width <= static_cast<png_uint_32>(wanted.width) &&
                                 image.height <= static_cast<png_uint_32>(wanted.height);
    if (!fits) {
        png_image_free(&image);
        return failure(file.string() + " is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                       " pixels, not " + (size ? "" : "at most ") + std::to_string(wanted.width) + " x " +
                       std::to_string(wanted.height));
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return failure("cannot decode " + file.string() + ": " + image.message);
    Surface surface(static_cast<int>(image.width), static_cast<int>(image.height));
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x) {
            const png_byte* p = &rgb[static_cast<std::size_t>((y * surface.width() + x) * 3)];
            surface.set(x, y, toRgb565(p[0], p[1], p[2]));
        }
    return surface;
}

}  // namespace sim
