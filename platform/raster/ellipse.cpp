#include "platform/raster/geometry.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace raster {

namespace {

using std::int64_t;

// The trace's error terms grow with the cube of the size; past this they
// would no longer fit 64 bits. The program's disc is 40 pixels across.
constexpr int64_t MAX_EXTENT = int64_t(1) << 18;

// Writes clipped runs into room the caller has made, at most one a row.
class ClippedRows {
public:
    ClippedRows(const Rect& clip, Span* next) : clip_(clip), next_(next) {}

    void Row(int64_t y, int64_t x0, int64_t x1)
    {
        if (y < clip_.top || y >= clip_.bottom)
            return;
        x0 = std::max<int64_t>(x0, clip_.left);
        x1 = std::min<int64_t>(x1, clip_.right);
        if (x0 < x1)
            *next_++ = {std::int32_t(y), std::int32_t(x0), std::int32_t(x1)};
    }

    Span* Next() const { return next_; }

private:
    const Rect clip_;
    Span* next_;
};

// The same for a box wholly inside the clip, as the figure's usually is.
class WholeRows {
public:
    explicit WholeRows(Span* next) : next_(next) {}

    void Row(int64_t y, int64_t x0, int64_t x1)
    {
        *next_++ = {std::int32_t(y), std::int32_t(x0), std::int32_t(x1)};
    }

    Span* Next() const { return next_; }

private:
    Span* next_;
};

template <class Rows>
void Trace(int64_t left, int64_t top, int64_t width, int64_t height, Rows& rows)
{
    const int64_t right = left + width;
    const int64_t a = width - 1;
    const int64_t b = height - 1;
    const int64_t oddB = b & 1;
    const int64_t aStep = 8 * a * a;
    const int64_t bStep = 8 * b * b;
    int64_t dx = 4 * (1 - a) * b * b;
    int64_t dy = 4 * (oddB + 1) * a * a;
    int64_t error = dx + dy + oddB * a * a;

    // An even height has two middle rows, an odd one a single one.
    int64_t lower = top + (b + 1) / 2;
    int64_t upper = lower - oddB;
    int64_t edge = 0;
    rows.Row(lower, left, right);
    if (upper != lower)
        rows.Row(upper, left, right);
    for (;;) {
        const int64_t twice = 2 * error;
        const bool nextRows = twice <= dy;
        if (nextRows) {
            ++lower;
            --upper;
            dy += aStep;
            error += dy;
        }
        if (twice >= dx) {
            ++edge;
            dx += bStep;
            error += dx;
        }
        if (2 * edge > a)
            return;
        if (nextRows) {
            rows.Row(lower, left + edge, right - edge);
            rows.Row(upper, left + edge, right - edge);
        }
    }
}

} // namespace

// The outline is traced with integer error terms over the pixel grid of the
// box, from the middle rows outwards: each step moves the left edge one
// pixel right, the rows one further from the middle, or both, whichever keeps
// the outline nearer the true ellipse whose diameters are width - 1 and
// height - 1. The right edge mirrors the left, the lower half the upper, and a
// row's run is fixed on the trace's first visit, when its edge is outermost.
// The trace stops when the edges cross, so a narrow, tall ellipse leaves its
// end rows empty instead of finishing the tips: the recorded GDI pixels do
// the same.
void AppendEllipseSpans(const Rect& box, const Rect& clip, SpanList& out)
{
    int64_t left = box.left, right = box.right, top = box.top, bottom = box.bottom;
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    const int64_t width = right - left;
    const int64_t height = bottom - top;
    if (width == 0 || height == 0 || width > MAX_EXTENT || height > MAX_EXTENT)
        return;
    if (clip.left >= clip.right || clip.top >= clip.bottom)
        return;

    // A single pixel covers nothing; one or two pixels across covers the box.
    if (width == 1 && height == 1)
        return;
    const std::size_t start = out.size();
    out.resize(start + std::size_t(std::min<int64_t>(height, int64_t(clip.bottom) - clip.top)));
    Span* next;
    if (width <= 2 || height <= 2) {
        ClippedRows rows(clip, out.data() + start);
        for (int64_t y = top; y < bottom; ++y)
            rows.Row(y, left, right);
        next = rows.Next();
    } else if (left >= clip.left && right <= clip.right && top >= clip.top &&
               bottom <= clip.bottom) {
        WholeRows rows(out.data() + start);
        Trace(left, top, width, height, rows);
        next = rows.Next();
    } else {
        ClippedRows rows(clip, out.data() + start);
        Trace(left, top, width, height, rows);
        next = rows.Next();
    }
    out.resize(std::size_t(next - out.data()));
}

} // namespace raster
