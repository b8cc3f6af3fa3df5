#pragma once

// The reference pixels recorded from GDI, read at run time from
// $BLINKORB_FIXTURES/gdi (or the build's default fixtures directory), and
// the means to compare them with what the rasteriser covers.

#include "platform/raster/geometry.h"
#include "platform/raster/picture.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace gdi_fixture {

inline constexpr std::int32_t MIN = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int32_t MAX = std::numeric_limits<std::int32_t>::max();
// A clip that clips nothing.
inline constexpr raster::Rect EVERYWHERE{MIN, MIN, MAX, MAX};

struct Call {
    enum class Kind { Ellipse, MoveTo, LineTo };
    Kind kind;
    // Ellipse: left, top, right, bottom. MoveTo and LineTo: x, y.
    std::vector<std::int32_t> args;
};

struct Case {
    std::string name;
    std::int32_t width;
    std::int32_t height;
    std::vector<Call> calls;
    // The inverted pixels, as Merged runs.
    raster::SpanList inverted;
};

// BLINKORB_FIXTURES when set, else the directory the build was configured
// with.
std::filesystem::path Root();

// Every case of Root()/gdi/file. Throws std::runtime_error naming the path
// and line when the file is missing or malformed, so that a test fails
// rather than passing on no data.
std::vector<Case> Load(const std::string& file);

// The case's canvas, blank, after its calls in inverting mode through
// raster::RasterSurface clipped to the canvas.
raster::Picture Draw(const Case& c);

// The runs of pixels that are no longer blank, as Merged runs.
raster::SpanList InvertedRuns(const raster::Picture& picture, std::uint32_t blank);

// Sorted by row then x, with runs that touch joined: one way to write each
// set of pixels.
raster::SpanList Merged(raster::SpanList spans);

// No pixel in two runs, and no empty run.
bool Disjoint(raster::SpanList spans);

// Every run within the clip.
bool Within(const raster::SpanList& spans, const raster::Rect& clip);

// Empty when equal; otherwise the first row where the two differ, both ways.
std::string Difference(const raster::SpanList& expected, const raster::SpanList& actual);

} // namespace gdi_fixture
