#pragma once

#include "figure/surface.h"

#include <cstdint>

namespace figure {

// Not the full-precision value of pi: every angle derives from this one, and
// the arm ends land where they do because of it.
inline constexpr double PI = 3.1415926535;
inline constexpr std::int32_t FIGURE_RADIUS = 20;
inline constexpr double START_ANGLE = PI / 4;
inline constexpr double SPIN_FACTOR = 0.1;
inline constexpr std::int32_t STEP = 2;

// The moving figure: previous and current centre and angle, and the step.
// The fields hold the start values from construction, so that nothing ever
// reads an undefined value before the first Start.
struct FigureState {
    std::int32_t m_nPrevX = 0;
    std::int32_t m_nPrevY = 0;
    std::int32_t m_nCurX = 0;
    std::int32_t m_nCurY = 0;
    std::int32_t m_nStepX = STEP;
    std::int32_t m_nStepY = STEP;
    double m_dPrevAngle = START_ANGLE;
    double m_dAngle = START_ANGLE;

    // Centres the figure on a width x height screen with the start angle and
    // step, and makes the previous figure equal to the current one.
    void Start(std::int32_t width, std::int32_t height);

    // One timer tick. The screen width and height are asked for at the moment
    // a bounce test needs them, and only then: the width when the new x is not
    // below the margin, the height likewise for y.
    template <class WidthFn, class HeightFn> void Tick(WidthFn&& width, HeightFn&& height)
    {
        m_nPrevX = m_nCurX;
        m_nPrevY = m_nCurY;
        m_dPrevAngle = m_dAngle;

        m_nCurX += m_nStepX;
        m_nCurY += m_nStepY;

        // The spin follows the direction of travel before this tick's bounce.
        std::int32_t divisor = m_nStepX + m_nStepY;
        if (divisor == 0)
            divisor = m_nStepX;
        m_dAngle = m_dAngle + (PI / divisor) * SPIN_FACTOR;

        // Head away from the edge that was crossed rather than reversing: when
        // the screen shrinks under a running figure, a plain reversal would
        // flip the step on every tick and keep the figure outside for good.
        m_nStepX = BounceStep(m_nStepX, m_nCurX, width);
        m_nStepY = BounceStep(m_nStepY, m_nCurY, height);
    }

    // True when the current figure differs from the one the last frame drew.
    bool Changed() const
    {
        return m_dPrevAngle != m_dAngle || m_nCurX != m_nPrevX || m_nCurY != m_nPrevY;
    }

private:
    template <class SizeFn>
    static std::int32_t BounceStep(std::int32_t step, std::int32_t centre, SizeFn& size)
    {
        if (centre < FIGURE_RADIUS)
            return STEP;
        if (centre > size() - FIGURE_RADIUS)
            return -STEP;
        return step;
    }
};

// One figure: the disc inscribed in the rectangle and its two arms, the
// second a quarter turn from the first.
void DrawFigure(DrawingSurface& surface, std::int32_t left, std::int32_t top, std::int32_t right,
                std::int32_t bottom, double angle);

// One frame: un-draws the previous figure (by drawing it again) when anything
// changed, then draws the current one, all in inverting mode. Each figure is
// drawn through drawFigure, which takes DrawFigure's arguments.
template <class DrawFn>
void PaintFrame(DrawingSurface& surface, const FigureState& state, DrawFn&& drawFigure)
{
    constexpr std::int32_t r = FIGURE_RADIUS;
    surface.SetInvertMode();
    if (state.Changed())
        drawFigure(surface, state.m_nPrevX - r, state.m_nPrevY - r, state.m_nPrevX + r,
                   state.m_nPrevY + r, state.m_dPrevAngle);
    drawFigure(surface, state.m_nCurX - r, state.m_nCurY - r, state.m_nCurX + r, state.m_nCurY + r,
               state.m_dAngle);
}

inline void PaintFrame(DrawingSurface& surface, const FigureState& state)
{
    PaintFrame(surface, state, DrawFigure);
}

} // namespace figure
