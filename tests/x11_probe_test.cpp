// The X11 screen as a whole program meets it: the probe (x11_probe.cpp) runs
// on a private server through the program's entry, and the test looks at the
// screen and types and clicks through a connection of its own.

#include "platform/raster/geometry.h"
#include "platform/winsys/x11_display.h"

// Before any X header: X.h defines None, a name gtest uses.
#include <gtest/gtest.h>

#include "tests/x11_harness.h"

#include <X11/keysym.h>

#include <csignal>
#include <functional>
#include <memory>

namespace {

using x11test::Client;
using x11test::Eventually;
using x11test::Process;
using x11test::Server;

constexpr raster::Rect ELLIPSE{100, 80, 141, 121};

raster::Picture Desktop()
{
    raster::Picture picture(640, 480);
    for (std::int32_t y = 0; y < 480; ++y)
        for (std::int32_t x = 0; x < 640; ++x)
            picture.At(x, y) = std::uint32_t(x * 7919 + y * 104729) & 0xFFFFFF;
    return picture;
}

std::size_t DifferingPixels(const raster::Picture& a, const raster::Picture& b)
{
    std::size_t count = 0;
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t x = 0; x < a.Width(); ++x)
            count += (a.At(x, y) & 0xFFFFFF) != (b.At(x, y) & 0xFFFFFF);
    return count;
}

std::unique_ptr<Process> StartProbe(const Process::Environment& environment)
{
    return std::make_unique<Process>(
        std::vector<std::string>{X11_PROBE, std::to_string(ELLIPSE.left),
                                 std::to_string(ELLIPSE.top), std::to_string(ELLIPSE.right),
                                 std::to_string(ELLIPSE.bottom)},
        environment);
}

// What the probe printed about input, without its paints and its tick.
std::vector<std::string> InputLines(const Process& probe)
{
    std::vector<std::string> lines;
    for (const std::string& line : probe.Lines())
        if (line != "paint" && line != "tick")
            lines.push_back(line);
    return lines;
}

class ProbeTest : public testing::Test {
protected:
    // Starts the probe and waits for its first paint: by then its window is
    // shown and has the keyboard and the mouse.
    void Start()
    {
        probe_ = StartProbe({{"DISPLAY", server_.Name()}});
        ASSERT_TRUE(probe_->WaitForLine("paint")) << probe_->Errors();
    }

    // Reads the probe's output to its end; its exit status.
    std::optional<int> Finish()
    {
        while (probe_->ReadLine()) {
        }
        return probe_->WaitForExit();
    }

    Server server_;
    Client client_{server_.Name()};
    std::unique_ptr<Process> probe_;
};

TEST_F(ProbeTest, ScreenShowsThePictureUnderTheWindowWithTheEllipseInverted)
{
    const raster::Picture desktop = Desktop();
    client_.SetDesktop(desktop);
    raster::Picture expected = desktop;
    raster::SpanList spans;
    raster::AppendEllipseSpans(ELLIPSE, expected.Bounds(), spans);
    expected.InvertSpans(spans);

    Start();
    raster::Picture shot = client_.Screenshot();
    EXPECT_TRUE(Eventually([&] {
        shot = client_.Screenshot();
        return DifferingPixels(shot, expected) == 0;
    })) << DifferingPixels(shot, expected)
        << " pixels differ, " << DifferingPixels(shot, desktop) << " from the desktop";

    client_.Type(XK_Escape);
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Eventually([&] {
        shot = client_.Screenshot();
        return DifferingPixels(shot, desktop) == 0;
    })) << "the window left "
        << DifferingPixels(shot, desktop) << " pixels behind";
}

TEST_F(ProbeTest, KeyLeftClickAndRightClickEachEndItWithStatusZero)
{
    struct Case {
        const char* name;
        std::function<void()> act;
        std::string line;
    };
    const Case cases[] = {
        {"key", [&] { client_.Type(XK_q); }, "keydown 0x51"},
        {"left click", [&] { client_.Click(Button1); }, "lbuttondown 200 150"},
        {"right click", [&] { client_.Click(Button3); }, "rbuttondown 200 150"},
    };
    client_.MoveTo(200, 150);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Start();
        c.act();
        EXPECT_EQ(Finish(), 0) << probe_->Errors();
        EXPECT_EQ(InputLines(*probe_), std::vector<std::string>{c.line});
    }
}

TEST_F(ProbeTest, SystemKeysMiddleButtonWheelMovesAndReleasesDoNotEndIt)
{
    // A key and a button already down when it starts, released while it runs.
    // The key must not repeat meanwhile: a repeat is a press.
    XAutoRepeatOff(client_.Get());
    client_.MoveTo(10, 20);
    client_.Key(XK_x, true);
    client_.Button(Button1, true);
    Start();
    client_.Key(XK_x, false);
    client_.Button(Button1, false);

    client_.MoveTo(30, 40);
    client_.MoveTo(31, 40);
    client_.Key(XK_Alt_L, true);
    client_.Type(XK_a);
    client_.Key(XK_Alt_L, false);
    client_.Type(XK_F10);
    client_.Click(Button2);
    client_.Click(Button4);
    client_.Click(Button5);
    // Then a plain key, which must be what ends it.
    client_.Type(XK_Escape);

    EXPECT_EQ(Finish(), 0) << probe_->Errors();
    EXPECT_EQ(InputLines(*probe_), (std::vector<std::string>{
                                       "keyup 0x58",
                                       "lbuttonup 10 20",
                                       "move 30 40",
                                       "move 31 40",
                                       "syskeydown 0x12",
                                       "syskeydown 0x41",
                                       "syskeyup 0x41",
                                       "syskeyup 0x12",
                                       "syskeydown 0x79",
                                       "syskeyup 0x79",
                                       "mbuttondown 31 40",
                                       "mbuttonup 31 40",
                                       "wheel 120",
                                       "wheel -120",
                                       "keydown 0x1B",
                                   }));
}

TEST_F(ProbeTest, TimerTicksWhileItWaitsForInput)
{
    Start();
    EXPECT_TRUE(probe_->WaitForLine("tick"));
    client_.Type(XK_Escape);
    EXPECT_EQ(Finish(), 0);
}

TEST_F(ProbeTest, CursorIsInvisibleWhileItRuns)
{
    client_.MoveTo(300, 200);
    ASSERT_FALSE(client_.CursorInvisible());
    Start();
    EXPECT_TRUE(Eventually([&] { return client_.CursorInvisible(); }));
    client_.Type(XK_Escape);
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Eventually([&] { return !client_.CursorInvisible(); }))
        << "the cursor stayed hidden after the program ended";
}

TEST_F(ProbeTest, StaysAboveWindowsThatCoverIt)
{
    Start();
    EXPECT_EQ(client_.TopWindowTitle(), "Blinkorb");
    const ::Window cover = client_.CreateWindow(client_.Root(), 0, 0, 200, 200, true, false);
    XStoreName(client_.Get(), cover, "Cover");
    XMapRaised(client_.Get(), cover);
    XSync(client_.Get(), False);
    EXPECT_TRUE(Eventually([&] { return client_.TopWindowTitle() == "Blinkorb"; }));
}

TEST_F(ProbeTest, AnotherCopyFindsItByTitle)
{
    std::string error;
    const std::unique_ptr<winsys::Display> display =
        winsys::OpenX11Display(server_.Name().c_str(), error);
    ASSERT_NE(display, nullptr) << error;
    EXPECT_FALSE(display->HasForeignWindow("Blinkorb"));
    Start();
    EXPECT_TRUE(display->HasForeignWindow("Blinkorb"));
}

TEST(ProbeWithoutServerTest, ServerDeathEndsItPromptlyWithAnError)
{
    Server server;
    const std::unique_ptr<Process> probe = StartProbe({{"DISPLAY", server.Name()}});
    ASSERT_TRUE(probe->WaitForLine("paint")) << probe->Errors();
    server.Kill();
    // Within a second, unless the machine is very busy; a hang or a spin
    // would never end.
    const std::optional<int> status = probe->WaitForExit(std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value()) << "still running after its server died";
    EXPECT_NE(*status, 0);
    EXPECT_EQ(probe->Errors(), "blinkorb: lost the connection to the X server\n");
}

TEST(ProbeWithoutServerTest, NoDisplayGivesOneLineAndStatusOne)
{
    // A display number far above any that a test's server takes.
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, ""},
        {":65000", ":65000"},
    };
    for (const auto& [display, shown] : cases) {
        SCOPED_TRACE(display.value_or("unset"));
        const std::unique_ptr<Process> probe = StartProbe({{"DISPLAY", display}});
        EXPECT_EQ(probe->WaitForExit(), 1);
        EXPECT_EQ(probe->Errors(), "blinkorb: cannot open display \"" + shown + "\"\n");
    }
}

} // namespace
