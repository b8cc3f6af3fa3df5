#include "figure/figure.h"

#include <cmath>

namespace figure {

namespace {

constexpr double ARM_LENGTH = 20.0;

// Doubles become pixel coordinates by truncation toward zero, not rounding.
std::int32_t Truncate(double value)
{
    return static_cast<std::int32_t>(value);
}

void DrawArm(DrawingSurface& surface, double centreX, double centreY, double angle)
{
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    surface.MoveTo(Truncate(centreX - c * ARM_LENGTH), Truncate(centreY - s * ARM_LENGTH));
    surface.LineTo(Truncate(centreX + c * ARM_LENGTH), Truncate(centreY + s * ARM_LENGTH));
}

} // namespace

void FigureState::Start(std::int32_t width, std::int32_t height)
{
    m_nCurX = width / 2;
    m_nCurY = height / 2;
    m_nPrevX = m_nCurX;
    m_nPrevY = m_nCurY;
    m_dAngle = START_ANGLE;
    m_dPrevAngle = START_ANGLE;
    m_nStepX = STEP;
    m_nStepY = STEP;
}

void DrawFigure(DrawingSurface& surface, std::int32_t left, std::int32_t top, std::int32_t right,
                std::int32_t bottom, double angle)
{
    surface.Ellipse(left, top, right, bottom);
    const double centreX = left + (right - left) / 2;
    const double centreY = top + (bottom - top) / 2;
    DrawArm(surface, centreX, centreY, angle);
    DrawArm(surface, centreX, centreY, angle + PI / 2);
}

} // namespace figure
