// The rasteriser against the pixels recorded from GDI.
#include "platform/raster/geometry.h"
#include "tests/gdi_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using gdi_fixture::Call;
using gdi_fixture::Case;
using raster::Rect;
using raster::SpanList;

using gdi_fixture::EVERYWHERE;
using gdi_fixture::MAX;
using gdi_fixture::MIN;

// Each test runs in a process of its own, so this reads a file at most once
// a test.
const std::vector<Case>& Cases(const std::string& file)
{
    static std::map<std::string, std::vector<Case>> loaded;
    auto found = loaded.find(file);
    if (found == loaded.end())
        found = loaded.emplace(file, gdi_fixture::Load(file)).first;
    return found->second;
}

const Case& Named(const std::string& file, const std::string& name)
{
    for (const Case& c : Cases(file))
        if (c.name == name)
            return c;
    throw std::runtime_error(file + " has no case " + name);
}

Rect Canvas(const Case& c)
{
    return {0, 0, c.width, c.height};
}

// What the case's single primitive covers within the canvas.
SpanList PrimitiveSpans(const Case& c)
{
    SpanList spans;
    const Call& last = c.calls.back();
    if (last.kind == Call::Kind::Ellipse) {
        const std::vector<std::int32_t>& a = last.args;
        raster::AppendEllipseSpans({a[0], a[1], a[2], a[3]}, Canvas(c), spans);
    } else {
        const std::vector<std::int32_t>& from = c.calls.front().args;
        raster::AppendLineSpans(from[0], from[1], last.args[0], last.args[1], Canvas(c), spans);
    }
    return spans;
}

// Empty when the primitive covers the recorded pixels, each once, and
// nothing outside the canvas.
std::string PrimitiveProblem(const Case& c)
{
    const SpanList spans = PrimitiveSpans(c);
    if (!gdi_fixture::Within(spans, Canvas(c)))
        return "runs outside the canvas";
    if (!gdi_fixture::Disjoint(spans))
        return "a pixel covered twice";
    return gdi_fixture::Difference(c.inverted, gdi_fixture::Merged(spans));
}

// Checks every case whose name starts with prefix; returns how many there
// were.
int ExpectPrimitivesMatch(const std::string& file, const std::string& prefix)
{
    int count = 0;
    int failures = 0;
    for (const Case& c : Cases(file)) {
        if (c.name.rfind(prefix, 0) != 0)
            continue;
        ++count;
        const std::string problem = PrimitiveProblem(c);
        if (!problem.empty() && ++failures <= 10)
            ADD_FAILURE() << c.name << ": " << problem;
    }
    EXPECT_EQ(failures, 0) << "of " << count << " cases";
    return count;
}

SpanList Moved(const SpanList& spans, std::int64_t dx, std::int64_t dy)
{
    SpanList moved;
    for (const raster::Span& s : spans)
        moved.push_back({std::int32_t(s.y + dy), std::int32_t(s.x0 + dx), std::int32_t(s.x1 + dx)});
    return moved;
}

SpanList Intersected(const SpanList& spans, const Rect& clip)
{
    SpanList inside;
    for (const raster::Span& s : spans) {
        const std::int32_t x0 = std::max(s.x0, clip.left);
        const std::int32_t x1 = std::min(s.x1, clip.right);
        if (s.y >= clip.top && s.y < clip.bottom && x0 < x1)
            inside.push_back({s.y, x0, x1});
    }
    return inside;
}

TEST(GdiLines, FromTheCentreInEveryDirection)
{
    EXPECT_EQ(ExpectPrimitivesMatch("lines.txt", "l"), 85 * 85);
}

TEST(GdiLines, ClippedWithEndsOffTheCanvas)
{
    EXPECT_EQ(ExpectPrimitivesMatch("lines.txt", "clip"), 200);
}

// A line whose ends lie 2^31 away but which passes through the centre in the
// direction of a recorded line covers, over the recorded line's extent, the
// same pixels: both are the same exact line there. Clipping has to find that
// extent without walking there, and the error terms must not overflow.
TEST(GdiLines, FarEndsThroughTheCentreCoverTheRecordedPixels)
{
    int failures = 0;
    for (const Case& c : Cases("lines.txt")) {
        if (c.name.rfind("l", 0) != 0)
            continue;
        const std::int32_t cx = c.calls[0].args[0], cy = c.calls[0].args[1];
        const std::int32_t dx = c.calls[1].args[0] - cx, dy = c.calls[1].args[1] - cy;
        if (dx == 0 && dy == 0)
            continue;
        const std::int32_t g = std::gcd(dx, dy);
        const std::int32_t p = dx / g, q = dy / g;
        const std::int32_t k = (MAX - std::max(cx, cy)) / std::max(std::abs(p), std::abs(q));

        // The recorded steps, on the major axis, and the whole canvas across.
        Rect extent = Canvas(c);
        if (std::abs(dx) >= std::abs(dy)) {
            extent.left = dx > 0 ? cx : cx + dx + 1;
            extent.right = dx > 0 ? cx + dx : cx + 1;
        } else {
            extent.top = dy > 0 ? cy : cy + dy + 1;
            extent.bottom = dy > 0 ? cy + dy : cy + 1;
        }
        for (const std::int32_t sign : {1, -1}) {
            SpanList spans;
            raster::AppendLineSpans(cx - sign * k * p, cy - sign * k * q, cx + sign * k * p,
                                    cy + sign * k * q, extent, spans);
            const std::string problem =
                gdi_fixture::Difference(c.inverted, gdi_fixture::Merged(spans));
            if (!problem.empty() && ++failures <= 10)
                ADD_FAILURE() << c.name << (sign > 0 ? "" : " reversed") << ": " << problem;
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(GdiEllipses, TheDisc)
{
    EXPECT_EQ(PrimitiveProblem(Named("ellipses.txt", "e40x40")), "");
}

// A few recordings invert pixels outside their own rectangle, out to the
// canvas edge, in rows beyond the tip of a narrow ellipse. No ellipse
// inscribed in the rectangle covers those, so they are reported, not
// required; every other size must match.
TEST(GdiEllipses, EverySize)
{
    int matching = 0;
    int failures = 0;
    std::string outsideTheBox;
    const std::vector<Case>& cases = Cases("ellipses.txt");
    for (const Case& c : cases) {
        const std::vector<std::int32_t>& a = c.calls.back().args;
        if (!gdi_fixture::Within(c.inverted, {a[0], a[1], a[2], a[3]})) {
            outsideTheBox += " " + c.name;
            continue;
        }
        const std::string problem = PrimitiveProblem(c);
        if (problem.empty())
            ++matching;
        else if (++failures <= 10)
            ADD_FAILURE() << c.name << ": " << problem;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(cases.size(), 48u * 48u);
    RecordProperty("matching", matching);
    RecordProperty("recorded_outside_the_box", outsideTheBox);
    std::cout << "ellipses.txt: " << matching << " of " << cases.size()
              << " sizes match; recorded outside their rectangle:" << outsideTheBox << "\n";
}

// The disc the program draws, wherever it is: the recording moved there.
TEST(GdiEllipses, TheDiscAnywhere)
{
    const Case& disc = Named("ellipses.txt", "e40x40");
    const struct {
        std::int64_t left;
        std::int64_t top;
    } places[] = {
        {2, 2},
        {0, 0},
        {-40, -40},
        {-20, 17},
        {MIN, MIN},
        {MAX - 40, MAX - 40},
        {MIN, MAX - 40},
        {MAX - 40, MIN},
        {1 << 30, -(1 << 30)},
        {-(1 << 30) - 7, 123457},
        {MAX - 41, MIN + 1},
    };
    for (const auto& place : places) {
        SpanList spans;
        raster::AppendEllipseSpans({std::int32_t(place.left), std::int32_t(place.top),
                                    std::int32_t(place.left + 40), std::int32_t(place.top + 40)},
                                   EVERYWHERE, spans);
        EXPECT_TRUE(gdi_fixture::Disjoint(spans)) << place.left << "," << place.top;
        EXPECT_EQ(gdi_fixture::Difference(Moved(disc.inverted, place.left - 2, place.top - 2),
                                          gdi_fixture::Merged(spans)),
                  "")
            << place.left << "," << place.top;
    }
}

// Clipped, the disc covers exactly its recorded pixels within the clip.
TEST(GdiEllipses, TheDiscClipped)
{
    const Case& disc = Named("ellipses.txt", "e40x40");
    std::mt19937 random(40);
    for (const std::int64_t left :
         {std::int64_t(2), std::int64_t(-1000), std::int64_t(MIN), std::int64_t(MAX - 40)}) {
        const std::int64_t top = left == MIN ? MAX - 40 : -left / 3;
        const SpanList whole = Moved(disc.inverted, left - 2, top - 2);
        const Rect box{std::int32_t(left), std::int32_t(top), std::int32_t(left + 40),
                       std::int32_t(top + 40)};

        std::vector<Rect> clips = {
            box,
            {box.left, box.top, box.left, box.bottom},
            {box.left, box.top, box.right, box.top},
            {box.right, box.bottom, box.left, box.top},
            {box.left + 20, box.top, box.left + 21, box.bottom},
            {box.left, box.top + 20, box.right, box.top + 21},
            {box.left + 1, box.top + 1, box.right - 1, box.bottom - 1},
        };
        // One side of the box moved a pixel in or out, as far as the
        // coordinates go.
        const auto moved = [](std::int32_t side, std::int64_t by) {
            return std::int32_t(std::clamp<std::int64_t>(side + by, MIN, MAX));
        };
        for (const std::int64_t in : {-1, 1}) {
            clips.push_back({moved(box.left, in), box.top, box.right, box.bottom});
            clips.push_back({box.left, moved(box.top, in), box.right, box.bottom});
            clips.push_back({box.left, box.top, moved(box.right, -in), box.bottom});
            clips.push_back({box.left, box.top, box.right, moved(box.bottom, -in)});
        }
        // Edges from a little outside the box to a little inside, inverted
        // clips included.
        std::uniform_int_distribution<std::int32_t> offset(-3, 43);
        for (int i = 0; i < 500; ++i) {
            const auto edge = [&](std::int32_t origin) {
                const std::int64_t at = std::int64_t(origin) + offset(random);
                return std::int32_t(std::clamp<std::int64_t>(at, MIN, MAX));
            };
            clips.push_back({edge(box.left), edge(box.top), edge(box.left), edge(box.top)});
        }
        for (const Rect& clip : clips) {
            SpanList spans;
            raster::AppendEllipseSpans(box, clip, spans);
            const std::string where = "box at " + std::to_string(left) + "," + std::to_string(top) +
                                      ", clip " + std::to_string(clip.left) + "," +
                                      std::to_string(clip.top) + "," + std::to_string(clip.right) +
                                      "," + std::to_string(clip.bottom);
            ASSERT_TRUE(gdi_fixture::Disjoint(spans)) << where;
            ASSERT_EQ(gdi_fixture::Difference(Intersected(whole, clip), gdi_fixture::Merged(spans)),
                      "")
                << where;
        }
    }
}

TEST(GdiFigures, EveryRecordedFrame)
{
    int failures = 0;
    for (const Case& c : Cases("figures.txt")) {
        const std::string problem =
            gdi_fixture::Difference(c.inverted, gdi_fixture::InvertedRuns(gdi_fixture::Draw(c), 0));
        if (!problem.empty() && ++failures <= 10)
            ADD_FAILURE() << c.name << ": " << problem;
    }
    EXPECT_EQ(failures, 0);
}

} // namespace
