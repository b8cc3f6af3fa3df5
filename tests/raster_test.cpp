// Properties of the rasteriser that the recorded pixels do not reach: other
// sizes and places, clipping, degenerate input, and the drawing surface.
#include "figure/figure.h"
#include "platform/raster/geometry.h"
#include "platform/raster/picture.h"
#include "platform/raster/raster_surface.h"
#include "tests/gdi_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace {

using gdi_fixture::Disjoint;
using gdi_fixture::Merged;
using gdi_fixture::Within;
using raster::Rect;
using raster::Span;
using raster::SpanList;

using gdi_fixture::EVERYWHERE;
using gdi_fixture::MAX;
using gdi_fixture::MIN;

SpanList Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
              const Rect& clip = EVERYWHERE)
{
    SpanList spans;
    raster::AppendLineSpans(x0, y0, x1, y1, clip, spans);
    return spans;
}

SpanList Ellipse(const Rect& box, const Rect& clip = EVERYWHERE)
{
    SpanList spans;
    raster::AppendEllipseSpans(box, clip, spans);
    return spans;
}

SpanList Intersected(const SpanList& spans, const Rect& clip)
{
    SpanList inside;
    for (const Span& s : spans) {
        const std::int32_t x0 = std::max(s.x0, clip.left);
        const std::int32_t x1 = std::min(s.x1, clip.right);
        if (s.y >= clip.top && s.y < clip.bottom && x0 < x1)
            inside.push_back({s.y, x0, x1});
    }
    return inside;
}

// The same pixels, however the runs are cut and ordered.
testing::AssertionResult SamePixels(const SpanList& expected, const SpanList& actual)
{
    const std::string difference = gdi_fixture::Difference(Merged(expected), Merged(actual));
    if (difference.empty())
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << difference;
}

std::string Describe(const Rect& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

TEST(LineSpans, ClippedIsTheWholeLineWithinTheClip)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> end(-300, 300);
    std::uniform_int_distribution<std::int32_t> edge(-320, 320);
    for (int i = 0; i < 3000; ++i) {
        const std::int32_t x0 = end(random), y0 = end(random);
        const std::int32_t x1 = end(random), y1 = end(random);
        const Rect clip{edge(random), edge(random), edge(random), edge(random)};
        const SpanList spans = Line(x0, y0, x1, y1, clip);
        const std::string line = std::to_string(x0) + "," + std::to_string(y0) + " to " +
                                 std::to_string(x1) + "," + std::to_string(y1) + " in " +
                                 Describe(clip);
        ASSERT_TRUE(Disjoint(spans)) << line;
        ASSERT_TRUE(Within(spans, clip)) << line;
        ASSERT_TRUE(SamePixels(Intersected(Line(x0, y0, x1, y1), clip), spans)) << line;
    }
}

// Halves on the minor axis go to the smaller coordinate whichever way the
// line runs, so a line and its reverse differ only in the end left out.
TEST(LineSpans, ReversedCoversTheSamePixelsButForTheEnds)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> end(-200, 200);
    for (int i = 0; i < 3000; ++i) {
        const std::int32_t x0 = end(random), y0 = end(random);
        const std::int32_t x1 = i % 3 ? end(random) : x0 + end(random) / 10 * 2;
        const std::int32_t y1 = i % 3 ? end(random) : y0 + end(random) / 10;
        if (x0 == x1 && y0 == y1)
            continue;
        SpanList forward = Line(x0, y0, x1, y1);
        SpanList backward = Line(x1, y1, x0, y0);
        forward.push_back({y1, x1, x1 + 1});
        backward.push_back({y0, x0, x0 + 1});
        ASSERT_TRUE(SamePixels(forward, backward)) << x0 << "," << y0 << " to " << x1 << "," << y1;
    }
}

TEST(LineSpans, CoversNothingWhenEmpty)
{
    const struct {
        std::int32_t x0, y0, x1, y1;
        Rect clip;
    } cases[] = {
        {5, 5, 5, 5, EVERYWHERE},            // no length
        {MIN, MAX, MIN, MAX, EVERYWHERE},    // no length, at the corner
        {0, 0, 10, 3, {0, 0, 0, 10}},        // clip without width
        {0, 0, 10, 3, {0, 2, 10, 2}},        // clip without height
        {0, 0, 10, 3, {10, 10, 0, 0}},       // clip inside out
        {0, 0, 10, 3, {10, 0, 20, 10}},      // clip only on the excluded end
        {MIN, MIN, MAX, MAX, {0, 5, 5, 10}}, // passes beside the clip
    };
    for (const auto& c : cases)
        EXPECT_TRUE(Line(c.x0, c.y0, c.x1, c.y1, c.clip).empty())
            << c.x0 << "," << c.y0 << " to " << c.x1 << "," << c.y1 << " in " << Describe(c.clip);
}

// Lines across the whole coordinate range, clipped to a small window, cover
// just the window's part, and those parts join up across windows.
TEST(LineSpans, ExtremeEndsJoinAcrossWindows)
{
    const struct {
        std::int32_t x0, y0, x1, y1;
        // Where the line passes.
        std::int32_t cx, cy;
    } lines[] = {
        {MIN, MIN, MAX, MAX, 0, 0},       {MAX, MIN, MIN, MAX, 0, 0},
        {MIN, 0, MAX, 1, 0, 0},           {0, MAX, 3, MIN, 1, 0},
        {MIN, -7, MAX, 100000, 0, 49996}, {-1000000, MIN, 1000003, MAX, 1, 0},
    };
    for (const auto& l : lines) {
        const std::int32_t cx = l.cx, cy = l.cy;
        const SpanList all = Line(l.x0, l.y0, l.x1, l.y1, {cx - 20, cy - 20, cx + 20, cy + 20});
        EXPECT_FALSE(all.empty());
        EXPECT_TRUE(Disjoint(all));
        SpanList pieces;
        for (const Rect& quarter :
             {Rect{cx - 20, cy - 20, cx, cy}, Rect{cx, cy - 20, cx + 20, cy},
              Rect{cx - 20, cy, cx, cy + 20}, Rect{cx, cy, cx + 20, cy + 20}}) {
            const SpanList part = Line(l.x0, l.y0, l.x1, l.y1, quarter);
            EXPECT_TRUE(Within(part, quarter));
            pieces.insert(pieces.end(), part.begin(), part.end());
        }
        EXPECT_TRUE(SamePixels(all, pieces))
            << l.x0 << "," << l.y0 << " to " << l.x1 << "," << l.y1;
    }
}

// Beyond the recorded sizes: within the box, one run a row, mirrored both
// ways, never narrower towards the middle, and the middle row full.
TEST(EllipseSpans, ShapeOfEverySizeUpTo100)
{
    for (std::int32_t w = 3; w <= 100; ++w) {
        for (std::int32_t h = 3; h <= 100; ++h) {
            const Rect box{-7, 11, -7 + w, 11 + h};
            const SpanList spans = Merged(Ellipse(box));
            const std::string size = std::to_string(w) + "x" + std::to_string(h);
            ASSERT_TRUE(Within(spans, box)) << size;
            std::vector<const Span*> rows(std::size_t(h), nullptr);
            for (const Span& s : spans) {
                ASSERT_EQ(rows[std::size_t(s.y - box.top)], nullptr) << size << " row " << s.y;
                rows[std::size_t(s.y - box.top)] = &s;
            }
            const Span* middle = rows[std::size_t(h / 2)];
            ASSERT_NE(middle, nullptr) << size;
            EXPECT_EQ(middle->x0, box.left) << size;
            EXPECT_EQ(middle->x1, box.right) << size;
            for (std::int32_t y = 0; y < h; ++y) {
                const Span* row = rows[std::size_t(y)];
                const Span* mirror = rows[std::size_t(h - 1 - y)];
                ASSERT_EQ(row == nullptr, mirror == nullptr) << size << " row " << y;
                if (!row)
                    continue;
                EXPECT_EQ(row->x0 - box.left, box.right - row->x1) << size << " row " << y;
                EXPECT_EQ(row->x0, mirror->x0) << size << " row " << y;
                const Span* inner = rows[std::size_t(y < h / 2 ? y + 1 : y - 1)];
                if (y != h / 2 && y != (h - 1) / 2) {
                    ASSERT_NE(inner, nullptr) << size << " row " << y;
                    EXPECT_LE(inner->x0, row->x0) << size << " row " << y;
                }
            }
        }
    }
}

// GDI puts swapped corners in order before drawing.
TEST(EllipseSpans, SwappedCornersDrawTheSameEllipse)
{
    for (const Rect& box : {Rect{10, 20, 50, 60}, Rect{-3, -4, 4, 9}, Rect{0, 0, 2, 5}}) {
        const SpanList expected = Ellipse(box);
        ASSERT_FALSE(expected.empty());
        for (const Rect& swapped : {Rect{box.right, box.top, box.left, box.bottom},
                                    Rect{box.left, box.bottom, box.right, box.top},
                                    Rect{box.right, box.bottom, box.left, box.top}})
            EXPECT_TRUE(SamePixels(expected, Ellipse(swapped))) << Describe(swapped);
    }
}

TEST(EllipseSpans, CoversNothingWhenEmpty)
{
    const struct {
        Rect box;
        Rect clip;
    } cases[] = {
        {{10, 10, 10, 50}, EVERYWHERE},         // no width
        {{10, 10, 50, 10}, EVERYWHERE},         // no height
        {{MAX, MIN, MAX, MAX}, EVERYWHERE},     // no width, all the height
        {{10, 10, 11, 11}, EVERYWHERE},         // one pixel
        {{0, 0, 40, 40}, {20, 0, 20, 40}},      // clip without width
        {{0, 0, 40, 40}, {0, 20, 40, 20}},      // clip without height
        {{0, 0, 40, 40}, {40, 40, 0, 0}},       // clip inside out
        {{0, 0, 40, 40}, {40, 0, 80, 40}},      // clip beside the box
        {{MIN, MIN, MAX, MAX}, {0, 0, 10, 10}}, // too large to trace
    };
    for (const auto& c : cases)
        EXPECT_TRUE(Ellipse(c.box, c.clip).empty())
            << Describe(c.box) << " in " << Describe(c.clip);
}

// The error terms of a large ellipse stay within 64 bits, far from the
// origin too, and its leftmost column is one run of rows about the middle.
TEST(EllipseSpans, LargeEllipseFarAway)
{
    const std::int32_t size = 1 << 18;
    const Rect box{MAX - size, MIN, MAX, MIN + size / 2};
    const Rect clip{box.left, box.top, box.left + 3, box.bottom};
    const SpanList spans = Ellipse(box, clip);
    EXPECT_TRUE(Disjoint(spans));
    EXPECT_TRUE(Within(spans, clip));

    const SpanList column = Merged(Ellipse(box, {box.left, box.top, box.left + 1, box.bottom}));
    ASSERT_FALSE(column.empty());
    EXPECT_EQ(column.back().y - column.front().y + 1, std::int32_t(column.size()));
    EXPECT_EQ(column.front().y - box.top, box.bottom - 1 - column.back().y);
}

TEST(SpanFunctions, AppendToWhatIsThere)
{
    const Span sentinel{-1, -1, 0};
    SpanList spans{sentinel};
    raster::AppendEllipseSpans({0, 0, 40, 40}, EVERYWHERE, spans);
    raster::AppendLineSpans(0, 0, 10, 3, EVERYWHERE, spans);
    ASSERT_GT(spans.size(), 1u);
    EXPECT_EQ(spans.front().y, sentinel.y);
    EXPECT_EQ(spans.front().x0, sentinel.x0);
    EXPECT_EQ(spans.front().x1, sentinel.x1);
}

// Every pixel different from its neighbours, so a pixel inverted twice, or
// one written in the wrong place, shows.
raster::Picture Patterned(std::int32_t width, std::int32_t height)
{
    raster::Picture picture(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            picture.At(x, y) = std::uint32_t(y) * 0x10001u + std::uint32_t(x) * 0x3011u + 5u;
    return picture;
}

// Figures across the edges and corners of the picture, and inside it: the
// second drawing undoes the first exactly.
TEST(RasterSurface, DrawingAFigureTwiceRestoresThePicture)
{
    const raster::Picture original = Patterned(97, 83);
    for (const std::int32_t cx : {-25, -19, 0, 7, 48, 90, 96, 116}) {
        for (const std::int32_t cy : {-20, 3, 41, 82, 103}) {
            raster::Picture picture = original;
            raster::RasterSurface surface(picture, picture.Bounds());
            surface.SetInvertMode();
            figure::DrawFigure(surface, cx - 20, cy - 20, cx + 20, cy + 20, 0.3 + cx * 0.01);
            const bool onPicture = cx - 20 < original.Width() && cx + 20 > 0 &&
                                   cy - 20 < original.Height() && cy + 20 > 0;
            EXPECT_EQ(picture != original, onPicture) << cx << "," << cy;
            figure::DrawFigure(surface, cx - 20, cy - 20, cx + 20, cy + 20, 0.3 + cx * 0.01);
            EXPECT_EQ(picture, original) << cx << "," << cy;
        }
    }
}

// With a clip smaller than the picture, nothing outside it changes, and
// inside it exactly the clipped primitives are inverted.
TEST(RasterSurface, NeverWritesOutsideItsClip)
{
    const raster::Picture original = Patterned(120, 100);
    const Rect clip{30, 25, 90, 75};
    raster::Picture picture = original;
    raster::RasterSurface surface(picture, clip);
    surface.SetInvertMode();
    surface.Ellipse(10, 5, 50, 45);
    surface.Ellipse(80, 60, 130, 110);
    surface.MoveTo(-500, 50);
    surface.LineTo(700, 51);
    surface.MoveTo(60, MIN);
    surface.LineTo(61, MAX);

    SpanList expected;
    raster::AppendEllipseSpans({10, 5, 50, 45}, clip, expected);
    raster::AppendEllipseSpans({80, 60, 130, 110}, clip, expected);
    raster::AppendLineSpans(-500, 50, 700, 51, clip, expected);
    raster::AppendLineSpans(60, MIN, 61, MAX, clip, expected);
    raster::Picture inverted = original;
    inverted.InvertSpans(expected);

    for (std::int32_t y = 0; y < picture.Height(); ++y)
        for (std::int32_t x = 0; x < picture.Width(); ++x) {
            const bool inside =
                x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
            ASSERT_EQ(picture.At(x, y), inside ? inverted.At(x, y) : original.At(x, y))
                << x << "," << y;
        }
    EXPECT_NE(picture, original);
}

// Before the inverting mode nothing is drawn, but LineTo still moves the
// pen.
TEST(RasterSurface, LineToBeforeInvertModeOnlyMovesThePen)
{
    const raster::Picture original = Patterned(40, 30);
    raster::Picture picture = original;
    raster::RasterSurface surface(picture, picture.Bounds());
    surface.MoveTo(1, 1);
    surface.LineTo(30, 20);
    surface.Ellipse(0, 0, 30, 30);
    EXPECT_EQ(picture, original);

    surface.SetInvertMode();
    surface.LineTo(30, 5);
    raster::Picture expected = original;
    expected.InvertSpans(Line(30, 20, 30, 5));
    EXPECT_EQ(picture, expected);
}

} // namespace
