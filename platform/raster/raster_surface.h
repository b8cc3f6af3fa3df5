#pragma once

#include "figure/surface.h"
#include "platform/raster/geometry.h"
#include "platform/raster/picture.h"

namespace raster {

// The drawing surface over any span target: each primitive's runs, clipped to
// the clip rectangle, are handed to the target in one call. Only the
// inverting mode draws; before SetInvertMode primitives change nothing.
class RasterSurface final : public figure::DrawingSurface {
public:
    RasterSurface(SpanTarget& target, const Rect& clip) : target_(target), clip_(clip) {}

    void SetInvertMode() override { inverting_ = true; }
    void Ellipse(std::int32_t left, std::int32_t top, std::int32_t right,
                 std::int32_t bottom) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void LineTo(std::int32_t x, std::int32_t y) override;

    void SetClip(const Rect& clip) { clip_ = clip; }

private:
    void Flush();

    SpanTarget& target_;
    Rect clip_;
    bool inverting_ = false;
    std::int32_t x_ = 0;
    std::int32_t y_ = 0;
    SpanList spans_;
};

} // namespace raster
