#pragma once

#include <cstdint>

namespace figure {

// The four drawing operations a frame needs. In the running program they are
// the paint context's SetROP2(R2_NOT), Ellipse, MoveToEx and LineTo.
class DrawingSurface {
public:
    // From now on every pixel a later ellipse or line covers is inverted.
    virtual void SetInvertMode() = 0;
    // Outline and interior of the ellipse inscribed in the rectangle.
    virtual void Ellipse(std::int32_t left, std::int32_t top, std::int32_t right,
                         std::int32_t bottom) = 0;
    virtual void MoveTo(std::int32_t x, std::int32_t y) = 0;
    // From the current position up to, but not including, (x, y), which
    // becomes the current position.
    virtual void LineTo(std::int32_t x, std::int32_t y) = 0;

protected:
    ~DrawingSurface() = default;
};

} // namespace figure
