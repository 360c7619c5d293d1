#include "png.hpp"

#include <png.h>

#include <cerrno>
#include <cstring>
#include <fstream>
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
    if (auto folder = folderFor(file); !folder) return tl::unexpected(folder.error());
    if (!png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr))
        return failure("cannot write " + file.string() + ": " + image.message);
    return {};
}

Result<Surface> readPng(const std::filesystem::path& file) {
    // libpng's own messages ("Read Error") do not say why: the file is missing, or no PNG.
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) return failure("cannot read " + file.string() + ": it is a folder");
    std::ifstream in(file, std::ios::binary);
    if (!in) return failure("cannot read " + file.string() + ": " + std::strerror(errno));
    png_byte signature[8] = {};
    in.read(reinterpret_cast<char*>(signature), sizeof signature);
    if (in.gcount() != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0)
        return failure("cannot read " + file.string() + ": it is not a PNG file");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return failure("cannot read " + file.string() + ": " + image.message);
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
