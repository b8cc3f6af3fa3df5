// The Windows build under Wine: the 64-bit program on an X server of its own
// as a user meets it, the rasteriser against Wine's GDI, and the figure's
// motion against the Linux build's. All share the one Wine prefix made for
// the test run (wine_prefix.sh), one test at a time.

#include "figure/figure.h"
#include "platform/raster/geometry.h"
#include "platform/raster/raster_surface.h"

// Before any X header: X.h defines None, a name gtest uses.
#include <gtest/gtest.h>

#include "tests/x11_harness.h"

#include <X11/keysym.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using x11test::Client;
using x11test::Duration;
using x11test::Eventually;
using x11test::Process;
using x11test::Server;

// Wine starts slowly, more so on a busy machine.
constexpr Duration PATIENCE{90'000};
// How long a program that should go on running is watched.
constexpr Duration WATCH{2'000};
// Mouse moves close together reach a program as one WM_MOUSEMOVE, under Wine
// as on Windows: each is given this long to arrive on its own.
constexpr Duration MOVE_APART{1'000};
constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

Process::Environment WineEnvironment(const std::string& display)
{
    return {{"WINEPREFIX", WINE_PREFIX}, {"WINEDEBUG", "-all"}, {"DISPLAY", display}};
}

std::unique_ptr<Process> StartWine(const std::string& display, std::vector<std::string> argv)
{
    argv.insert(argv.begin(), "wine");
    return std::make_unique<Process>(argv, WineEnvironment(display));
}

// Every line of a program's output, without the carriage returns that
// Windows puts before line ends; nullopt if it does not end in time.
std::optional<std::vector<std::string>> Output(Process& process)
{
    while (process.ReadLine(PATIENCE)) {
    }
    if (process.WaitForExit(PATIENCE) != 0)
        return std::nullopt;
    std::vector<std::string> lines = process.Lines();
    for (std::string& line : lines)
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
    return lines;
}

class WineTest : public testing::Test {
protected:
    // Nothing of one test's Wine outlives it, to meet the next test's X
    // server.
    void TearDown() override
    {
        Process kill({"wineserver", "-k"}, WineEnvironment(server_.Name()));
        kill.WaitForExit(PATIENCE);
        Process wait({"wineserver", "-w"}, WineEnvironment(server_.Name()));
        wait.WaitForExit(PATIENCE);
    }

    Server server_{WIDTH, HEIGHT};
};

// ---------------------------------------------------------------------------
// The program

raster::Picture Desktop()
{
    raster::Picture picture(WIDTH, HEIGHT);
    for (std::int32_t y = 0; y < HEIGHT; ++y)
        for (std::int32_t x = 0; x < WIDTH; ++x)
            picture.At(x, y) = std::uint32_t(x * 7919 + y * 104729) & 0xFFFFFF;
    return picture;
}

// The pixels of a figure at some tick: the whole figure as drawn, and its
// disc alone.
struct FigurePixels {
    raster::Picture figure{WIDTH, HEIGHT};
    raster::Picture disc{WIDTH, HEIGHT};
};

FigurePixels Draw(const figure::FigureState& state)
{
    constexpr std::int32_t r = figure::FIGURE_RADIUS;
    FigurePixels pixels;
    raster::RasterSurface figure(pixels.figure, pixels.figure.Bounds());
    figure.SetInvertMode();
    figure::DrawFigure(figure, state.m_nCurX - r, state.m_nCurY - r, state.m_nCurX + r,
                       state.m_nCurY + r, state.m_dAngle);
    raster::RasterSurface disc(pixels.disc, pixels.disc.Bounds());
    disc.SetInvertMode();
    disc.Ellipse(state.m_nCurX - r, state.m_nCurY - r, state.m_nCurX + r, state.m_nCurY + r);
    return pixels;
}

bool OnDisc(const raster::Picture& disc, std::int32_t x, std::int32_t y)
{
    return x >= 0 && y >= 0 && x < WIDTH && y < HEIGHT && disc.At(x, y) != 0;
}

// Within a pixel of the disc's outline: the disc's pixels with a neighbour
// off it, and their neighbours.
bool NearOutline(const raster::Picture& disc, std::int32_t x, std::int32_t y)
{
    for (std::int32_t ny = y - 1; ny <= y + 1; ++ny)
        for (std::int32_t nx = x - 1; nx <= x + 1; ++nx)
            if (OnDisc(disc, nx, ny) && (!OnDisc(disc, nx - 1, ny) || !OnDisc(disc, nx + 1, ny) ||
                                         !OnDisc(disc, nx, ny - 1) || !OnDisc(disc, nx, ny + 1)))
                return true;
    return false;
}

// Whether the screen shows the desktop with the figure of some tick
// inverted on it. Wine draws straight on the X window here, and the X
// server draws the disc: its brush and then its pen, in inverting mode, so
// that the outline is inverted twice and the disc shows a pixel smaller than
// GDI covers, and the X server's outline strays from GDI's by a pixel on the
// diagonals. So pixels within a pixel of the outline may differ from our
// rasteriser's figure; everything else, arms included, must match exactly.
testing::AssertionResult ShowsAFigure(const raster::Picture& shot, const raster::Picture& desktop)
{
    std::int32_t left = WIDTH, top = HEIGHT, right = -1, bottom = -1;
    for (std::int32_t y = 0; y < HEIGHT; ++y)
        for (std::int32_t x = 0; x < WIDTH; ++x) {
            const std::uint32_t pixel = shot.At(x, y) & 0xFFFFFF;
            if (pixel == desktop.At(x, y))
                continue;
            if (pixel != (~desktop.At(x, y) & 0xFFFFFF))
                return testing::AssertionFailure() << "(" << x << "," << y << ") not inverted";
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x);
            bottom = std::max(bottom, y);
        }
    if (right < 0)
        return testing::AssertionFailure() << "nothing inverted";

    // The ticks whose figure's box holds everything inverted, in a run far
    // longer than any test's.
    constexpr std::int32_t r = figure::FIGURE_RADIUS;
    figure::FigureState state;
    state.Start(WIDTH, HEIGHT);
    std::size_t candidates = 0, fewestOff = std::size_t(-1);
    for (int tick = 0; tick <= 100'000; ++tick) {
        if (tick > 0)
            state.Tick([] { return WIDTH; }, [] { return HEIGHT; });
        if (left < state.m_nCurX - r || right > state.m_nCurX + r || top < state.m_nCurY - r ||
            bottom > state.m_nCurY + r)
            continue;
        ++candidates;
        const FigurePixels pixels = Draw(state);
        std::size_t off = 0;
        for (std::int32_t y = top - 1; y <= bottom + 1; ++y)
            for (std::int32_t x = left - 1; x <= right + 1; ++x) {
                if (x < 0 || y < 0 || x >= WIDTH || y >= HEIGHT)
                    continue;
                const bool inverted = (shot.At(x, y) & 0xFFFFFF) != desktop.At(x, y);
                if (inverted != (pixels.figure.At(x, y) != 0) && !NearOutline(pixels.disc, x, y))
                    ++off;
            }
        if (off == 0)
            return testing::AssertionSuccess();
        fewestOff = std::min(fewestOff, off);
    }
    return testing::AssertionFailure()
           << "inverted box (" << left << "," << top << ")-(" << right << "," << bottom
           << "): " << candidates << " ticks place the figure there, the closest has " << fewestOff
           << " pixels off its outline that differ";
}

std::size_t Differing(const raster::Picture& a, const raster::Picture& b)
{
    std::size_t count = 0;
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t x = 0; x < a.Width(); ++x)
            count += (a.At(x, y) & 0xFFFFFF) != (b.At(x, y) & 0xFFFFFF);
    return count;
}

class WineSaverTest : public WineTest {
protected:
    void SetUp() override { client_.SetDesktop(desktop_); }

    // Starts the program and waits until its figure shows.
    std::unique_ptr<Process> Start()
    {
        auto saver = StartWine(server_.Name(), {BLINKORB_EXE});
        EXPECT_TRUE(Eventually(
            [&] {
                return Differing(client_.Screenshot(), desktop_) > 0 ||
                       saver->WaitForExit(Duration(0));
            },
            PATIENCE))
            << "no figure on the screen";
        return saver;
    }

    const raster::Picture desktop_ = Desktop();
    Client client_{server_.Name()};
};

TEST_F(WineSaverTest, ScreenShowsTheDesktopWithOneFigureInverted)
{
    const auto saver = Start();
    // A screenshot may fall between un-drawing one figure and drawing the
    // next.
    testing::AssertionResult shown = testing::AssertionFailure();
    EXPECT_TRUE(Eventually(
        [&] { return bool(shown = ShowsAFigure(client_.Screenshot(), desktop_)); }, PATIENCE))
        << shown.message();

    client_.Type(XK_Escape);
    EXPECT_EQ(saver->WaitForExit(PATIENCE), 0) << saver->Errors();
    raster::Picture shot = client_.Screenshot();
    EXPECT_TRUE(Eventually([&] { return Differing(shot = client_.Screenshot(), desktop_) == 0; }))
        << "the window left " << Differing(shot, desktop_) << " pixels behind";
}

TEST_F(WineSaverTest, KeyClickOrFourthMouseMoveEndsItWithStatusZero)
{
    int x = 100;
    const auto move = [&] {
        client_.MoveTo(x += 10, 100);
        std::this_thread::sleep_for(MOVE_APART);
    };
    struct Case {
        const char* name;
        int movesBefore; // which must not end it
        std::function<void()> act;
    };
    const Case cases[] = {
        {"key", 0, [&] { client_.Type(XK_a); }},
        {"left click", 0, [&] { client_.Click(Button1); }},
        {"right click", 0, [&] { client_.Click(Button3); }},
        // The window system sends one of its own once the window is under
        // the pointer, so the user's third move is the fourth.
        {"fourth move", 2, move},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        client_.MoveTo(x = 100, 100);
        const auto saver = Start();
        for (int i = 0; i < c.movesBefore; ++i)
            move();
        if (c.movesBefore > 0) {
            EXPECT_FALSE(saver->WaitForExit(WATCH)) << "ended before the last move";
        }
        c.act();
        EXPECT_EQ(saver->WaitForExit(PATIENCE), 0) << saver->Errors();
    }
}

TEST_F(WineSaverTest, SecondCopyEndsAtOnceWithStatusZero)
{
    const auto first = Start();
    const auto second = StartWine(server_.Name(), {BLINKORB_EXE});
    EXPECT_EQ(second->WaitForExit(PATIENCE), 0) << second->Errors();
    EXPECT_FALSE(first->WaitForExit(WATCH)) << "the first copy ended too";
    client_.Type(XK_Escape);
    EXPECT_EQ(first->WaitForExit(PATIENCE), 0) << first->Errors();
}

// ---------------------------------------------------------------------------
// Our code built for Windows

TEST_F(WineTest, RasteriserCoversWhatGdiCovers)
{
    const auto conformance = StartWine(server_.Name(), {GDI_CONFORMANCE_EXE});
    const auto lines = Output(*conformance);
    ASSERT_TRUE(lines) << testing::PrintToString(conformance->Lines());
    ASSERT_FALSE(lines->empty());
    EXPECT_NE(lines->back().find(" passed, 0 failed"), std::string::npos);
}

// The ellipses whose fill Wine takes partly from earlier drawings (see
// gdi_conformance.cpp), each drawn first in a process of its own.
TEST_F(WineTest, NarrowEllipsesDrawnFirstCoverWhatTheRasteriserCovers)
{
    std::mt19937 random(7);
    const auto uniform = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int i = 0; i < 30; ++i) {
        const int width = uniform(3, 6);
        const int left = uniform(-4, 150), top = uniform(-40, 150);
        const std::vector<std::string> box = {std::to_string(left), std::to_string(top),
                                              std::to_string(left + width),
                                              std::to_string(top + uniform(width + 1, 64))};
        std::vector<std::string> argv = {GDI_CONFORMANCE_EXE};
        argv.insert(argv.end(), box.begin(), box.end());
        const auto conformance = StartWine(server_.Name(), argv);
        const auto lines = Output(*conformance);
        EXPECT_TRUE(lines) << testing::PrintToString(conformance->Lines());
    }
}

TEST_F(WineTest, FigureMovesAndIsDrawnBitForBitAsOnLinux)
{
    Process native({FIGURE_TRACE});
    const auto windows = StartWine(server_.Name(), {FIGURE_TRACE_EXE});
    const auto expected = Output(native);
    const auto got = Output(*windows);
    ASSERT_TRUE(expected) << native.Errors();
    ASSERT_TRUE(got) << windows->Errors();
    const auto [differs, _] =
        std::mismatch(got->begin(), got->end(), expected->begin(), expected->end());
    EXPECT_EQ(got->size(), expected->size());
    if (differs != got->end())
        ADD_FAILURE() << "line " << (differs - got->begin() + 1) << " differs: " << *differs;
}

} // namespace
