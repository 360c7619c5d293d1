#pragma once
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "result.hpp"
#include "surface.hpp"

struct GifFileType;

namespace runner {

// Writes the frames a display shows as a looping animated GIF of the display's size. A frame
// equal to the one before is not written again; each frame lasts until the next one comes, or
// until the GIF is closed. Colours are the screenshots' (each RGB565 channel widened by bit
// replication); a frame with more than 256 of them falls back to a fixed palette of 256.
class GifWriter {
public:
    using Time = std::chrono::milliseconds;

    static sim::Result<GifWriter> open(const std::filesystem::path& file);
    GifWriter(GifWriter&&) noexcept;
    GifWriter& operator=(GifWriter&&) noexcept;
    ~GifWriter();

    // False when the frame repeats the one before and is left out.
    bool add(const sim::Surface& frame, Time at);
    // Writes the last frame, lasting until `at`, and ends the file.
    sim::Result<> close(Time at);

private:
    struct Closer {
        void operator()(GifFileType* gif) const;
    };
    GifWriter(GifFileType* gif, std::filesystem::path file);
    bool write(const sim::Surface& frame, Time lasting);

    std::unique_ptr<GifFileType, Closer> gif_;
    std::filesystem::path file_;
    std::optional<sim::Surface> written_;  // the picture so far
    std::optional<sim::Surface> waiting_;  // the newest frame, written when its length is known
    Time waitingSince_{0};
    bool failed_ = false;
};

}  // namespace runner
