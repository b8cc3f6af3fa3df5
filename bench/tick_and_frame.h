#pragma once

// The bare work of one tick: the figure's step and one frame drawn on a
// picture of the screen's size, with no window system around it.

#include "figure/figure.h"
#include "platform/raster/picture.h"
#include "platform/raster/raster_surface.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace bench {

template <std::int32_t Width, std::int32_t Height> void TickAndFrame(benchmark::State& bench)
{
    raster::Picture picture(Width, Height, 0x336699);
    raster::RasterSurface surface(picture, picture.Bounds());
    figure::FigureState state;
    state.Start(Width, Height);
    for (auto _ : bench) {
        state.Tick([] { return Width; }, [] { return Height; });
        figure::PaintFrame(surface, state);
        benchmark::DoNotOptimize(picture.Row(0));
    }
}

} // namespace bench
