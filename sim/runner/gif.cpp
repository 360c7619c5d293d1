#include "gif.hpp"

#include "screendiff.hpp"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <vector>

namespace runner {

namespace {

// The part of the screen where two pictures differ, as x, y, width and height.
struct Area {
    int x = 0, y = 0, width = 0, height = 0;
};

Area changedArea(const sim::Surface& before, const sim::Surface& after) {
    const auto box = sim::changedBox(before, after);
    if (!box) return {0, 0, 1, 1};  // the same picture: one pixel stands for it
    return {box->left, box->top, box->right - box->left + 1, box->bottom - box->top + 1};
}

// The palette of an area and each pixel's index in it.
struct Indexed {
    std::vector<GifColorType> colours;
    std::vector<GifPixelType> pixels;
};

GifColorType gifColour(sim::Rgb565 c) {
    const sim::Rgb888 rgb = sim::toRgb888(c);
    return {rgb.r, rgb.g, rgb.b};
}

Indexed index(const sim::Surface& frame, const Area& area) {
    Indexed out;
    std::map<sim::Rgb565, GifPixelType> palette;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x) {
            const sim::Rgb565 c = frame.at(x, y);
            auto [at, fresh] = palette.try_emplace(c, static_cast<GifPixelType>(palette.size()));
            if (fresh && palette.size() <= 256) out.colours.push_back(gifColour(c));
            out.pixels.push_back(at->second);
        }
    if (palette.size() <= 256) return out;
    // Too many colours: three bits of red and green and two of blue.
    out.colours.clear();
    for (int i = 0; i < 256; ++i)
        out.colours.push_back({static_cast<GifByteType>((i >> 5) * 255 / 7),
                               static_cast<GifByteType>(((i >> 2) & 7) * 255 / 7),
                               static_cast<GifByteType>((i & 3) * 255 / 3)});
    out.pixels.clear();
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x) {
            const sim::Rgb888 c = sim::toRgb888(frame.at(x, y));
            out.pixels.push_back(static_cast<GifPixelType>((c.r >> 5) << 5 | (c.g >> 5) << 2 | c.b >> 6));
        }
    return out;
}

bool putLoopForever(GifFileType* gif) {
    static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoop[] = {1, 0, 0};
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof kApplication, kApplication) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof kLoop, kLoop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

}  // namespace

void GifWriter::Closer::operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }

GifWriter::GifWriter(GifFileType* gif, std::filesystem::path file) : gif_(gif), file_(std::move(file)) {}
GifWriter::GifWriter(GifWriter&&) noexcept = default;
GifWriter& GifWriter::operator=(GifWriter&&) noexcept = default;
GifWriter::~GifWriter() = default;

sim::Result<GifWriter> GifWriter::open(const std::filesystem::path& file) {
    int code = E_GIF_ERR_OPEN_FAILED;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    // giflib's own message for this ("Failed to open given file") does not say why.
    if (fd < 0) return sim::failure("cannot write the GIF " + file.string() + ": " + std::strerror(errno));
    GifFileType* gif = EGifOpenFileHandle(fd, &code);
    if (!gif) {
        if (fd >= 0) ::close(fd);
        return sim::failure("cannot write " + file.string() + ": " + GifErrorString(code));
    }
    GifWriter writer(gif, file);
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, sim::kScreenWidth, sim::kScreenHeight, 8, 0, nullptr) != GIF_OK || !putLoopForever(gif))
        return sim::failure("cannot write " + file.string() + ": " + GifErrorString(gif->Error));
    return writer;
}

bool GifWriter::add(const sim::Surface& frame, Time at) {
    const std::optional<sim::Surface>& latest = waiting_ ? waiting_ : written_;
    if (latest && *latest == frame) return false;
    if (waiting_) failed_ = failed_ || !write(*waiting_, at - waitingSince_);
    waiting_ = frame;
    waitingSince_ = at;
    return true;
}

bool GifWriter::write(const sim::Surface& frame, Time lasting) {
    const Area area = written_ ? changedArea(*written_, frame) : Area{0, 0, frame.width(), frame.height()};
    Indexed indexed = index(frame, area);
    int mapSize = 2;
    while (mapSize < static_cast<int>(indexed.colours.size())) mapSize *= 2;
    indexed.colours.resize(static_cast<std::size_t>(mapSize), GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(mapSize, indexed.colours.data());
    if (!map) return false;

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    control.DelayTime = static_cast<int>(std::clamp<long long>((lasting.count() + 5) / 10, 0, 0xFFFF));
    GifByteType extension[4];
    const auto extensionSize = static_cast<int>(EGifGCBToExtension(&control, extension));
    bool ok = EGifPutExtension(gif_.get(), GRAPHICS_EXT_FUNC_CODE, extensionSize, extension) == GIF_OK &&
              EGifPutImageDesc(gif_.get(), area.x, area.y, area.width, area.height, false, map) == GIF_OK;
    for (int row = 0; ok && row < area.height; ++row)
        ok = EGifPutLine(gif_.get(), indexed.pixels.data() + row * area.width, area.width) == GIF_OK;
    GifFreeMapObject(map);
    written_ = frame;
    return ok;
}

sim::Result<> GifWriter::close(Time at) {
    if (waiting_) failed_ = failed_ || !write(*waiting_, at - waitingSince_);
    waiting_.reset();
    int code = 0;
    const bool closed = EGifCloseFile(gif_.release(), &code) == GIF_OK;
    if (failed_ || !closed)
        return sim::failure("cannot write " + file_.string() + ": " +
                            GifErrorString(closed ? E_GIF_ERR_WRITE_FAILED : code));
    return {};
}

}  // namespace runner
