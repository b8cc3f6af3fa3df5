#pragma once

#include <cstdint>
#include <vector>

// Which pixels a primitive covers, as horizontal runs, kept apart from what is
// done to them. The rules are those of the Windows graphics device interface.
namespace raster {

// Right and bottom are exclusive, as in GDI.
struct Rect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Pixels x0 <= x < x1 of row y.
struct Span {
    std::int32_t y;
    std::int32_t x0;
    std::int32_t x1;
};

using SpanList = std::vector<Span>;

// Appends the runs of the ellipse inscribed in box, outline and interior as
// one set, clipped to clip. Every covered pixel appears once.
void AppendEllipseSpans(const Rect& box, const Rect& clip, SpanList& out);

// Appends the runs of the line from (x0, y0) to (x1, y1) as LineTo covers
// them, the end point excluded, clipped to clip. Every covered pixel appears
// once.
void AppendLineSpans(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                     const Rect& clip, SpanList& out);

} // namespace raster
