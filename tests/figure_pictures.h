#pragma once

// Pictures to check frames against: a busy starting picture, and that picture
// with given figures drawn on it, independently of any frame logic.

#include "figure/figure.h"
#include "platform/raster/picture.h"
#include "platform/raster/raster_surface.h"

#include <cstdint>
#include <vector>

namespace test {

// Every pixel differs from its neighbours, so that a figure drawn one pixel
// off cannot pass for the right one.
inline raster::Picture Pattern(std::int32_t width, std::int32_t height)
{
    raster::Picture picture(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            picture.At(x, y) = (std::uint32_t(x) * 0x9E3779B1u) ^ (std::uint32_t(y) * 0x85EBCA77u);
    return picture;
}

// The figure n ticks after a start on a width x height screen.
inline figure::FigureState After(int ticks, std::int32_t width, std::int32_t height)
{
    figure::FigureState state;
    state.Start(width, height);
    for (int i = 0; i < ticks; ++i)
        state.Tick([=] { return width; }, [=] { return height; });
    return state;
}

// The picture with each current figure drawn on it once.
inline raster::Picture WithFigures(raster::Picture picture,
                                   const std::vector<figure::FigureState>& figures)
{
    raster::RasterSurface surface(picture, picture.Bounds());
    surface.SetInvertMode();
    for (const figure::FigureState& f : figures)
        figure::DrawFigure(surface, f.m_nCurX - figure::FIGURE_RADIUS,
                           f.m_nCurY - figure::FIGURE_RADIUS, f.m_nCurX + figure::FIGURE_RADIUS,
                           f.m_nCurY + figure::FIGURE_RADIUS, f.m_dAngle);
    return picture;
}

} // namespace test
