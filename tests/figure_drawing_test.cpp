#include "figure/figure.h"
#include "figure_pictures.h"
#include "platform/raster/raster_surface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using figure::FigureState;
using figure::PI;

// Writes down the surface calls, one line each.
class RecordingSurface final : public figure::DrawingSurface {
public:
    void SetInvertMode() override { calls.push_back("invert"); }
    void Ellipse(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override
    {
        calls.push_back("ellipse " + std::to_string(l) + " " + std::to_string(t) + " " +
                        std::to_string(r) + " " + std::to_string(b));
    }
    void MoveTo(std::int32_t x, std::int32_t y) override
    {
        calls.push_back("moveto " + std::to_string(x) + " " + std::to_string(y));
    }
    void LineTo(std::int32_t x, std::int32_t y) override
    {
        calls.push_back("lineto " + std::to_string(x) + " " + std::to_string(y));
    }

    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(DrawFigure, TruncatesArmEnds)
{
    RecordingSurface surface;
    figure::DrawFigure(surface, 80, 80, 120, 120, 0.0);
    // cos(PI / 2) is a tiny positive number for the program's PI, so the
    // upper end of the second arm truncates to 99, not 100.
    EXPECT_EQ(surface.calls, (Calls{"ellipse 80 80 120 120", "moveto 80 100", "lineto 120 100",
                                    "moveto 99 80", "lineto 100 120"}));
}

TEST(PaintFrame, StartFrameDrawsOneFigure)
{
    FigureState state;
    state.Start(640, 480);
    RecordingSurface surface;
    figure::PaintFrame(surface, state);
    EXPECT_EQ(surface.calls, (Calls{"invert", "ellipse 300 220 340 260", "moveto 305 225",
                                    "lineto 334 254", "moveto 334 225", "lineto 305 254"}));
}

TEST(PaintFrame, AfterATickUndrawsThePreviousFigureFirst)
{
    FigureState state;
    state.Start(640, 480);
    state.Tick([] { return 640; }, [] { return 480; });
    RecordingSurface surface;
    std::vector<std::vector<std::int32_t>> boxes;
    std::vector<double> angles;
    figure::PaintFrame(surface, state,
                       [&](figure::DrawingSurface& s, std::int32_t l, std::int32_t t,
                           std::int32_t r, std::int32_t b, double angle) {
                           EXPECT_EQ(&s, &surface);
                           boxes.push_back({l, t, r, b});
                           angles.push_back(angle);
                       });
    EXPECT_EQ(surface.calls, Calls{"invert"});
    EXPECT_EQ(boxes,
              (std::vector<std::vector<std::int32_t>>{{300, 220, 340, 260}, {302, 222, 342, 262}}));
    EXPECT_EQ(angles, (std::vector<double>{state.m_dPrevAngle, state.m_dAngle}));
}

using test::Pattern;
using test::WithFigures;

TEST(PaintFrame, AlternatingTicksAndFramesLeaveExactlyOneFigure)
{
    // Small screens so that the run crosses every edge and, on the square
    // one, runs straight into the corners.
    for (const auto& [width, height] :
         {std::pair{100, 100}, std::pair{161, 120}, std::pair{97, 83}}) {
        const raster::Picture base = Pattern(width, height);
        raster::Picture screen = base;
        raster::RasterSurface surface(screen, screen.Bounds());
        FigureState state;
        state.Start(width, height);
        auto width_fn = [w = width] { return w; };
        auto height_fn = [h = height] { return h; };
        bool overhangX = false, overhangY = false, corner = false;
        figure::PaintFrame(surface, state);
        for (int tick = 1; tick <= 1500; ++tick) {
            state.Tick(width_fn, height_fn);
            figure::PaintFrame(surface, state);
            ASSERT_TRUE(screen == WithFigures(base, {state}))
                << width << "x" << height << " after tick " << tick;
            const bool x = state.m_nCurX < 20 || state.m_nCurX > width - 20;
            const bool y = state.m_nCurY < 20 || state.m_nCurY > height - 20;
            overhangX |= x;
            overhangY |= y;
            corner |= x && y;
        }
        EXPECT_TRUE(overhangX && overhangY) << width << "x" << height;
        if (width == height) {
            EXPECT_TRUE(corner);
        }
    }
}

TEST(PaintFrame, StrayFiguresWhenPaintsAndTicksDoNotAlternate)
{
    const std::int32_t width = 200, height = 150;
    struct Case {
        const char* events; // P paint, T tick, S start
        std::vector<int> figures;
    };
    const Case cases[] = {
        {"PTPTP", {2}},
        {"PTPPTP", {0, 1, 2}},     // a paint without a tick
        {"PPTP", {0, 1}},          // a second paint before the first tick
        {"PTPTPTPSTP", {3, 0, 1}}, // a restart while running
        {"PTPTPTPSTPTP", {3, 0, 2}},
    };
    const raster::Picture base = Pattern(width, height);
    for (const Case& c : cases) {
        raster::Picture screen = base;
        raster::RasterSurface surface(screen, screen.Bounds());
        FigureState state;
        state.Start(width, height);
        for (const char* e = c.events; *e; ++e) {
            if (*e == 'P')
                figure::PaintFrame(surface, state);
            else if (*e == 'T')
                state.Tick([&] { return width; }, [&] { return height; });
            else
                state.Start(width, height);
        }
        std::vector<FigureState> expected;
        for (int n : c.figures)
            expected.push_back(test::After(n, width, height));
        EXPECT_TRUE(screen == WithFigures(base, expected)) << c.events;
    }
}

} // namespace
