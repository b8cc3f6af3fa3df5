#include "tools/preview/builtin_picture.h"

#include <algorithm>

namespace preview {

namespace {

std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    return red << 16 | green << 8 | blue;
}

} // namespace

raster::Picture BuiltInPicture(std::int32_t width, std::int32_t height)
{
    raster::Picture picture(width, height);
    // About twelve squares along the shorter side.
    const std::int32_t square = std::max(1, std::min(width, height) / 12);
    // A white disc, over which the inverted figure shows black.
    const std::int64_t discX = width * 3 / 4, discY = height / 4;
    const std::int64_t discRadius = std::min(width, height) / 6;

    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            // Red grows to the right and green downwards, so no two places
            // look alike. Dark and light squares alternate: a mid grey, which
            // inversion leaves almost as it is, appears nowhere.
            const std::uint32_t across = std::uint32_t(std::int64_t(x) * 96 / width);
            const std::uint32_t down = std::uint32_t(std::int64_t(y) * 96 / height);
            const bool light = (x / square + y / square) % 2 != 0;
            std::uint32_t pixel =
                light ? Rgb(159 + across, 255 - down, 224) : Rgb(across, down, 64);
            const std::int64_t dx = x - discX, dy = y - discY;
            if (dx * dx + dy * dy <= discRadius * discRadius)
                pixel = Rgb(255, 255, 255);
            picture.At(x, y) = pixel;
        }
    }
    return picture;
}

} // namespace preview
