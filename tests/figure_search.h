#pragma once

// Which frame of the run a screenshot shows: the tick whose figure, drawn by
// our rasteriser on the desktop picture, gives exactly the screenshot.

#include "tests/figure_pictures.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace test {

// A screen has 24 bits; the top byte of a picture's pixels is not shown.
inline bool SameOnScreen(const raster::Picture& a, const raster::Picture& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t x = 0; x < a.Width(); ++x)
            if (((a.At(x, y) ^ b.At(x, y)) & 0xFFFFFF) != 0)
                return false;
    return true;
}

// The first tick n in [0, lastTick] such that shot is desktop with the figure
// After(n) inverted on it, and nothing else changed; nullopt if there is none,
// as for a screenshot taken in the middle of a frame.
inline std::optional<int> FindTick(const raster::Picture& shot, const raster::Picture& desktop,
                                   int lastTick)
{
    const std::int32_t width = desktop.Width(), height = desktop.Height();
    // The box of the changed pixels; a figure always changes some.
    std::int32_t left = width, top = height, right = -1, bottom = -1;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            if (((shot.At(x, y) ^ desktop.At(x, y)) & 0xFFFFFF) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0)
        return std::nullopt;

    // Only a figure whose box holds every change is drawn in full; the box
    // has a pixel to spare on each side for the arms' ends.
    constexpr std::int32_t reach = figure::FIGURE_RADIUS + 1;
    figure::FigureState state = After(0, width, height);
    for (int n = 0; n <= lastTick; ++n) {
        if (n > 0)
            state.Tick([=] { return width; }, [=] { return height; });
        if (left >= state.m_nCurX - reach && right <= state.m_nCurX + reach &&
            top >= state.m_nCurY - reach && bottom <= state.m_nCurY + reach &&
            SameOnScreen(shot, WithFigures(desktop, {state})))
            return n;
    }
    return std::nullopt;
}

} // namespace test
