#include "platform/raster/picture.h"

#include <stdexcept>

namespace raster {

Picture::Picture(std::int32_t width, std::int32_t height, std::uint32_t fill)
    : width_(width), height_(height)
{
    if (width < 0 || height < 0)
        throw std::invalid_argument("picture size must not be negative");
    pixels_.assign(std::size_t(width) * std::size_t(height), fill);
}

void Picture::InvertSpans(std::span<const Span> spans)
{
    for (const Span& span : spans) {
        std::uint32_t* row = Row(span.y);
        for (std::int32_t x = span.x0; x < span.x1; ++x)
            row[x] = ~row[x];
    }
}

} // namespace raster
