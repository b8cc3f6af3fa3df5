#include "platform/raster/picture.h"

#include <cstring>
#include <stdexcept>

namespace raster {

namespace {

// Four pixels at a time, then two and one: runs are short and many (a steep
// line is a run per pixel), so the tail is two tests rather than a loop, and
// the compiler does not vectorise this at the optimisation level we build
// with.
void InvertRun(std::uint32_t* pixel, std::int32_t count)
{
    using Block = std::uint32_t __attribute__((vector_size(16)));
    for (; count >= 4; count -= 4, pixel += 4) {
        Block block;
        std::memcpy(&block, pixel, sizeof block);
        block = ~block;
        std::memcpy(pixel, &block, sizeof block);
    }
    if (count & 2) {
        std::uint64_t pair;
        std::memcpy(&pair, pixel, sizeof pair);
        pair = ~pair;
        std::memcpy(pixel, &pair, sizeof pair);
        pixel += 2;
    }
    if (count & 1)
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
