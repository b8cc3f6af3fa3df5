#include "platform/raster/picture.h"

#include <cstring>
#include <stdexcept>

namespace raster {

namespace {

// Four pixels at a time: runs are short and many, and the compiler does not
// vectorise this loop at the optimisation level we build with.
void InvertRun(std::uint32_t* pixel, std::int32_t count)
{
    using Block = std::uint32_t __attribute__((vector_size(16)));
    for (; count >= 4; count -= 4, pixel += 4) {
        Block block;
        std::memcpy(&block, pixel, sizeof block);
        block = ~block;
        std::memcpy(pixel, &block, sizeof block);
    }
    for (; count > 0; --count, ++pixel)
        *pixel = ~*pixel;
}

} // namespace

Picture::Picture(std::int32_t width, std::int32_t height, std::uint32_t fill)
    : width_(width), height_(height)
{
    if (width < 0 || height < 0)
        throw std::invalid_argument("picture size must not be negative");
    pixels_.assign(std::size_t(width) * std::size_t(height), fill);
}

void Picture::InvertSpans(std::span<const Span> spans)
{
    for (const Span& span : spans)
        InvertRun(Row(span.y) + span.x0, span.x1 - span.x0);
}

} // namespace raster
