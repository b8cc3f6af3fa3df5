#include "platform/raster/raster_surface.h"

namespace raster {

void RasterSurface::Ellipse(std::int32_t left, std::int32_t top, std::int32_t right,
                            std::int32_t bottom)
{
    if (!inverting_)
        return;
    AppendEllipseSpans({left, top, right, bottom}, clip_, spans_);
    Flush();
}

void RasterSurface::MoveTo(std::int32_t x, std::int32_t y)
{
    x_ = x;
    y_ = y;
}

void RasterSurface::LineTo(std::int32_t x, std::int32_t y)
{
    if (inverting_) {
        AppendLineSpans(x_, y_, x, y, clip_, spans_);
        Flush();
    }
    x_ = x;
    y_ = y;
}

void RasterSurface::Flush()
{
    if (!spans_.empty())
        target_.InvertSpans(spans_);
    spans_.clear();
}

} // namespace raster
